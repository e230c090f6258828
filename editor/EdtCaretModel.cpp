// The text view: caret, selection, positions and the caret keys.

#include "editor/EdtTextView.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Command.h"

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

// ------------------------------------------------------------ positions

bool CEdtTextView::IsValidTextPos(EdtPoint pt) const
{
    if (GetLineCount() <= 0 || m_topLine < 0 || m_offsetChar < 0)
        return false;
    if (pt.line < 0 || pt.line >= GetLineCount() || pt.ch < 0)
        return false;
    return pt.ch <= GetLineLength(pt.line);
}

bool CEdtTextView::IsValidTextPosY(EdtPoint pt) const
{
    return GetLineCount() > 0 && m_topLine >= 0 && m_offsetChar >= 0 && pt.line >= 0 &&
           pt.line < GetLineCount();
}

EdtPoint CEdtTextView::ClientToText(QPoint p)
{
    EnsureCacheSize();
    return edt::ClientToTextPoint(Layout(), m_subLines, Metrics(), p.x(), p.y());
}

QPoint CEdtTextView::TextToClient(EdtPoint pt)
{
    EnsureCacheSize();
    pt.line = std::clamp(pt.line, 0, GetLineCount() - 1);
    int x = 0, y = 0;
    if (m_wordWrap && m_parser) {
        pt.ch = std::clamp(pt.ch, 0, GetLineLength(pt.line));
        GetSubLines(pt.line);  // the line's own count before the sums
        edt::TextPointToClient(Layout(), m_subLines, Metrics(), pt, x, y);
        return {x, y};
    }
    // No breaks: the line is read once for the clamp and the column.
    static const std::vector<int> noBreaks;
    const std::u16string_view text = LineForSearch(pt.line);
    pt.ch = std::clamp(pt.ch, 0, static_cast<int>(text.size()));
    edt::LinePointToClient(text, noBreaks, m_subLines.SumBefore(pt.line), m_tabSize, Metrics(), pt.ch, x, y);
    return {x, y};
}

void CEdtTextView::EnsureVisible(EdtPoint pt)
{
    if (GetLineCount() <= 0)
        return;
    pt.line = std::clamp(pt.line, 0, GetLineCount() - 1);
    // The line is read once for the clamp, the sub-line and the column.
    const std::u16string_view text = LineForSearch(pt.line);
    const int length = static_cast<int>(text.size());
    pt.ch = std::clamp(pt.ch, 0, length);
    std::vector<int> breaks;
    GetLineBreaks(pt.line, breaks);
    const int sub = GetSubLineIndex(pt.line) + edt::SubLineOf(breaks, length, pt.ch).sub;
    // Without word wrap the line is one sub-line: the column from its start.
    const int col = m_wordWrap ? 0 : edt::CharToColumn(text, pt.ch, m_tabSize);
    const int lines = std::max(GetScreenLines(), 1);
    int top = m_topSubLine;
    if (sub < top)
        top = sub;
    else if (sub >= top + lines)
        top = sub - lines + 1;
    top = std::clamp(top, 0, std::max(GetSubLineCount() - 1, 0));
    bool scrolled = false;
    if (top != m_topSubLine) {
        ScrollToSubLine(top);
        scrolled = true;
    }
    if (!m_wordWrap) {
        const int chars = std::max(GetScreenChars(), 1);
        int off = m_offsetChar;
        if (col < off)
            off = col;
        else if (col >= off + chars)
            off = col - chars + 1;
        off = std::clamp(off, 0, std::max(std::max(GetMaxLineLength(), col + 1) - 1, 0));
        if (off != m_offsetChar) {
            ScrollToChar(off);
            scrolled = true;
        }
    }
    if (scrolled)
        UpdateCaret();
}

// ------------------------------------------------------------ caret and selection

void CEdtTextView::SetCursorPos(EdtPoint pt)
{
    pt.line = std::clamp(pt.line, 0, GetLineCount() - 1);
    pt.ch = std::clamp(pt.ch, 0, GetLineLength(pt.line));
    m_cursorPos = pt;
    m_idealCharPos = CalculateActualOffset(pt.line, pt.ch);
    UpdateCaret();
}

void CEdtTextView::SetAnchor(EdtPoint pt)
{
    m_anchor = pt;
}

void CEdtTextView::SetAnchorAtCursor()
{
    m_savedPos = m_cursorPos;
}

void CEdtTextView::GoToAnchor()
{
    EdtPoint pt = m_savedPos;
    if (pt.line < 0 || pt.line >= GetLineCount())
        return;
    if (pt.ch < 0 || pt.ch > GetLineLength(pt.line))
        pt.ch = 0;
    m_cursorPos = pt;
    m_anchor = pt;
    SetSelection(pt, pt);
    EnsureVisible(pt);
    UpdateCaret();
}

void CEdtTextView::SetSelection(EdtPoint start, EdtPoint end)
{
    auto clampPt = [this](EdtPoint p) {
        p.line = std::clamp(p.line, 0, GetLineCount() - 1);
        p.ch = std::clamp(p.ch, 0, GetLineLength(p.line));
        return p;
    };
    SetSelectionInText(clampPt(start), clampPt(end));
}

void CEdtTextView::SetSelectionInText(EdtPoint start, EdtPoint end)
{
    if (start == m_selStart && end == m_selEnd)
        return;
    if (!(start == m_selStart)) {
        InvalidateLines(std::min(m_selStart.line, m_selEnd.line), std::max(m_selStart.line, m_selEnd.line));
        InvalidateLines(std::min(start.line, end.line), std::max(start.line, end.line));
    } else {
        InvalidateLines(std::min(end.line, m_selEnd.line), std::max(end.line, m_selEnd.line));
    }
    m_selStart = start;
    m_selEnd = end;
    PrepareSelBounds();
}

void CEdtTextView::GetSelection(EdtPoint& start, EdtPoint& end)
{
    PrepareSelBounds();
    start = m_drawSelStart;
    end = m_drawSelEnd;
}

bool CEdtTextView::IsSelection() const
{
    return !(m_selStart == m_selEnd);
}

bool CEdtTextView::IsInsideSelection(EdtPoint pt)
{
    PrepareSelBounds();
    return !Before(pt, m_drawSelStart) && Before(pt, m_drawSelEnd);
}

void CEdtTextView::InvalidateLines(int first, int last)
{
    if (!isVisible())
        return;  // a hidden widget takes no updates
    if (first > last)
        std::swap(first, last);
    const int lh = GetLineHeight();
    first = std::clamp(first, 0, GetLineCount() - 1);
    last = std::clamp(last, 0, GetLineCount() - 1);
    const int64_t y0 = int64_t(GetSubLineIndex(first) - m_topSubLine) * lh;
    const int64_t y1 = int64_t(GetSubLineIndex(last) + GetSubLines(last) - m_topSubLine) * lh;
    const QRect c = ClientRect();
    if (y1 < 0 || y0 > c.height())
        return;
    const int top = static_cast<int>(std::max<int64_t>(y0, 0));
    const int bottom = static_cast<int>(std::min<int64_t>(y1, c.height()));
    update(QRect(0, top, c.width(), bottom - top));
}

void CEdtTextView::InvalidateFromLine(int line)
{
    if (!isVisible())
        return;  // a hidden widget takes no updates
    line = std::clamp(line, 0, GetLineCount() - 1);
    const int64_t y0 = int64_t(GetSubLineIndex(line) - m_topSubLine) * GetLineHeight();
    const QRect c = ClientRect();
    if (y0 > c.height())
        return;
    const int top = static_cast<int>(std::max<int64_t>(y0, 0));
    update(QRect(0, top, c.width(), c.height() - top));
}

QRect CEdtTextView::CaretRect()
{
    const QPoint p = TextToClient(m_cursorPos);
    return {p.x(), p.y(), 2, GetLineHeight()};
}

bool CEdtTextView::IsCaretShown() const
{
    if (!m_focused || !m_caretOn)
        return false;
    auto* self = const_cast<CEdtTextView*>(this);
    if (!m_wordWrap && self->CalculateActualOffset(m_cursorPos.line, m_cursorPos.ch) < m_offsetChar)
        return false;
    return true;
}

void CEdtTextView::UpdateCaret()
{
    if (m_charWidth < 0 && !isVisible())
        return;
    const QRect now = CaretRect();
    if (now != m_caretRect) {
        update(m_caretRect.adjusted(-1, 0, 1, 0));
        m_caretRect = now;
    }
    update(now.adjusted(-1, 0, 1, 0));
    UpdateCaretBlink();
    if (m_focused)
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void CEdtTextView::UpdateCaretBlink()
{
    m_caretOn = true;
    // The style hint only when it matters: reading it is not free.
    const int flash = m_focused ? QApplication::cursorFlashTime() : 0;
    if (m_focused && flash > 0)
        m_caretTimer->start(flash / 2);
    else
        m_caretTimer->stop();
}

QVariant CEdtTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle)
        return const_cast<CEdtTextView*>(this)->CaretRect();
    return ui::View::inputMethodQuery(query);
}

// ------------------------------------------------------------ caret commands

void CEdtTextView::FinishCaretMove(bool extend, bool keepIdeal)
{
    if (!keepIdeal)
        m_idealCharPos = CalculateActualOffset(m_cursorPos.line, m_cursorPos.ch);
    EnsureVisible(m_cursorPos);
    UpdateCaret();
    if (!extend)
        m_anchor = m_cursorPos;
    SetSelection(m_anchor, m_cursorPos);
}

void CEdtTextView::OnCaretCommand(uint32_t id)
{
    if (id == 37112 || id == 37113) {
        const int top = std::clamp(m_topSubLine + (id == 37112 ? -1 : 1), 0,
                                   std::max(GetSubLineCount() - 1, 0));
        ScrollToSubLine(top);
        return;
    }
    const bool shift = (id % 2) == 1 || m_keyboardSelection;
    const uint32_t base = id & ~1u;
    PrepareSelBounds();
    const bool sel = IsSelection();
    const edt::ILayoutLines& lines = Layout();
    EdtPoint& c = m_cursorPos;
    c.line = std::clamp(c.line, 0, GetLineCount() - 1);
    c.ch = std::clamp(c.ch, 0, GetLineLength(c.line));
    if (m_idealCharPos < 0)
        m_idealCharPos = CalculateActualOffset(c.line, c.ch);
    bool keepIdeal = false;
    auto left = [&] {
        if (sel && !shift)
            c = m_drawSelStart;
        else if (c.ch > 0)
            --c.ch;
        else if (c.line > 0)
            c = {GetLineLength(c.line - 1), c.line - 1};
    };
    auto right = [&] {
        if (sel && !shift)
            c = m_drawSelEnd;
        else if (c.ch < GetLineLength(c.line))
            ++c.ch;
        else if (c.line + 1 < GetLineCount())
            c = {0, c.line + 1};
    };
    switch (base) {
    case 37100: left(); break;
    case 37102: right(); break;
    case 37104:
        if (sel && !shift)
            left();
        else
            c = edt::WordLeftTarget(lines, c);
        break;
    case 37106:
        if (sel && !shift)
            right();
        else
            c = edt::WordRightTarget(lines, c);
        break;
    case 37108:
    case 37110: {
        const bool up = base == 37108;
        if (sel && !shift)
            c = up ? m_drawSelStart : m_drawSelEnd;
        c = edt::VerticalTarget(lines, c, m_idealCharPos, up ? -1 : 1);
        keepIdeal = true;
        break;
    }
    case 37114:
    case 37116: {
        const int page = std::max(GetScreenLines() - 1, 1);
        const int dir = base == 37114 ? -1 : 1;
        ScrollToSubLine(std::clamp(m_topSubLine + dir * page, 0, std::max(GetSubLineCount() - 1, 0)));
        c = edt::VerticalTarget(lines, c, m_idealCharPos, dir * page);
        keepIdeal = true;
        break;
    }
    case 37118: c = edt::LineEndTarget(lines, c); break;
    case 37120: c = edt::SmartHomeTarget(lines, c); break;
    case 37122: c = {0, 0}; break;
    case 37124: {
        const int last = GetLineCount() - 1;
        c = {GetLineLength(last), last};
        break;
    }
    default: return;
    }
    FinishCaretMove(shift, keepIdeal);
}

// ------------------------------------------------------------ keys and focus

void CEdtTextView::keyPressEvent(QKeyEvent* e)
{
    // Keys that no frame translated (a view outside a main frame).
    const uint16_t cmd = m_accel ? m_accel->Translate(*e) : 0;
    if (cmd) {
        if (HasCommand(cmd)) {
            ui::CmdUI probe(cmd);
            UpdateCommand(probe);
            if (probe.Enabled())
                ExecuteCommand(cmd);
        } else {
            ui::SendCommand(cmd);
        }
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
        e->accept();
        return;
    }
    if (IsIncrementalSearch() && !e->text().isEmpty()) {
        // Typed characters grow the incremental search.
        for (QChar c : e->text())
            OnIncrementalChar(c.unicode());
        e->accept();
        return;
    }
    ui::View::keyPressEvent(e);
}

bool CEdtTextView::focusNextPrevChild(bool)
{
    return false;  // Tab and Shift+Tab stay in the view
}

void CEdtTextView::focusInEvent(QFocusEvent* e)
{
    ui::View::focusInEvent(e);
    m_focused = true;
    PrepareSelBounds();
    InvalidateLines(m_drawSelStart.line, m_drawSelEnd.line);
    UpdateCaret();
}

void CEdtTextView::focusOutEvent(QFocusEvent* e)
{
    ui::View::focusOutEvent(e);
    m_focused = false;
    PrepareSelBounds();
    InvalidateLines(m_drawSelStart.line, m_drawSelEnd.line);
    EndMouseSelection();
    UpdateCaret();
}

void CEdtTextView::showEvent(QShowEvent* e)
{
    ui::View::showEvent(e);
    ConnectScrollBars();
    RecalcVertScrollBar();
    RecalcHorzScrollBar();
}
