#pragma once
// The core of the hex editor, without widgets: the bytes it works on (owned
// by someone else, usually the binary document's store), the display flags,
// top row, caret and its area, the selection, the layout of the three
// columns, the hit test, the keys and typed characters, insert, delete and
// the clipboard payloads.  Every change says what followed from it, and
// the view acts on that (repaint, scroll bar, document modified, beep).

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <cstdlib>

// Display and state flags.
enum HexFlags : uint32_t {
    HX_ADDRESS = 0x1,
    HX_ASCII = 0x2,
    HX_HEX = 0x4,
    HX_WIDE = 0x8,
    HX_OPTIONS = 0x100F,     // the bits SetOptionBits may set
    HX_READONLY = 0x1000,
    HX_MOVING = 0x2000,      // the caret is being moved (internal)
    HX_PARTIAL = 0x4000,     // the last row shown is partly filled
    HX_LAYOUT = 0x8000,      // the layout must be computed again
    HX_INITIAL = 0xC00F,
};

// Caret areas.
enum HexArea : int { HA_NONE = -1, HA_ADDRESS = 0, HA_ASCII = 1, HA_HEX_HIGH = 2, HA_HEX_LOW = 3 };

// What a change brought about.
struct HexChange
{
    bool dataChanged = false;  // bytes were inserted, removed or replaced
    bool modified = false;     // the document must be marked modified
    bool beep = false;         // refused: the warning sound is due
    bool repaint = false;      // the view must be drawn again
    bool scrolled = false;     // top moved: the scroll bar follows
    HexChange& operator|=(const HexChange& o)
    {
        dataChanged |= o.dataChanged;
        modified |= o.modified;
        beep |= o.beep;
        repaint |= o.repaint;
        scrolled |= o.scrolled;
        return *this;
    }
};

// The bytes a hex view shows and edits.  Every offset and range passed in
// lies inside the data (the model clamps before it calls).  A byte may be
// unavailable (the file behind it changed outside): it reads as zero, is
// flagged, and is neither edited nor copied as a real byte.
class HexBytes
{
public:
    virtual ~HexBytes() = default;
    virtual qsizetype Size() const = 0;
    // Copies [at, at + n) to out; an unavailable byte is 0 there and, when
    // missing is given (n flags), flagged 1 in it (0 for the others).  False
    // when any byte was unavailable.
    virtual bool Read(qsizetype at, qsizetype n, char* out, char* missing = nullptr) const = 0;
    // Replaces the byte at `at`; false (nothing changed) when it is unavailable.
    virtual bool Put(qsizetype at, char byte) = 0;
    // Whether [at, at + n) is known to hold an unavailable byte (reads nothing).
    virtual bool Missing(qsizetype /*at*/, qsizetype /*n*/) const { return false; }
    // Inserts bytes before `at` (at == Size() appends).
    virtual void Insert(qsizetype at, const QByteArray& bytes) = 0;
    // Removes [at, at + n).
    virtual void Remove(qsizetype at, qsizetype n) = 0;

    uchar At(qsizetype i) const
    {
        char c = 0;
        Read(i, 1, &c);
        return uchar(c);
    }
    // [at, at + n) clamped into the data.
    QByteArray Mid(qsizetype at, qsizetype n) const;
};

// A byte array someone else owns, as HexBytes.
class HexArrayBytes final : public HexBytes
{
public:
    explicit HexArrayBytes(QByteArray* array = nullptr) : m_array(array) {}
    QByteArray* Array() const { return m_array; }
    qsizetype Size() const override { return m_array->size(); }
    bool Read(qsizetype at, qsizetype n, char* out, char* missing = nullptr) const override;
    bool Put(qsizetype at, char byte) override
    {
        (*m_array)[at] = byte;
        return true;
    }
    void Insert(qsizetype at, const QByteArray& bytes) override { m_array->insert(at, bytes); }
    void Remove(qsizetype at, qsizetype n) override { m_array->remove(at, n); }

private:
    QByteArray* m_array;
};

struct HexHit
{
    int area = HA_NONE;
    qsizetype offset = 0;
};

class HexEditModel
{
public:
    // The largest data the editor holds (and the binary document opens):
    // sizes are signed 32-bit counts.
    static constexpr qsizetype kMaxSize = 0x7FFFFFFF;

    HexEditModel() = default;
    HexEditModel(const HexEditModel&) = delete;
    HexEditModel& operator=(const HexEditModel&) = delete;

    // Points at the owner's bytes (null: no data); caret, top and area
    // reset, the selection removed, the layout marked.
    void SetBytes(HexBytes* bytes);
    // The same for a plain byte array of the owner's.
    void SetBlock(QByteArray* block);
    // Takes a copy of bytes as the model's own block, with the same resets.
    void SetOwnData(const QByteArray& bytes);
    HexBytes* Bytes() const { return m_bytes; }
    qsizetype Size() const { return m_bytes ? m_bytes->Size() : 0; }
    uchar At(qsizetype i) const { return m_bytes->At(i); }

    uint32_t Flags() const { return m_flags; }
    bool Has(uint32_t bit) const { return (m_flags & bit) != 0; }
    void SetFlags(uint32_t flags) { m_flags = flags | HX_LAYOUT; }
    void SetFlag(uint32_t bit, bool on);
    bool IsReadOnly() const { return Has(HX_READONLY); }

    qsizetype Top() const { return m_top; }
    qsizetype Caret() const { return m_caret; }
    int Area() const { return m_area; }
    qsizetype SelStart() const { return m_selStart; }
    qsizetype SelEnd() const { return m_selEnd; }
    bool HasSelection() const { return m_selStart != -1; }
    int BytesPerRow() const { return m_bytesPerRow; }
    int RowsPerPage() { EnsureLayout(); return m_rowsPerPage; }
    bool KeyboardSelection() const { return m_keyboardSelection; }
    void SetKeyboardSelection(bool on) { m_keyboardSelection = on; }

    // Moves the caret (clamped into the data) and scrolls it into view; the
    // old offset.
    qsizetype SetCaret(qsizetype offset);
    // Sets the caret area (0..3); the old area.
    int SetArea(int area);
    // Stores the range (-1, -1 removes it); an empty range is none.
    void SetSelection(qsizetype start, qsizetype end);
    void NormaliseSelection();
    // False for n outside 1..16.
    bool SetBytesPerRow(int n);
    // Top to row * bytes per row, clamped between 0 and the last page.
    bool SetTopRow(qsizetype row);
    bool ScrollRows(qsizetype delta) { return SetTopRow(m_top / m_bytesPerRow + delta); }
    // Caret, selection and top brought back inside the data (after the
    // block changed behind the model).
    void Clamp();

    // ---- layout
    // The font's character width and line height and the client height;
    // marks the layout.
    void SetMetrics(int charWidth, int lineHeight, int clientHeight);
    void EnsureLayout();
    int CharWidth() const { return m_charWidth; }
    int LineHeight() const { return m_lineHeight; }
    // Characters of the address column: 0 hidden, 5 narrow, 9 wide (also
    // for data longer than 65,536 bytes, which four digits cannot show).
    int AddressChars() const;
    int AddressDigits() const { return AddressChars() - 1; }
    int HexX() { EnsureLayout(); return m_hexX; }
    int AsciiX() { EnsureLayout(); return m_asciiX; }
    // Rows that hold data: the size divided by bytes per row, rounded up.
    qsizetype RowCount() const { return (Size() + m_bytesPerRow - 1) / m_bytesPerRow; }
    qsizetype MaxTop();

    // Pixel to area and offset (area HA_NONE for nothing); with clampRows a
    // point above or below the rows takes the nearest row.
    HexHit HitTest(QPoint p, bool clampRows = false);
    // The caret's pixel position (top left of its cell).
    QPoint CaretPixel();

    // ---- editing
    // A key press (Qt key code, Shift and Ctrl from the modifiers).
    HexChange KeyPress(int key, bool shift, bool ctrl);
    // A typed character (Backspace is "\b").
    HexChange TypeChar(QChar c);
    // Inserts bytes at offset; refused (beep) when read-only or over the
    // size limit.
    HexChange Insert(qsizetype at, const QByteArray& bytes);
    // Removes [a, b); refused when read-only.
    HexChange Delete(qsizetype a, qsizetype b);
    HexChange DeleteSelection();
    // Insert key: as many zero bytes as the selection is long, at least 1.
    HexChange InsertZeros();

    // ---- clipboard
    // The most bytes copied (or cut) at once: their text as hex pairs takes
    // three characters a byte, and the clipboard holds it whole.
    static constexpr qsizetype kCopyLimit = 16 * 1024 * 1024;
    qsizetype SelectionLength() const
    {
        return HasSelection() ? std::abs(m_selEnd - m_selStart) : 0;
    }
    // The selected bytes into out; false (out empty) when one of them is
    // unavailable.
    bool CopySelection(QByteArray& out) const;
    // The selected bytes; empty when one of them is unavailable.
    QByteArray CopyBinary() const;
    // Bytes as text: as the ASCII column shows them (caret in the ASCII
    // area) or as hex pairs, each followed by a blank.
    QString CopyText(const QByteArray& bytes) const;
    // The selection as text.
    QString CopyText() const { return CopyText(CopyBinary()); }
    // Replaces the selection by bytes, or inserts them at the caret (after
    // the caret byte on a low hex digit).
    HexChange PasteBytes(const QByteArray& bytes);
    // The text's code page 1250 bytes; refused when a character has none.
    HexChange PasteText(const QString& text);

    // The character the ASCII column shows for a byte ("." for those that
    // cannot be printed).
    static QChar DisplayChar(uchar b);

private:
    HexChange Move(int key, bool ctrl);
    HexChange EnsureCaretVisible();
    void ExtendSelection();
    void Reset();

    HexBytes* m_bytes = nullptr;
    HexArrayBytes m_array;  // SetBlock's and SetOwnData's
    QByteArray m_own;
    uint32_t m_flags = HX_INITIAL;
    qsizetype m_top = 0;
    qsizetype m_caret = 0;
    int m_area = HA_HEX_HIGH;
    qsizetype m_selStart = -1, m_selEnd = -1;
    qsizetype m_anchor = -1;
    int m_bytesPerRow = 16;
    int m_rowsPerPage = 1;
    bool m_keyboardSelection = false;
    int m_charWidth = 8, m_lineHeight = 16, m_clientHeight = 16;
    int m_hexX = 0, m_asciiX = 0;
};
