#pragma once
// The read-only text view of the editor: shows the lines of a text buffer
// in one set of fonts, coloured by the source type's line parser, with a
// selection margin of line icons, word wrap into sub-lines, scrolling by
// sub-lines and columns; the caret, the selection, caret keys, mouse
// selection, the clipboard copy and drag source, bookmarks, the matching
// bracket, go to line and the source/header switch.  The edit view and the
// PLC views derive from it.  See docs/editor-views.md.
//
// The view owns the text's state (buffer, source type, the selection
// state, the display style and the scroll position, the last three as
// values handed out by reference) and hands the work to its parts, each
// with its own state and file: EdtLayoutCache (per-line caches, word wrap,
// the idle filler), EdtViewRenderer (fonts, colours, drawing),
// EdtViewScroller (scroll bars, scrolling, splitter panes), EdtCaretModel
// (caret, selection, caret keys), EdtMouseController (mouse, clipboard,
// drag source), EdtFindController (find), EdtTextPrinter (printing) and
// EdtViewJumps (bookmarks, matching bracket, go to line, source/header).
// The parts are reached through accessors (Cache(), Renderer(), ...).
// The view itself keeps only its published interface (buffer access,
// source types, display, sub-lines and scrolling, caret and selection,
// clipboard and drag-source hooks, find, buffer updates, printing), what
// other folders call on a view, the framework's and Qt's overrides and the
// accessors; everything else is called on its part, and the commands that
// only run a part's routine are bound to that part in MapCommands.
// EdtTextView.cpp holds the state, buffer access, source types, updates,
// the command map and the Qt events.

#include "editor/parsers/EdtParser.h"
#include "editor/view/EdtSelectionState.h"
#include "editor/settings/EdtSettings.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/settings/EdtTextTypes.h"
#include "editor/layout/EdtViewLayout.h"
#include "editor/view/EdtViewStyle.h"
#include "platform/ui/Document.h"
#include "res/CommandIds.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPixmap>
#include <QPointer>

#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QScrollBar;
class QTimer;
class QDrag;
class EdtLayoutCache;
class EdtViewRenderer;
class EdtViewScroller;
class EdtCaretModel;
class EdtMouseController;
class EdtFindController;
class EdtTextPrinter;
class EdtViewJumps;

namespace ui {
struct PrintInfo;
class AccelTable;
class CmdUI;
class SplitterWnd;
} // namespace ui

// "ř. %d,  sl. %d": the caret position pane.
constexpr uint32_t IDS_EDT_POSITION_FORMAT = 4560;
// Search flags.
constexpr uint32_t EDT_FIND_MATCH_CASE = 0x1;
constexpr uint32_t EDT_FIND_WHOLE_WORD = 0x2;
constexpr uint32_t EDT_FIND_REGEXP = 0x4;
constexpr uint32_t EDT_FIND_UP = 0x10;
// The search flags of the find and replace boxes' check boxes; whole words
// count only without a regular expression.
inline uint32_t EdtSearchFlags(int matchCase, int wholeWord, int regExp)
{
    return (matchCase ? EDT_FIND_MATCH_CASE : 0) | (wholeWord && !regExp ? EDT_FIND_WHOLE_WORD : 0) |
           (regExp ? EDT_FIND_REGEXP : 0);
}
constexpr uint32_t IDS_EDT_NOT_FOUND = 8606;          // "Nemohu najít řetězec "%s""
constexpr uint32_t IDS_EDT_INCREMENTAL_FAILED = 4572;
constexpr uint32_t IDS_EDT_INCREMENTAL_FORWARD = 4573;
constexpr uint32_t IDS_EDT_INCREMENTAL_BACKWARD = 4574;
constexpr uint32_t IDS_EDT_SEARCHING = 4579;          // and the progress dialog's template
// Resources of the view.
constexpr uint32_t IDR_EDT_MARGIN_CURSOR = 22900;
constexpr uint32_t IDR_EDT_ACCEL = 22901;
constexpr uint32_t IDR_EDT_MARGIN_ICONS = 22902;

namespace edt {
// Replaces QDrag::exec for the text view's drag source (a drag loop cannot
// run offscreen): receives the drag and the allowed actions and returns
// the action reported.  nullptr: the real loop.
using DragExecHook = std::function<Qt::DropAction(QDrag*, Qt::DropActions)>;
void SetDragExecHook(DragExecHook hook);
// How long a search runs before its progress dialog appears (ms; default
// 500).  Tests shorten it.
void SetSearchProgressDelay(int ms);
} // namespace edt

struct RegExp;

class CEdtTextView : public ui::View, public IEdtBufferListener, public IEdtParserView
{
    Q_OBJECT
public:
    explicit CEdtTextView(QWidget* parent = nullptr);
    ~CEdtTextView() override;

    // ---- buffer access (no buffer: one empty line)
    virtual int GetLineCount() const;
    int GetLineLength(int line) const override;
    const char16_t* GetLineChars(int line) const override;
    virtual uint32_t GetLineFlags(int line) const;
    // The text between two points, lines joined by CR LF.
    virtual std::u16string GetText(EdtPoint start, EdtPoint end) const;
    virtual int GetLineActualLength(int line);
    virtual CEdtTextBuffer* LocateTextBuffer();
    CEdtTextBuffer* GetTextBuffer() const { return m_buffer; }

    // ---- source types
    virtual bool SetTextTypeById(int id);
    virtual bool SetTextType(std::u16string_view extension);
    virtual bool SetTextType(const TextTypeDef* type);
    bool SelectTextType(const TextTypeDef* type) override;
    const TextTypeDef* GetCurrentTextType() const { return m_textType; }
    static void LoadSettings();
    static void SaveSettings();

    // ---- display (EdtViewRenderer)
    virtual QColor GetColor(int index) const;
    virtual bool GetBold(int index) const;
    virtual bool GetItalic(int index) const;
    // The line's text and background colours; false when it has none.
    virtual bool GetLineColors(int line, QColor& text, QColor& back) const;
    virtual int GetMarginWidth() const;
    // line -1: the area below the text.
    virtual void DrawMargin(QPainter& p, const QRect& rect, int line);
    virtual void DrawSingleLine(QPainter& p, const QRect& rect, int line);
    void SetFont(const EdtLogFont& font);
    const QFont& GetFont(bool italic, bool bold);
    void SetTabSize(int n);
    int GetTabSize() const override { return m_style.tabSize; }
    void SetWordWrap(bool on);
    CEdtParser* SetParser(CEdtParser* parser);
    uint32_t GetParseCookie(int line);
    // The row's parser over a line, after the cookie of the line before.
    uint32_t ParseLine(uint32_t cookie, int line, TextBlockList* blocks);
    int GetScreenLines();
    int GetScreenChars();

    // ---- sub-lines and scrolling (EdtLayoutCache, EdtViewScroller)
    virtual int GetSubLineCount();
    virtual int GetSubLineIndex(int line);
    virtual void GetLineBySubLineIndex(int subLine, int& line, int& subInLine);
    virtual void WrapLine(int line, int width, std::vector<int>* breaks, int& count);
    virtual void InvalidateLineCache(int from, int to);
    void ScrollToSubLine(int subLine, bool noSmooth = false, bool trackScrollBar = true);
    void ScrollToChar(int column, bool noSmooth = false, bool trackScrollBar = true);
    virtual void UpdateSiblingScrollPos(bool horz);
    virtual void OnUpdateSibling(CEdtTextView* updater, bool horz);

    // ---- caret and selection (EdtCaretModel)
    // The caret and selection state (moving it does not repaint).
    EdtSelectionState& Sel() { return m_sel; }
    const EdtSelectionState& Sel() const { return m_sel; }
    EdtPoint GetCursorPos() const { return m_sel.Cursor(); }
    void SetCursorPos(EdtPoint pt);
    void SetAnchor(EdtPoint pt);
    void SetAnchorAtCursor();
    void GoToAnchor();
    void SetSelection(EdtPoint start, EdtPoint end);
    void GetSelection(EdtPoint& start, EdtPoint& end);
    bool IsSelection() const;
    bool IsInsideSelection(EdtPoint pt);
    bool IsValidTextPos(EdtPoint pt) const;
    bool IsValidTextPosX(EdtPoint pt) const { return IsValidTextPos(pt); }
    bool IsValidTextPosY(EdtPoint pt) const;
    void EnsureVisible(EdtPoint pt);
    EdtPoint ClientToText(QPoint p);
    QPoint TextToClient(EdtPoint pt);
    void GoToLine(int n, bool relative);
    bool GetDisableDragAndDrop() const;
    void SetDisableDragAndDrop(bool on);

    // ---- clipboard and drag source (EdtMouseController)
    virtual bool TextInClipboard();
    virtual bool PutToClipboard(const std::u16string& text);
    virtual bool GetFromClipboard(std::u16string& text);
    virtual bool PrepareDragData(std::u16string& text);
    virtual Qt::DropActions GetDropEffect();
    virtual void OnDropSource(Qt::DropAction effect);

    // ---- find (EdtFindController)
    // Called every few thousand lines with the lines searched and the
    // lines of the scope; false cancels the search.
    using FindProgressFn = std::function<bool(int done, int total)>;
    bool FindText(std::u16string_view text, EdtPoint start, uint32_t flags, bool wrap,
                  EdtPoint& found, const FindProgressFn& progress = {});
    // A block end with the char INT_MAX stands for the end of its line.
    bool FindTextInBlock(std::u16string_view text, EdtPoint start, EdtPoint blockStart,
                         EdtPoint blockEnd, uint32_t flags, bool wrap, EdtPoint& found,
                         const FindProgressFn& progress = {});
    bool HighlightText(EdtPoint pt, int length, bool reverse);

    // ---- buffer updates
    void UpdateView(IEdtBufferListener* source, const UpdateContext* context, uint32_t flags,
                    int line) override;
    void OnEditOperation(int action, std::u16string_view text) override;
    virtual void ResetView();
    void AttachToBuffer(CEdtTextBuffer* buffer = nullptr);
    void DetachFromBuffer();

    // ---- framework
    void OnInitialUpdate() override;
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;
    const ui::AccelTable* Accelerators() const override;
    bool ExecuteCommand(uint32_t id) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    QSize sizeHint() const override { return {640, 400}; }

    // ---- printing (EdtTextPrinter)
    void OnBeginPrinting(QPainter& painter, ui::PrintInfo& info) override;
    // Printing stops when the pages are laid out and the page is beyond them.
    void OnPrepareDC(QPainter& painter, ui::PrintInfo* info) override;
    void OnPrint(QPainter& painter, ui::PrintInfo& info) override;
    void OnEndPrinting(QPainter& painter, ui::PrintInfo& info) override;
    virtual void PrintHeader(QPainter& painter, int page);
    virtual void PrintFooter(QPainter& painter, int page);
    virtual QString GetPrintHeaderText(int page);
    // "Strana %d/%d" with the page and the page count.
    virtual QString GetPrintFooterText(int page);

    // ---- the parts and the state they share
    EdtViewStyle& Style() { return m_style; }
    EdtScrollPos& ScrollPos() { return m_pos; }
    EdtLayoutCache& Cache() { return *m_cache; }
    EdtViewRenderer& Renderer() { return *m_renderer; }
    EdtViewScroller& Scroller() { return *m_scroller; }
    EdtCaretModel& Caret() { return *m_caret; }
    EdtMouseController& Mouse() { return *m_mouse; }
    EdtFindController& Finder() { return *m_finder; }
    EdtTextPrinter& Printer() { return *m_printer; }
    EdtViewJumps& Jumps() { return *m_jumps; }

protected:
    // ---- Qt events
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* e) override;

    CEdtTextBuffer* m_buffer = nullptr;
    const TextTypeDef* m_textType = nullptr;
    const TextTypeDef* m_appliedType = nullptr;
    EdtViewStyle m_style;

    EdtScrollPos m_pos;
    bool m_vertScrollLocked = false, m_horzScrollLocked = false;

private:
    void MapCommands();

    EdtSelectionState m_sel;
    std::unique_ptr<ui::AccelTable> m_accel;

    // The view's parts, each with its own state.
    std::unique_ptr<EdtLayoutCache> m_cache;
    std::unique_ptr<EdtViewRenderer> m_renderer;
    std::unique_ptr<EdtViewScroller> m_scroller;
    std::unique_ptr<EdtCaretModel> m_caret;
    std::unique_ptr<EdtMouseController> m_mouse;
    std::unique_ptr<EdtFindController> m_finder;
    std::unique_ptr<EdtTextPrinter> m_printer;
    std::unique_ptr<EdtViewJumps> m_jumps;
};
