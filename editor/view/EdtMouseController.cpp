// The text view's mouse: mouse selection, automatic scrolling, the
// clipboard and the drag source.

#include "editor/view/EdtMouseController.h"

#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"

#include "platform/ui/Cursor.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

namespace {

CEdtTextView* g_dragSource = nullptr;
edt::DragExecHook g_dragHook;

bool Before(EdtPoint a, EdtPoint b)
{
    return a.line < b.line || (a.line == b.line && a.ch < b.ch);
}

// The process-wide answer of TextInClipboard, kept current by the
// clipboard's change signal.
bool g_clipboardHasText = false;
bool g_clipboardWatched = false;

void WatchClipboard()
{
    if (g_clipboardWatched || !qApp)
        return;
    g_clipboardWatched = true;
    QClipboard* cb = QGuiApplication::clipboard();
    auto refresh = [cb] {
        const QMimeData* d = cb->mimeData();
        g_clipboardHasText = d && d->hasText();
    };
    refresh();
    QObject::connect(cb, &QClipboard::dataChanged, qApp, refresh);
    QObject::connect(qApp, &QObject::destroyed, [] { g_clipboardWatched = false; });
}

// The text with LF line ends, as text is exchanged on this system.
QString WithLF(const std::u16string& text)
{
    QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    qsizetype n = 0;
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            continue;
        d[n++] = c;
    }
    out.truncate(n);
    return out;
}

} // namespace

namespace edt {
void SetDragExecHook(DragExecHook hook)
{
    g_dragHook = std::move(hook);
}
} // namespace edt

EdtMouseController::EdtMouseController(CEdtTextView& view) : m_view(view), m_sel(view.Sel()), m_style(view.Style()), m_pos(view.ScrollPos())
{
    m_autoScroll = new QTimer(&view);
    m_autoScroll->setInterval(100);
    QObject::connect(m_autoScroll, &QTimer::timeout, &view, [this] { OnAutoScrollTimer(); });
}

void EdtMouseController::MoveDragPoints(const UpdateContext& context)
{
    if (m_preparingToDrag || m_draggingText) {
        context.RecalcPoint(m_dragStart);
        context.RecalcPoint(m_dragEnd);
    }
}

CEdtTextView* EdtMouseController::CurrentDragSource()
{
    return g_dragSource;
}

// ------------------------------------------------------------ selection helpers

// Extends the mouse selection from the anchor to pt: by screen lines, by
// words or by characters, as the drag began.
void EdtMouseController::DragSelectionTo(EdtPoint pt)
{
    if (m_lineSelection) {
        SelectScreenLines(m_sel.Anchor(), pt);
    } else if (m_wordSelection) {
        SelectWordsBetween(m_sel.Anchor(), pt);
    } else {
        m_sel.SetCursor(pt);
        m_view.SetSelection(m_sel.Anchor(), m_sel.Cursor());
    }
}

void EdtMouseController::SelectWordsBetween(EdtPoint a, EdtPoint b)
{
    const bool forward = !Before(b, a);
    const EdtPoint first = forward ? a : b, last = forward ? b : a;
    int s1, e1, s2, e2;
    edt::WordAround(m_view.Cache().Lines(), first, s1, e1);
    edt::WordAround(m_view.Cache().Lines(), last, s2, e2);
    const EdtPoint from{s1, first.line}, to{e2, last.line};
    if (forward) {
        m_sel.SetCursor(to);
        m_view.SetSelection(from, to);
    } else {
        m_sel.SetCursor(from);
        m_view.SetSelection(to, from);
    }
}

void EdtMouseController::SelectScreenLines(EdtPoint a, EdtPoint b)
{
    const edt::ILayoutLines& lines = m_view.Cache().Lines();
    auto nextStart = [&](EdtPoint p) {
        std::vector<int> breaks;
        m_view.Cache().GetLineBreaks(p.line, breaks);
        const edt::SubLinePos s = edt::SubLineOf(breaks, m_view.GetLineLength(p.line), p.ch);
        if (s.sub < static_cast<int>(breaks.size()))
            return EdtPoint{breaks[size_t(s.sub)], p.line};
        if (p.line + 1 < m_view.GetLineCount())
            return EdtPoint{0, p.line + 1};
        return EdtPoint{m_view.GetLineLength(p.line), p.line};
    };
    const EdtPoint sa = edt::LineStartTarget(lines, a), sb = edt::LineStartTarget(lines, b);
    m_sel.SetCursor(sb);
    if (Before(sb, sa))
        m_view.SetSelection(nextStart(sa), sb);
    else
        m_view.SetSelection(sa, nextStart(sb));
}

void EdtMouseController::EndMouseSelection()
{
    m_dragSelection = false;
    m_wordSelection = false;
    m_lineSelection = false;
    m_autoScroll->stop();
}

// ------------------------------------------------------------ mouse

void EdtMouseController::MousePress(QMouseEvent* e)
{
    m_view.setFocus(Qt::MouseFocusReason);
    const QPoint pos = e->position().toPoint();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const QPoint shifted = pos + QPoint(m_view.Renderer().GetCharWidth() / 2, 0);
    if (e->button() == Qt::RightButton) {
        const EdtPoint pt = m_view.ClientToText(shifted);
        if (!m_view.IsInsideSelection(pt)) {
            m_sel.SetCursor(m_sel.Anchor() = pt);
            m_view.SetSelection(pt, pt);
            m_view.Caret().UpdateCaret();
        }
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    m_lastMousePos = pos;
    if (pos.x() < m_view.GetMarginWidth()) {
        if (ctrl) {
            OnEditSelectAll();
            return;
        }
        const EdtPoint pt = edt::LineStartTarget(
            m_view.Cache().Lines(), m_view.ClientToText(QPoint(m_view.GetMarginWidth(), pos.y())));
        m_sel.SetCursor(pt);
        if (!shift)
            m_sel.SetAnchor(pt);
        SelectScreenLines(m_sel.Anchor(), pt);
        m_lineSelection = true;
    } else {
        const EdtPoint pt = m_view.ClientToText(shifted);
        if (m_view.IsInsideSelection(pt) && !m_disableDragAndDrop) {
            m_preparingToDrag = true;
            m_pressPos = pos;
            return;
        }
        m_sel.SetCursor(pt);
        if (!shift)
            m_sel.SetAnchor(pt);
        if (ctrl) {
            SelectWordsBetween(m_sel.Anchor(), pt);
            m_wordSelection = true;
        } else {
            m_view.SetSelection(m_sel.Anchor(), m_sel.Cursor());
        }
    }
    m_dragSelection = true;
    m_autoScroll->start();
    m_sel.SetIdealChar(
        m_view.Caret().CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch));
    m_view.EnsureVisible(m_sel.Cursor());
    m_view.Caret().UpdateCaret();
}

void EdtMouseController::MouseMove(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    m_lastMousePos = pos;
    if (m_dragSelection) {
        const QPoint half(m_view.Renderer().GetCharWidth() / 2, 0);
        const EdtPoint pt = m_view.ClientToText(pos + half);
        DragSelectionTo(pt);
        m_sel.SetIdealChar(
            m_view.Caret().CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch));
        m_view.Caret().UpdateCaret();
        return;
    }
    if (m_preparingToDrag) {
        if ((pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_preparingToDrag = false;
            StartDrag();
        }
        return;
    }
    // The cursor shape.
    if (pos.x() < m_view.GetMarginWidth()) {
        if (!m_view.Renderer().m_marginCursorLoaded) {
            m_view.Renderer().m_marginCursor =
                ui::LoadCursor(IDR_EDT_MARGIN_CURSOR, Qt::ArrowCursor);
            m_view.Renderer().m_marginCursorLoaded = true;
        }
        m_view.setCursor(m_view.Renderer().m_marginCursor);
    } else if (m_view.IsInsideSelection(
                   m_view.ClientToText(pos + QPoint(m_view.Renderer().GetCharWidth() / 2, 0)))) {
        if (!m_disableDragAndDrop)
            m_view.setCursor(Qt::ArrowCursor);
    } else {
        m_view.setCursor(Qt::IBeamCursor);
    }
}

void EdtMouseController::MouseRelease(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    EndMouseSelection();
    if (m_preparingToDrag) {
        m_preparingToDrag = false;
        const EdtPoint pt =
            m_view.ClientToText(m_pressPos + QPoint(m_view.Renderer().GetCharWidth() / 2, 0));
        m_sel.SetCursor(m_sel.Anchor() = pt);
        m_view.SetSelection(pt, pt);
        m_sel.SetIdealChar(m_view.Caret().CalculateActualOffset(pt.line, pt.ch));
        m_view.Caret().UpdateCaret();
    }
}

void EdtMouseController::MouseDoubleClick(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (m_dragSelection)
        return;
    const QPoint pos = e->position().toPoint();
    if (pos.x() < m_view.GetMarginWidth())
        return;
    const EdtPoint pt = m_view.ClientToText(pos + QPoint(m_view.Renderer().GetCharWidth() / 2, 0));
    m_sel.SetCursor(m_sel.Anchor() = pt);
    SelectWordsBetween(pt, pt);
    m_sel.SetAnchor(m_sel.DrawSelStart());
    m_wordSelection = true;
    m_dragSelection = true;
    m_autoScroll->start();
    m_sel.SetIdealChar(
        m_view.Caret().CalculateActualOffset(m_sel.Cursor().line, m_sel.Cursor().ch));
    m_view.Caret().UpdateCaret();
}

void EdtMouseController::OnAutoScrollTimer()
{
    if (!m_dragSelection) {
        m_autoScroll->stop();
        return;
    }
    const QRect c = m_view.Scroller().ClientRect();
    const QPoint pos = m_lastMousePos;
    const int lh = m_view.Renderer().GetLineHeight();
    bool scrolled = false;
    int top = m_pos.topSubLine;
    if (pos.y() < c.top())
        top -= pos.y() < c.top() - lh ? 3 : 1;
    else if (pos.y() > c.bottom())
        top += pos.y() > c.bottom() + lh ? 3 : 1;
    top = std::clamp(top, 0, std::max(m_view.GetSubLineCount() - 1, 0));
    if (top != m_pos.topSubLine) {
        m_view.ScrollToSubLine(top);
        scrolled = true;
    }
    if (!m_style.wordWrap) {
        int off = m_pos.offsetChar;
        if (pos.x() < m_view.GetMarginWidth())
            --off;
        else if (pos.x() > c.right())
            ++off;
        off = std::clamp(off, 0, std::max(m_view.Cache().GetMaxLineLength() - 1, 0));
        if (off != m_pos.offsetChar) {
            m_view.ScrollToChar(off);
            scrolled = true;
        }
    }
    if (!scrolled)
        return;
    const QPoint inside(std::clamp(pos.x(), c.left(), c.right()), std::clamp(pos.y(), c.top(), c.bottom()));
    const QPoint half(m_view.Renderer().GetCharWidth() / 2, 0);
    const EdtPoint pt = m_view.ClientToText(inside + half);
    DragSelectionTo(pt);
    m_view.Caret().UpdateCaret();
}

// ------------------------------------------------------------ clipboard

void EdtMouseController::OnEditCopy()
{
    if (!m_view.IsSelection())
        return;
    m_sel.PrepareSelBounds();
    if (!m_view.GetTextBuffer()) {
        m_view.PutToClipboard(m_view.GetText(m_sel.DrawSelStart(), m_sel.DrawSelEnd()));
        return;
    }
    // The selection straight into the clipboard's text with LF line ends:
    // one copy of the text, however large.
    const EdtPoint a = m_sel.DrawSelStart(), b = m_sel.DrawSelEnd();
    const int last = std::min(b.line, m_view.GetLineCount() - 1);
    qsizetype size = 0;
    for (int line = a.line; line <= last; ++line)
        size += m_view.GetLineLength(line) + (line < last ? 1 : 0);
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    for (int line = a.line; line <= last; ++line) {
        const int len = m_view.GetLineLength(line);
        const int from = line == a.line ? std::clamp(a.ch, 0, len) : 0;
        const int to = line == last ? std::clamp(b.ch, from, len) : len;
        std::copy(m_view.GetLineChars(line) + from, m_view.GetLineChars(line) + to, out + n);
        n += to - from;
        if (line < last)
            out[n++] = u'\n';
    }
    text.truncate(n);
    SetClipboardText(text);
}

void EdtMouseController::OnEditSelectAll()
{
    const int last = m_view.GetLineCount() - 1;
    const EdtPoint end{m_view.GetLineLength(last), last};
    m_sel.SetAnchor({0, 0});
    m_sel.SetCursor(end);
    m_view.SetSelection({0, 0}, end);
    m_view.Caret().UpdateCaret();
}

bool EdtMouseController::TextInClipboard()
{
    WatchClipboard();
    return g_clipboardHasText;
}

bool EdtMouseController::PutToClipboard(const std::u16string& text)
{
    if (text.empty())
        return false;
    return SetClipboardText(WithLF(text));
}

bool EdtMouseController::SetClipboardText(const QString& lf)
{
    if (lf.isEmpty())
        return false;
    WatchClipboard();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QClipboard* cb = QGuiApplication::clipboard();
    cb->setText(lf);
    const QMimeData* d = cb->mimeData();
    const bool ok = d && d->hasText() && cb->text().size() == lf.size();
    QApplication::restoreOverrideCursor();
    return ok;
}

bool EdtMouseController::GetFromClipboard(std::u16string& text)
{
    text.clear();
    const QMimeData* d = QGuiApplication::clipboard()->mimeData();
    if (!d || !d->hasText())
        return false;
    const std::u16string raw = d->text().toStdU16String();
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i];
        if (c == u'\r') {
            if (i + 1 < raw.size() && raw[i + 1] == u'\n')
                ++i;
            text += u"\r\n";
        } else if (c == u'\n') {
            text += u"\r\n";
        } else {
            text.push_back(c);
        }
    }
    return true;
}

// ------------------------------------------------------------ drag source

bool EdtMouseController::PrepareDragData(std::u16string& text)
{
    m_sel.PrepareSelBounds();
    if (!m_view.IsSelection())
        return false;
    text = m_view.GetText(m_sel.DrawSelStart(), m_sel.DrawSelEnd());
    m_dragStart = m_sel.DrawSelStart();
    m_dragEnd = m_sel.DrawSelEnd();
    return !text.empty();
}

Qt::DropActions EdtMouseController::GetDropEffect()
{
    return Qt::CopyAction;
}

void EdtMouseController::OnDropSource(Qt::DropAction) {}

void EdtMouseController::StartDrag()
{
    std::u16string text;
    if (!m_view.PrepareDragData(text))
        return;
    if (m_view.GetTextBuffer())
        m_view.GetTextBuffer()->BeginUndoGroup();
    auto* drag = new QDrag(&m_view);
    auto* mime = new QMimeData;
    mime->setText(WithLF(text));
    drag->setMimeData(mime);
    m_draggingText = true;
    g_dragSource = &m_view;
    const Qt::DropActions allowed = m_view.GetDropEffect();
    const Qt::DropAction action = g_dragHook ? g_dragHook(drag, allowed) : drag->exec(allowed);
    g_dragSource = nullptr;
    m_draggingText = false;
    if (action != Qt::IgnoreAction)
        m_view.OnDropSource(action);
    if (m_view.GetTextBuffer())
        m_view.GetTextBuffer()->FlushUndoGroup(&m_view);
    drag->deleteLater();
}

// ------------------------------------------------------------ the view's functions that hand on to this part

void CEdtTextView::mousePressEvent(QMouseEvent* e)
{
    m_mouse->MousePress(e);
}

void CEdtTextView::mouseMoveEvent(QMouseEvent* e)
{
    m_mouse->MouseMove(e);
}

void CEdtTextView::mouseReleaseEvent(QMouseEvent* e)
{
    m_mouse->MouseRelease(e);
}

void CEdtTextView::mouseDoubleClickEvent(QMouseEvent* e)
{
    m_mouse->MouseDoubleClick(e);
}

bool CEdtTextView::TextInClipboard()
{
    return m_mouse->TextInClipboard();
}

bool CEdtTextView::PutToClipboard(const std::u16string& text)
{
    return m_mouse->PutToClipboard(text);
}

bool CEdtTextView::GetFromClipboard(std::u16string& text)
{
    return m_mouse->GetFromClipboard(text);
}

bool CEdtTextView::PrepareDragData(std::u16string& text)
{
    return m_mouse->PrepareDragData(text);
}

Qt::DropActions CEdtTextView::GetDropEffect()
{
    return m_mouse->GetDropEffect();
}

void CEdtTextView::OnDropSource(Qt::DropAction effect)
{
    m_mouse->OnDropSource(effect);
}
