// The text view's caret and selection: positions, the caret, the
// selection and the caret commands.

#include "editor/view/EdtCaretModel.h"

#include "editor/find/EdtFindController.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Command.h"
#include "res/CommandIds.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

namespace {

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

} // namespace

EdtCaretModel::EdtCaretModel(CEdtTextView& view) : m_view(view), m_sel(view.Sel()), m_style(view.Style()), m_pos(view.ScrollPos())
{
    m_caretTimer = new QTimer(&view);
    QObject::connect(m_caretTimer, &QTimer::timeout, &view, [this] {
        m_caretOn = !m_caretOn;
        m_view.update(CaretRect());
    });
}

// ------------------------------------------------------------ positions

bool EdtCaretModel::IsValidTextPos(EdtPoint pt) const
{
    if (m_view.GetLineCount() <= 0 || m_pos.topLine < 0 || m_pos.offsetChar < 0)
        return false;
    if (pt.line < 0 || pt.line >= m_view.GetLineCount() || pt.ch < 0)
        return false;
    return pt.ch <= m_view.GetLineLength(pt.line);
}

bool EdtCaretModel::IsValidTextPosY(EdtPoint pt) const
{
    return m_view.GetLineCount() > 0 && m_pos.topLine >= 0 && m_pos.offsetChar >= 0 &&
           pt.line >= 0 && pt.line < m_view.GetLineCount();
}

EdtPoint EdtCaretModel::ClientToText(QPoint p)
{
    EdtLayoutCache& cache = m_view.Cache();
    cache.EnsureCacheSize();
    return edt::ClientToTextPoint(cache.Lines(), cache.m_subLines, m_view.Renderer().Metrics(),
                                  p.x(), p.y());
}

QPoint EdtCaretModel::TextToClient(EdtPoint pt)
{
    m_view.Cache().EnsureCacheSize();
    pt.line = std::clamp(pt.line, 0, m_view.GetLineCount() - 1);
    int x = 0, y = 0;
    if (m_style.wordWrap && m_view.Cache().m_parser) {
        pt.ch = std::clamp(pt.ch, 0, m_view.GetLineLength(pt.line));
        m_view.Cache().GetSubLines(pt.line);  // the line's own count before the sums
        const EdtLayoutCache& cache = m_view.Cache();
        edt::TextPointToClient(cache.Lines(), cache.m_subLines, m_view.Renderer().Metrics(), pt,
                               x, y);
        return {x, y};
    }
    // No breaks: the line is read once for the clamp and the column.
    static const std::vector<int> noBreaks;
    const std::u16string_view text = m_view.Finder().LineForSearch(pt.line);
    pt.ch = std::clamp(pt.ch, 0, static_cast<int>(text.size()));
    edt::LinePointToClient(text, noBreaks, m_view.Cache().m_subLines.SumBefore(pt.line),
                           m_style.tabSize, m_view.Renderer().Metrics(), pt.ch, x, y);
    return {x, y};
}

void EdtCaretModel::EnsureVisible(EdtPoint pt)
{
    if (m_view.GetLineCount() <= 0)
        return;
    pt.line = std::clamp(pt.line, 0, m_view.GetLineCount() - 1);
    // The line is read once for the clamp, the sub-line and the column.
    const std::u16string_view text = m_view.Finder().LineForSearch(pt.line);
    const int length = static_cast<int>(text.size());
    pt.ch = std::clamp(pt.ch, 0, length);
    std::vector<int> breaks;
    m_view.Cache().GetLineBreaks(pt.line, breaks);
    const int sub = m_view.GetSubLineIndex(pt.line) + edt::SubLineOf(breaks, length, pt.ch).sub;
    // Without word wrap the line is one sub-line: the column from its start.
    const int col = m_style.wordWrap ? 0 : edt::CharToColumn(text, pt.ch, m_style.tabSize);
    const int lines = std::max(m_view.GetScreenLines(), 1);
    int top = m_pos.topSubLine;
    if (sub < top)
        top = sub;
    else if (sub >= top + lines)
        top = sub - lines + 1;
    top = std::clamp(top, 0, std::max(m_view.GetSubLineCount() - 1, 0));
    bool scrolled = false;
    if (top != m_pos.topSubLine) {
        m_view.ScrollToSubLine(top);
        scrolled = true;
    }
    if (!m_style.wordWrap) {
        const int chars = std::max(m_view.GetScreenChars(), 1);
        int off = m_pos.offsetChar;
        if (col < off)
            off = col;
        else if (col >= off + chars)
            off = col - chars + 1;
        off = std::clamp(off, 0, std::max(std::max(m_view.Cache().GetMaxLineLength(), col + 1) - 1, 0));
        if (off != m_pos.offsetChar) {
            m_view.ScrollToChar(off);
            scrolled = true;
        }
    }
    if (scrolled)
        UpdateCaret();
}

// ------------------------------------------------------------ caret and selection

void EdtCaretModel::SetCursorPos(EdtPoint pt)
{
    pt.line = std::clamp(pt.line, 0, m_view.GetLineCount() - 1);
    pt.ch = std::clamp(pt.ch, 0, m_view.GetLineLength(pt.line));
    m_sel.SetCursor(pt);
    m_sel.SetIdealChar(CalculateActualOffset(pt.line, pt.ch));
    UpdateCaret();
}

void EdtCaretModel::SetAnchor(EdtPoint pt)
{
    m_sel.SetAnchor(pt);
}

void EdtCaretModel::SetAnchorAtCursor()
{
    m_sel.SetSavedPos(m_sel.Cursor());
}

void EdtCaretModel::GoToAnchor()
{
    EdtPoint pt = m_sel.SavedPos();
    if (pt.line < 0 || pt.line >= m_view.GetLineCount())
        return;
    if (pt.ch < 0 || pt.ch > m_view.GetLineLength(pt.line))
        pt.ch = 0;
    m_sel.SetCursor(pt);
    m_sel.SetAnchor(pt);
    SetSelection(pt, pt);
    EnsureVisible(pt);
    UpdateCaret();
}

void EdtCaretModel::SetSelection(EdtPoint start, EdtPoint end)
{
    auto clampPt = [this](EdtPoint p) {
        p.line = std::clamp(p.line, 0, m_view.GetLineCount() - 1);
        p.ch = std::clamp(p.ch, 0, m_view.GetLineLength(p.line));
        return p;
    };
    SetSelectionInText(clampPt(start), clampPt(end));
}

void EdtCaretModel::SetSelectionInText(EdtPoint start, EdtPoint end)
{
    if (start == m_sel.SelStart() && end == m_sel.SelEnd())
        return;
    if (!(start == m_sel.SelStart())) {
        InvalidateLines(std::min(m_sel.SelStart().line, m_sel.SelEnd().line),
                        std::max(m_sel.SelStart().line, m_sel.SelEnd().line));
        InvalidateLines(std::min(start.line, end.line), std::max(start.line, end.line));
    } else {
        InvalidateLines(std::min(end.line, m_sel.SelEnd().line),
                        std::max(end.line, m_sel.SelEnd().line));
    }
    m_sel.SetSelStart(start);
    m_sel.SetSelEnd(end);
    m_sel.PrepareSelBounds();
}

void EdtCaretModel::GetSelection(EdtPoint& start, EdtPoint& end)
{
    m_sel.PrepareSelBounds();
    start = m_sel.DrawSelStart();
    end = m_sel.DrawSelEnd();
}

bool EdtCaretModel::IsSelection() const
{
    return !(m_sel.SelStart() == m_sel.SelEnd());
}

bool EdtCaretModel::IsInsideSelection(EdtPoint pt)
{
    m_sel.PrepareSelBounds();
    return !Before(pt, m_sel.DrawSelStart()) && Before(pt, m_sel.DrawSelEnd());
}

void EdtCaretModel::InvalidateLines(int first, int last)
{
    if (!m_view.isVisible())
        return;  // a hidden widget takes no updates
    if (first > last)
        std::swap(first, last);
    const int lh = m_view.Renderer().GetLineHeight();
    first = std::clamp(first, 0, m_view.GetLineCount() - 1);
    last = std::clamp(last, 0, m_view.GetLineCount() - 1);
    const int64_t y0 = int64_t(m_view.GetSubLineIndex(first) - m_pos.topSubLine) * lh;
    const int64_t y1 =
        int64_t(m_view.GetSubLineIndex(last) + m_view.Cache().GetSubLines(last) - m_pos.topSubLine) * lh;
    const QRect c = m_view.Scroller().ClientRect();
    if (y1 < 0 || y0 > c.height())
        return;
    const int top = static_cast<int>(std::max<int64_t>(y0, 0));
    const int bottom = static_cast<int>(std::min<int64_t>(y1, c.height()));
    m_view.update(QRect(0, top, c.width(), bottom - top));
}

void EdtCaretModel::InvalidateFromLine(int line)
{
    if (!m_view.isVisible())
        return;  // a hidden widget takes no updates
    line = std::clamp(line, 0, m_view.GetLineCount() - 1);
    const int lh = m_view.Renderer().GetLineHeight();
    const int64_t y0 = int64_t(m_view.GetSubLineIndex(line) - m_pos.topSubLine) * lh;
    const QRect c = m_view.Scroller().ClientRect();
    if (y0 > c.height())
        return;
    const int top = static_cast<int>(std::max<int64_t>(y0, 0));
    m_view.update(QRect(0, top, c.width(), c.height() - top));
}

QRect EdtCaretModel::CaretRect()
{
    const QPoint p = TextToClient(m_sel.Cursor());
    return {p.x(), p.y(), 2, m_view.Renderer().GetLineHeight()};
}

bool EdtCaretModel::IsCaretShown() const
{
    if (!m_style.focused || !m_caretOn)
        return false;
    if (!m_style.wordWrap &&
        CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch) < m_pos.offsetChar)
        return false;
    return true;
}

void EdtCaretModel::UpdateCaret()
{
    if (m_view.Renderer().m_charWidth < 0 && !m_view.isVisible())
        return;
    const QRect now = CaretRect();
    if (now != m_caretRect) {
        m_view.update(m_caretRect.adjusted(-1, 0, 1, 0));
        m_caretRect = now;
    }
    m_view.update(now.adjusted(-1, 0, 1, 0));
    UpdateCaretBlink();
    if (m_style.focused)
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void EdtCaretModel::UpdateCaretBlink()
{
    m_caretOn = true;
    // The style hint only when it matters: reading it is not free.
    const int flash = m_style.focused ? QApplication::cursorFlashTime() : 0;
    if (m_style.focused && flash > 0)
        m_caretTimer->start(flash / 2);
    else
        m_caretTimer->stop();
}

// ------------------------------------------------------------ caret commands

void EdtCaretModel::FinishCaretMove(bool extend, bool keepIdeal)
{
    if (!keepIdeal)
        m_sel.SetIdealChar(CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch));
    EnsureVisible(m_sel.Cursor());
    UpdateCaret();
    if (!extend)
        m_sel.SetAnchor(m_sel.Cursor());
    SetSelection(m_sel.Anchor(), m_sel.Cursor());
}

void EdtCaretModel::OnCaretCommand(uint32_t id)
{
    if (id == ID_EDT_SCROLL_UP || id == ID_EDT_SCROLL_DOWN) {
        const int top = std::clamp(m_pos.topSubLine + (id == ID_EDT_SCROLL_UP ? -1 : 1), 0,
                                   std::max(m_view.GetSubLineCount() - 1, 0));
        m_view.ScrollToSubLine(top);
        return;
    }
    const bool shift = (id % 2) == 1 || m_sel.KeyboardSelection();
    const uint32_t base = id & ~1u;
    m_sel.PrepareSelBounds();
    const bool sel = IsSelection();
    const edt::ILayoutLines& lines = m_view.Cache().Lines();
    EdtPoint c = m_sel.Cursor();
    c.line = std::clamp(c.line, 0, m_view.GetLineCount() - 1);
    c.ch = std::clamp(c.ch, 0, m_view.GetLineLength(c.line));
    m_sel.SetCursor(c);
    if (m_sel.IdealChar() < 0)
        m_sel.SetIdealChar(CalculateActualOffset(c.line, c.ch));
    bool keepIdeal = false;
    auto left = [&] {
        if (sel && !shift)
            c = m_sel.DrawSelStart();
        else if (c.ch > 0)
            --c.ch;
        else if (c.line > 0)
            c = {m_view.GetLineLength(c.line - 1), c.line - 1};
    };
    auto right = [&] {
        if (sel && !shift)
            c = m_sel.DrawSelEnd();
        else if (c.ch < m_view.GetLineLength(c.line))
            ++c.ch;
        else if (c.line + 1 < m_view.GetLineCount())
            c = {0, c.line + 1};
    };
    switch (base) {
    case ID_EDT_CARET_LEFT: left(); break;
    case ID_EDT_CARET_RIGHT: right(); break;
    case ID_EDT_CARET_WORD_LEFT:
        if (sel && !shift)
            left();
        else
            c = edt::WordLeftTarget(lines, c);
        break;
    case ID_EDT_CARET_WORD_RIGHT:
        if (sel && !shift)
            right();
        else
            c = edt::WordRightTarget(lines, c);
        break;
    case ID_EDT_CARET_UP:
    case ID_EDT_CARET_DOWN: {
        const bool up = base == ID_EDT_CARET_UP;
        if (sel && !shift)
            c = up ? m_sel.DrawSelStart() : m_sel.DrawSelEnd();
        c = edt::VerticalTarget(lines, c, m_sel.IdealChar(), up ? -1 : 1);
        keepIdeal = true;
        break;
    }
    case ID_EDT_CARET_PAGE_UP:
    case ID_EDT_CARET_PAGE_DOWN: {
        const int page = std::max(m_view.GetScreenLines() - 1, 1);
        const int dir = base == ID_EDT_CARET_PAGE_UP ? -1 : 1;
        m_view.ScrollToSubLine(std::clamp(m_pos.topSubLine + dir * page, 0,
                                          std::max(m_view.GetSubLineCount() - 1, 0)));
        c = edt::VerticalTarget(lines, c, m_sel.IdealChar(), dir * page);
        keepIdeal = true;
        break;
    }
    case ID_EDT_CARET_LINE_END: c = edt::LineEndTarget(lines, c); break;
    case ID_EDT_CARET_HOME: c = edt::SmartHomeTarget(lines, c); break;
    case ID_EDT_CARET_TEXT_START: c = {0, 0}; break;
    case ID_EDT_CARET_TEXT_END: {
        const int last = m_view.GetLineCount() - 1;
        c = {m_view.GetLineLength(last), last};
        break;
    }
    default: return;
    }
    m_sel.SetCursor(c);
    FinishCaretMove(shift, keepIdeal);
}

// ------------------------------------------------------------ keys and focus

int EdtCaretModel::CalculateActualOffset(int line, int ch) const
{
    if (line < 0 || line >= m_view.GetLineCount())
        return 0;
    return edt::ScreenColumnOf(m_view.Cache().Lines(),
                               {std::clamp(ch, 0, m_view.GetLineLength(line)), line});
}

// ------------------------------------------------------------ the view's functions that hand on to this part

bool CEdtTextView::IsValidTextPos(EdtPoint pt) const
{
    return m_caret->IsValidTextPos(pt);
}

bool CEdtTextView::IsValidTextPosY(EdtPoint pt) const
{
    return m_caret->IsValidTextPosY(pt);
}

EdtPoint CEdtTextView::ClientToText(QPoint p)
{
    return m_caret->ClientToText(p);
}

QPoint CEdtTextView::TextToClient(EdtPoint pt)
{
    return m_caret->TextToClient(pt);
}

void CEdtTextView::EnsureVisible(EdtPoint pt)
{
    m_caret->EnsureVisible(pt);
}

void CEdtTextView::SetCursorPos(EdtPoint pt)
{
    m_caret->SetCursorPos(pt);
}

void CEdtTextView::SetAnchor(EdtPoint pt)
{
    m_caret->SetAnchor(pt);
}

void CEdtTextView::SetAnchorAtCursor()
{
    m_caret->SetAnchorAtCursor();
}

void CEdtTextView::GoToAnchor()
{
    m_caret->GoToAnchor();
}

void CEdtTextView::SetSelection(EdtPoint start, EdtPoint end)
{
    m_caret->SetSelection(start, end);
}

void CEdtTextView::GetSelection(EdtPoint& start, EdtPoint& end)
{
    m_caret->GetSelection(start, end);
}

bool CEdtTextView::IsSelection() const
{
    return m_caret->IsSelection();
}

bool CEdtTextView::IsInsideSelection(EdtPoint pt)
{
    return m_caret->IsInsideSelection(pt);
}
