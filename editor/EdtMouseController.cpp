// The text view: mouse selection, automatic scrolling, the clipboard and
// the drag source.

#include "editor/EdtTextView.h"

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

CEdtTextView* CEdtTextView::CurrentDragSource()
{
    return g_dragSource;
}

// ------------------------------------------------------------ selection helpers

void CEdtTextView::SelectWordsBetween(EdtPoint a, EdtPoint b)
{
    const bool forward = !Before(b, a);
    const EdtPoint first = forward ? a : b, last = forward ? b : a;
    int s1, e1, s2, e2;
    edt::WordAround(Layout(), first, s1, e1);
    edt::WordAround(Layout(), last, s2, e2);
    const EdtPoint from{s1, first.line}, to{e2, last.line};
    if (forward) {
        m_cursorPos = to;
        SetSelection(from, to);
    } else {
        m_cursorPos = from;
        SetSelection(to, from);
    }
}

void CEdtTextView::SelectScreenLines(EdtPoint a, EdtPoint b)
{
    const edt::ILayoutLines& lines = Layout();
    auto nextStart = [&](EdtPoint p) {
        std::vector<int> breaks;
        GetLineBreaks(p.line, breaks);
        const edt::SubLinePos s = edt::SubLineOf(breaks, GetLineLength(p.line), p.ch);
        if (s.sub < static_cast<int>(breaks.size()))
            return EdtPoint{breaks[size_t(s.sub)], p.line};
        if (p.line + 1 < GetLineCount())
            return EdtPoint{0, p.line + 1};
        return EdtPoint{GetLineLength(p.line), p.line};
    };
    const EdtPoint sa = edt::LineStartTarget(lines, a), sb = edt::LineStartTarget(lines, b);
    m_cursorPos = sb;
    if (Before(sb, sa))
        SetSelection(nextStart(sa), sb);
    else
        SetSelection(sa, nextStart(sb));
}

void CEdtTextView::EndMouseSelection()
{
    m_dragSelection = false;
    m_wordSelection = false;
    m_lineSelection = false;
    m_autoScroll->stop();
}

// ------------------------------------------------------------ mouse

void CEdtTextView::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = e->position().toPoint();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const QPoint shifted = pos + QPoint(GetCharWidth() / 2, 0);
    if (e->button() == Qt::RightButton) {
        const EdtPoint pt = ClientToText(shifted);
        if (!IsInsideSelection(pt)) {
            m_cursorPos = m_anchor = pt;
            SetSelection(pt, pt);
            UpdateCaret();
        }
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    m_lastMousePos = pos;
    if (pos.x() < GetMarginWidth()) {
        if (ctrl) {
            OnEditSelectAll();
            return;
        }
        const EdtPoint pt = edt::LineStartTarget(Layout(), ClientToText(QPoint(GetMarginWidth(), pos.y())));
        m_cursorPos = pt;
        if (!shift)
            m_anchor = pt;
        SelectScreenLines(m_anchor, pt);
        m_lineSelection = true;
    } else {
        const EdtPoint pt = ClientToText(shifted);
        if (IsInsideSelection(pt) && !m_disableDragAndDrop) {
            m_preparingToDrag = true;
            m_pressPos = pos;
            return;
        }
        m_cursorPos = pt;
        if (!shift)
            m_anchor = pt;
        if (ctrl) {
            SelectWordsBetween(m_anchor, pt);
            m_wordSelection = true;
        } else {
            SetSelection(m_anchor, m_cursorPos);
        }
    }
    m_dragSelection = true;
    m_autoScroll->start();
    m_idealCharPos = CalculateActualOffset(m_cursorPos.line, m_cursorPos.ch);
    EnsureVisible(m_cursorPos);
    UpdateCaret();
}

void CEdtTextView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    m_lastMousePos = pos;
    if (m_dragSelection) {
        const EdtPoint pt = ClientToText(pos + QPoint(GetCharWidth() / 2, 0));
        if (m_lineSelection) {
            SelectScreenLines(m_anchor, pt);
        } else if (m_wordSelection) {
            SelectWordsBetween(m_anchor, pt);
        } else {
            m_cursorPos = pt;
            SetSelection(m_anchor, m_cursorPos);
        }
        m_idealCharPos = CalculateActualOffset(m_cursorPos.line, m_cursorPos.ch);
        UpdateCaret();
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
    if (pos.x() < GetMarginWidth()) {
        if (!m_marginCursorLoaded) {
            m_marginCursor = ui::LoadCursor(IDR_EDT_MARGIN_CURSOR, Qt::ArrowCursor);
            m_marginCursorLoaded = true;
        }
        setCursor(m_marginCursor);
    } else if (IsInsideSelection(ClientToText(pos + QPoint(GetCharWidth() / 2, 0)))) {
        if (!m_disableDragAndDrop)
            setCursor(Qt::ArrowCursor);
    } else {
        setCursor(Qt::IBeamCursor);
    }
}

void CEdtTextView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    EndMouseSelection();
    if (m_preparingToDrag) {
        m_preparingToDrag = false;
        const EdtPoint pt = ClientToText(m_pressPos + QPoint(GetCharWidth() / 2, 0));
        m_cursorPos = m_anchor = pt;
        SetSelection(pt, pt);
        m_idealCharPos = CalculateActualOffset(pt.line, pt.ch);
        UpdateCaret();
    }
}

void CEdtTextView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (m_dragSelection)
        return;
    const QPoint pos = e->position().toPoint();
    if (pos.x() < GetMarginWidth())
        return;
    const EdtPoint pt = ClientToText(pos + QPoint(GetCharWidth() / 2, 0));
    m_cursorPos = m_anchor = pt;
    SelectWordsBetween(pt, pt);
    m_anchor = m_drawSelStart;
    m_wordSelection = true;
    m_dragSelection = true;
    m_autoScroll->start();
    m_idealCharPos = CalculateActualOffset(m_cursorPos.line, m_cursorPos.ch);
    UpdateCaret();
}

void CEdtTextView::OnAutoScrollTimer()
{
    if (!m_dragSelection) {
        m_autoScroll->stop();
        return;
    }
    const QRect c = ClientRect();
    const QPoint pos = m_lastMousePos;
    const int lh = GetLineHeight();
    bool scrolled = false;
    int top = m_topSubLine;
    if (pos.y() < c.top())
        top -= pos.y() < c.top() - lh ? 3 : 1;
    else if (pos.y() > c.bottom())
        top += pos.y() > c.bottom() + lh ? 3 : 1;
    top = std::clamp(top, 0, std::max(GetSubLineCount() - 1, 0));
    if (top != m_topSubLine) {
        ScrollToSubLine(top);
        scrolled = true;
    }
    if (!m_wordWrap) {
        int off = m_offsetChar;
        if (pos.x() < GetMarginWidth())
            --off;
        else if (pos.x() > c.right())
            ++off;
        off = std::clamp(off, 0, std::max(GetMaxLineLength() - 1, 0));
        if (off != m_offsetChar) {
            ScrollToChar(off);
            scrolled = true;
        }
    }
    if (!scrolled)
        return;
    const QPoint inside(std::clamp(pos.x(), c.left(), c.right()), std::clamp(pos.y(), c.top(), c.bottom()));
    const EdtPoint pt = ClientToText(inside + QPoint(GetCharWidth() / 2, 0));
    if (m_lineSelection) {
        SelectScreenLines(m_anchor, pt);
    } else if (m_wordSelection) {
        SelectWordsBetween(m_anchor, pt);
    } else {
        m_cursorPos = pt;
        SetSelection(m_anchor, m_cursorPos);
    }
    UpdateCaret();
}

// ------------------------------------------------------------ clipboard

void CEdtTextView::OnEditCopy()
{
    if (!IsSelection())
        return;
    PrepareSelBounds();
    if (!m_buffer) {
        PutToClipboard(GetText(m_drawSelStart, m_drawSelEnd));
        return;
    }
    // The selection straight into the clipboard's text with LF line ends:
    // one copy of the text, however large.
    const EdtPoint a = m_drawSelStart, b = m_drawSelEnd;
    const int last = std::min(b.line, GetLineCount() - 1);
    qsizetype size = 0;
    for (int line = a.line; line <= last; ++line)
        size += GetLineLength(line) + (line < last ? 1 : 0);
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    for (int line = a.line; line <= last; ++line) {
        const int len = GetLineLength(line);
        const int from = line == a.line ? std::clamp(a.ch, 0, len) : 0;
        const int to = line == last ? std::clamp(b.ch, from, len) : len;
        std::copy(GetLineChars(line) + from, GetLineChars(line) + to, out + n);
        n += to - from;
        if (line < last)
            out[n++] = u'\n';
    }
    text.truncate(n);
    SetClipboardText(text);
}

void CEdtTextView::OnEditSelectAll()
{
    const int last = GetLineCount() - 1;
    const EdtPoint end{GetLineLength(last), last};
    m_anchor = {0, 0};
    m_cursorPos = end;
    SetSelection({0, 0}, end);
    UpdateCaret();
}

bool CEdtTextView::TextInClipboard()
{
    WatchClipboard();
    return g_clipboardHasText;
}

bool CEdtTextView::PutToClipboard(const std::u16string& text)
{
    if (text.empty())
        return false;
    return SetClipboardText(WithLF(text));
}

bool CEdtTextView::SetClipboardText(const QString& lf)
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

bool CEdtTextView::GetFromClipboard(std::u16string& text)
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

bool CEdtTextView::PrepareDragData(std::u16string& text)
{
    PrepareSelBounds();
    if (!IsSelection())
        return false;
    text = GetText(m_drawSelStart, m_drawSelEnd);
    m_dragStart = m_drawSelStart;
    m_dragEnd = m_drawSelEnd;
    return !text.empty();
}

Qt::DropActions CEdtTextView::GetDropEffect()
{
    return Qt::CopyAction;
}

void CEdtTextView::OnDropSource(Qt::DropAction) {}

void CEdtTextView::StartDrag()
{
    std::u16string text;
    if (!PrepareDragData(text))
        return;
    if (m_buffer)
        m_buffer->BeginUndoGroup();
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setText(WithLF(text));
    drag->setMimeData(mime);
    m_draggingText = true;
    g_dragSource = this;
    const Qt::DropActions allowed = GetDropEffect();
    const Qt::DropAction action = g_dragHook ? g_dragHook(drag, allowed) : drag->exec(allowed);
    g_dragSource = nullptr;
    m_draggingText = false;
    if (action != Qt::IgnoreAction)
        OnDropSource(action);
    if (m_buffer)
        m_buffer->FlushUndoGroup(this);
    drag->deleteLater();
}
