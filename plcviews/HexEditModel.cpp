#include "plcviews/HexEditModel.h"

#include "platform/sys/CodePage.h"

#include <QChar>
#include <QtCore/qnamespace.h>

#include <algorithm>
#include <array>

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

const std::array<QChar, 256>& DisplayTable()
{
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> t;
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const std::u16string w = sys::AnsiToWide(std::string_view(&byte, 1));
            const QChar c = w.size() == 1 ? QChar(w[0]) : QChar(u'.');
            t[size_t(b)] = (b >= 0x20 && c.isPrint()) ? c : QChar(u'.');
        }
        return t;
    }();
    return table;
}
} // namespace

QChar HexEditModel::DisplayChar(uchar b) { return DisplayTable()[b]; }

QByteArray HexBytes::Mid(qsizetype at, qsizetype n) const
{
    const qsizetype size = Size();
    at = std::clamp<qsizetype>(at, 0, size);
    n = std::clamp<qsizetype>(n, 0, size - at);
    QByteArray out(n, Qt::Uninitialized);
    if (n > 0)
        Read(at, n, out.data());
    return out;
}

bool HexArrayBytes::Read(qsizetype at, qsizetype n, char* out, char* missing) const
{
    std::copy_n(m_array->constData() + at, n, out);
    if (missing)
        std::fill_n(missing, n, char(0));
    return true;
}

void HexEditModel::Reset()
{
    m_top = 0;
    m_caret = 0;
    m_area = HA_HEX_HIGH;
    m_selStart = m_selEnd = m_anchor = -1;
    m_flags |= HX_LAYOUT;
}

void HexEditModel::SetBytes(HexBytes* bytes)
{
    m_bytes = bytes;
    Reset();
}

void HexEditModel::SetBlock(QByteArray* block)
{
    m_array = HexArrayBytes(block);
    SetBytes(block ? &m_array : nullptr);
}

void HexEditModel::SetOwnData(const QByteArray& bytes)
{
    m_own = bytes;
    SetBlock(&m_own);
}

void HexEditModel::SetFlag(uint32_t bit, bool on)
{
    m_flags = on ? (m_flags | bit) : (m_flags & ~bit);
    m_flags |= HX_LAYOUT;
}

qsizetype HexEditModel::SetCaret(qsizetype offset)
{
    const qsizetype old = m_caret;
    m_anchor = -1;
    m_caret = std::clamp<qsizetype>(offset, 0, std::max<qsizetype>(0, Size() - 1));
    EnsureCaretVisible();
    return old;
}

int HexEditModel::SetArea(int area)
{
    const int old = m_area;
    if (area >= HA_ADDRESS && area <= HA_HEX_LOW)
        m_area = area;
    return old;
}

void HexEditModel::SetSelection(qsizetype start, qsizetype end)
{
    const qsizetype size = Size();
    if (start < 0 || end < 0) {
        m_selStart = m_selEnd = m_anchor = -1;
        return;
    }
    start = std::min(start, size);
    end = std::min(end, size);
    if (start == end) {
        m_selStart = m_selEnd = -1;
        return;
    }
    m_selStart = start;
    m_selEnd = end;
}

void HexEditModel::NormaliseSelection()
{
    if (m_selStart > m_selEnd)
        std::swap(m_selStart, m_selEnd);
}

bool HexEditModel::SetBytesPerRow(int n)
{
    if (n < 1 || n > 16)
        return false;
    m_bytesPerRow = n;
    m_top = (m_top / n) * n;
    m_flags |= HX_LAYOUT;
    EnsureCaretVisible();
    return true;
}

qsizetype HexEditModel::MaxTop()
{
    EnsureLayout();
    return std::max<qsizetype>(0, RowCount() - m_rowsPerPage) * m_bytesPerRow;
}

bool HexEditModel::SetTopRow(qsizetype row)
{
    const qsizetype top = std::clamp<qsizetype>(row * m_bytesPerRow, 0, MaxTop());
    if (top == m_top)
        return false;
    m_top = top;
    return true;
}

void HexEditModel::Clamp()
{
    const qsizetype size = Size();
    m_caret = std::clamp<qsizetype>(m_caret, 0, std::max<qsizetype>(0, size - 1));
    if (m_selStart != -1) {
        m_selStart = std::min(m_selStart, size);
        m_selEnd = std::min(m_selEnd, size);
        if (m_selStart == m_selEnd)
            m_selStart = m_selEnd = -1;
    }
    m_anchor = -1;
    m_flags |= HX_LAYOUT;
    m_top = std::clamp<qsizetype>(m_top, 0, MaxTop());
}

// ---------------------------------------------------------------- layout

void HexEditModel::SetMetrics(int charWidth, int lineHeight, int clientHeight)
{
    m_charWidth = std::max(1, charWidth);
    m_lineHeight = std::max(1, lineHeight);
    m_clientHeight = std::max(0, clientHeight);
    m_flags |= HX_LAYOUT;
}

int HexEditModel::AddressChars() const
{
    if (!Has(HX_ADDRESS))
        return 0;
    return Has(HX_WIDE) || Size() > 0x10000 ? 9 : 5;
}

void HexEditModel::EnsureLayout()
{
    if (!Has(HX_LAYOUT))
        return;
    m_hexX = AddressChars() * m_charWidth;
    m_asciiX = m_hexX + (Has(HX_HEX) ? m_bytesPerRow * 3 * m_charWidth : 0);
    m_rowsPerPage = std::max(1, m_clientHeight / m_lineHeight);
    const qsizetype rows = RowCount();
    m_flags &= ~HX_PARTIAL;
    if (qsizetype(m_rowsPerPage) * m_bytesPerRow > Size()) {
        m_rowsPerPage = int(rows);
        if (Size() % m_bytesPerRow)
            m_flags |= HX_PARTIAL;
    }
    m_flags &= ~HX_LAYOUT;
    m_top = std::clamp<qsizetype>(m_top, 0, std::max<qsizetype>(0, rows - m_rowsPerPage) * m_bytesPerRow);
}

HexHit HexEditModel::HitTest(QPoint p, bool clampRows)
{
    EnsureLayout();
    HexHit hit;
    const qsizetype size = Size();
    qsizetype row = p.y() < 0 ? -1 : p.y() / m_lineHeight;
    const qsizetype shownRows = std::min<qsizetype>(m_rowsPerPage, RowCount() - m_top / m_bytesPerRow);
    if (size > 0) {
        if (clampRows)
            row = std::clamp<qsizetype>(row, 0, std::max<qsizetype>(0, shownRows - 1));
        if (row < 0 || row >= shownRows)
            return hit;
    }
    const qsizetype rowStart = size > 0 ? m_top + row * m_bytesPerRow : 0;
    const int x = p.x();
    const int col = x / m_charWidth + 1;
    if (x >= 0 && Has(HX_ADDRESS) && col <= AddressDigits()) {
        hit.area = HA_ADDRESS;
        hit.offset = rowStart;
    } else if (Has(HX_HEX) && x >= m_hexX && x < m_hexX + m_bytesPerRow * 3 * m_charWidth) {
        const int ch = (x - m_hexX) / m_charWidth;
        hit.area = ch % 3 == 0 ? HA_HEX_HIGH : HA_HEX_LOW;
        hit.offset = rowStart + ch / 3;
    } else if (Has(HX_ASCII) && x >= m_asciiX && x < m_asciiX + m_bytesPerRow * m_charWidth) {
        hit.area = HA_ASCII;
        hit.offset = rowStart + (x - m_asciiX) / m_charWidth;
    } else {
        return hit;
    }
    hit.offset = std::clamp<qsizetype>(hit.offset, 0, std::max<qsizetype>(0, size - 1));
    return hit;
}

QPoint HexEditModel::CaretPixel()
{
    EnsureLayout();
    const qsizetype rel = m_caret - m_top;
    // A caret rows away from the page is just above or below the client
    // (rows of 2 GiB of data times the line height pass an int).
    const int row = int(std::clamp<qsizetype>(
        rel >= 0 ? rel / m_bytesPerRow : -((-rel + m_bytesPerRow - 1) / m_bytesPerRow), -1,
        m_clientHeight / m_lineHeight + 1));
    const int col = int(m_caret % m_bytesPerRow);
    int x = 0;
    switch (m_area) {
    case HA_ASCII: x = m_asciiX + col * m_charWidth; break;
    case HA_HEX_HIGH: x = m_hexX + 3 * col * m_charWidth; break;
    case HA_HEX_LOW: x = m_hexX + (3 * col + 1) * m_charWidth; break;
    default: x = 0; break;
    }
    return {x, row * m_lineHeight};
}

// ---------------------------------------------------------------- keys

HexChange HexEditModel::EnsureCaretVisible()
{
    HexChange ch;
    EnsureLayout();
    const qsizetype page = qsizetype(std::max(1, m_rowsPerPage)) * m_bytesPerRow;
    const qsizetype rowStart = m_caret - m_caret % m_bytesPerRow;
    qsizetype top = m_top;
    if (m_caret < top)
        top = rowStart;
    else if (m_caret >= top + page)
        top = rowStart - page + m_bytesPerRow;
    top = std::clamp<qsizetype>(top, 0, MaxTop());
    if (top != m_top) {
        m_top = top;
        ch.scrolled = ch.repaint = true;
    }
    return ch;
}

void HexEditModel::ExtendSelection()
{
    if (m_anchor < 0)
        return;
    const bool hex = m_area == HA_HEX_HIGH || m_area == HA_HEX_LOW;
    SetSelection(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret) + (hex ? 1 : 0));
}

HexChange HexEditModel::Move(int key, bool ctrl)
{
    HexChange ch;
    const qsizetype size = Size();
    const qsizetype bpr = m_bytesPerRow;
    qsizetype caret = m_caret;
    int area = m_area;
    qsizetype top = m_top;
    switch (key) {
    case Qt::Key_Left:
        if (area == HA_HEX_LOW)
            area = HA_HEX_HIGH;
        else if (caret > 0) {
            --caret;
            if (area == HA_HEX_HIGH)
                area = HA_HEX_LOW;
        }
        break;
    case Qt::Key_Right:
        if (area == HA_HEX_HIGH)
            area = HA_HEX_LOW;
        else {
            ++caret;
            if (area == HA_HEX_LOW)
                area = HA_HEX_HIGH;
        }
        break;
    case Qt::Key_Up: caret = std::max<qsizetype>(0, caret - bpr); break;
    case Qt::Key_Down: caret += bpr; break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const qsizetype step = qsizetype(std::max(1, m_rowsPerPage)) * bpr * (key == Qt::Key_PageUp ? -1 : 1);
        caret = std::max<qsizetype>(0, caret + step);
        top = std::clamp<qsizetype>(top + step, 0, MaxTop());
        break;
    }
    case Qt::Key_Home:
        if (ctrl) {
            caret = 0;
            top = 0;
        } else {
            caret -= caret % bpr;
        }
        break;
    case Qt::Key_End:
        if (ctrl) {
            caret = size - 1;
            top = MaxTop();
        } else {
            caret = std::min(caret - caret % bpr + bpr - 1, size - 1);
        }
        break;
    default: return ch;
    }
    if (caret >= size)
        return ch; // a move that would reach or pass the end is undone
    ch.repaint = caret != m_caret || area != m_area || top != m_top;
    if (top != m_top) {
        m_top = top;
        ch.scrolled = true;
    }
    m_caret = caret;
    m_area = area;
    ch |= EnsureCaretVisible();
    return ch;
}

HexChange HexEditModel::KeyPress(int key, bool shift, bool ctrl)
{
    HexChange ch;
    EnsureLayout();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        m_area = (m_area == HA_ADDRESS || m_area == HA_ASCII) ? HA_HEX_HIGH : HA_ASCII;
        if (m_selStart != -1 && !(shift || m_keyboardSelection))
            SetSelection(-1, -1);
        ch.repaint = true;
        return ch;
    }
    if (key == Qt::Key_Insert)
        return InsertZeros();
    if (key == Qt::Key_Delete) {
        if (HasSelection())
            return DeleteSelection();
        if (Size() == 0)
            return ch;
        return Delete(m_caret, m_caret + 1);
    }
    if (Size() == 0 || m_area == HA_ADDRESS)
        return ch;
    const bool extend = shift || m_keyboardSelection;
    if (extend && m_anchor < 0)
        m_anchor = m_caret;
    const qsizetype before = m_caret;
    m_flags |= HX_MOVING;
    ch = Move(key, ctrl);
    m_flags &= ~HX_MOVING;
    if (extend) {
        if (m_caret != before || HasSelection()) {
            ExtendSelection();
            ch.repaint = true;
        }
    } else if (ch.repaint || HasSelection()) {
        m_anchor = -1;
        if (HasSelection())
            ch.repaint = true;
        SetSelection(-1, -1);
    }
    return ch;
}

HexChange HexEditModel::TypeChar(QChar c)
{
    HexChange ch;
    if (Size() == 0 || c == QLatin1Char('\t'))
        return ch;
    if (c == QLatin1Char('\b')) {
        if (IsReadOnly()) {
            ch.beep = true;
            return ch;
        }
        if (m_caret > 0) {
            const qsizetype to = m_caret - 1;
            ch = Delete(to, m_caret);
            m_caret = std::clamp<qsizetype>(to, 0, std::max<qsizetype>(0, Size() - 1));
            ch |= EnsureCaretVisible();
        }
        return ch;
    }
    if (HasSelection()) {
        SetSelection(-1, -1);
        ch.repaint = true;
    }
    m_anchor = -1;
    if (IsReadOnly()) {
        ch.beep = true;
        return ch;
    }
    if (m_area == HA_ASCII) {
        bool lossy = false;
        const char16_t u = c.unicode();
        const std::string bytes = sys::WideToAnsi(std::u16string_view(&u, 1), &lossy);
        if (lossy || bytes.size() != 1 || !m_bytes->Put(m_caret, bytes[0])) {
            ch.beep = true;
            return ch;
        }
    } else if (m_area == HA_HEX_HIGH || m_area == HA_HEX_LOW) {
        const char16_t u = c.unicode();
        int nibble = -1;
        if (u >= u'0' && u <= u'9')
            nibble = u - u'0';
        else if (u >= u'a' && u <= u'f')
            nibble = u - u'a' + 10;
        if (nibble < 0)
            return ch;
        // An unavailable byte has no half to keep.
        char old = 0;
        const bool had = m_bytes->Read(m_caret, 1, &old);
        const uchar o = uchar(old);
        const uchar typed = m_area == HA_HEX_HIGH ? uchar((o & 0x0F) | (nibble << 4)) : uchar((o & 0xF0) | nibble);
        if (!had || !m_bytes->Put(m_caret, char(typed))) {
            ch.beep = true;
            return ch;
        }
    } else {
        return ch;
    }
    ch.dataChanged = ch.modified = ch.repaint = true;
    ch |= Move(Qt::Key_Right, false);
    return ch;
}

// ---------------------------------------------------------------- editing

HexChange HexEditModel::Insert(qsizetype at, const QByteArray& bytes)
{
    HexChange ch;
    if (!m_bytes || IsReadOnly() || Size() + bytes.size() > kMaxSize) {
        ch.beep = true;
        return ch;
    }
    if (bytes.isEmpty())
        return ch;
    m_bytes->Insert(std::clamp<qsizetype>(at, 0, Size()), bytes);
    m_selStart = m_selEnd = m_anchor = -1;
    m_flags |= HX_LAYOUT;
    ch.dataChanged = ch.modified = ch.repaint = ch.scrolled = true;
    return ch;
}

HexChange HexEditModel::Delete(qsizetype a, qsizetype b)
{
    HexChange ch;
    if (!m_bytes || IsReadOnly()) {
        ch.beep = true;
        return ch;
    }
    a = std::clamp<qsizetype>(a, 0, Size());
    b = std::clamp<qsizetype>(b, a, Size());
    if (a == b)
        return ch;
    if (m_bytes->Missing(a, b - a)) {
        ch.beep = true;  // unavailable bytes are not edited
        return ch;
    }
    m_bytes->Remove(a, b - a);
    m_selStart = m_selEnd = m_anchor = -1;
    ch.dataChanged = ch.modified = ch.repaint = ch.scrolled = true;
    Clamp();
    return ch;
}

HexChange HexEditModel::DeleteSelection()
{
    if (!HasSelection())
        return {};
    NormaliseSelection();
    const qsizetype a = m_selStart;
    HexChange ch = Delete(m_selStart, m_selEnd);
    if (ch.dataChanged)
        SetCaret(a);
    return ch;
}

HexChange HexEditModel::InsertZeros()
{
    NormaliseSelection();
    const qsizetype n = HasSelection() ? m_selEnd - m_selStart : 1;
    return Insert(m_caret, QByteArray(n, '\0'));
}

// ---------------------------------------------------------------- clipboard

bool HexEditModel::CopySelection(QByteArray& out) const
{
    out.clear();
    if (!HasSelection() || !m_bytes)
        return true;
    const qsizetype a = std::clamp<qsizetype>(std::min(m_selStart, m_selEnd), 0, Size());
    const qsizetype b = std::clamp<qsizetype>(std::max(m_selStart, m_selEnd), a, Size());
    out.resize(b - a);
    if (b > a && !m_bytes->Read(a, b - a, out.data())) {
        out.clear();
        return false;
    }
    return true;
}

QByteArray HexEditModel::CopyBinary() const
{
    QByteArray out;
    CopySelection(out);
    return out;
}

QString HexEditModel::CopyText(const QByteArray& bytes) const
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    if (m_area == HA_ASCII) {
        out.resize(n);
        QChar* d = out.data();
        const auto& table = DisplayTable();
        for (qsizetype i = 0; i < n; ++i)
            d[i] = table[p[i]];
    } else {
        out.resize(n * 3);
        QChar* d = out.data();
        for (qsizetype i = 0; i < n; ++i) {
            d[3 * i] = QLatin1Char(kHexDigits[p[i] >> 4]);
            d[3 * i + 1] = QLatin1Char(kHexDigits[p[i] & 0xF]);
            d[3 * i + 2] = QLatin1Char(' ');
        }
    }
    return out;
}

HexChange HexEditModel::PasteBytes(const QByteArray& bytes)
{
    m_keyboardSelection = false;
    HexChange ch;
    if (!m_bytes || IsReadOnly()) {
        ch.beep = true;
        return ch;
    }
    NormaliseSelection();
    const qsizetype selLen = HasSelection() ? m_selEnd - m_selStart : 0;
    if (Size() - selLen + bytes.size() > kMaxSize) {
        ch.beep = true;
        return ch;
    }
    qsizetype at = m_caret;
    if (HasSelection()) {
        at = m_selStart;
        ch = Delete(m_selStart, m_selEnd);
        if (ch.beep)
            return ch;  // the selection holds unavailable bytes
    } else if (m_area == HA_HEX_LOW && Size() > 0) {
        at = m_caret + 1;
    }
    ch |= Insert(at, bytes);
    Clamp();
    return ch;
}

HexChange HexEditModel::PasteText(const QString& text)
{
    bool lossy = false;
    const std::string bytes = sys::WideToAnsi(text.toStdU16String(), &lossy);
    if (lossy) {
        HexChange ch;
        ch.beep = true;
        return ch;
    }
    return PasteBytes(QByteArray(bytes.data(), qsizetype(bytes.size())));
}
