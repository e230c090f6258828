// The text view: per-line caches, word wrap, scrolling, scroll bars and
// the idle filler that completes the caches in small slices.

#include "editor/EdtTextView.h"

#include "platform/ui/Splitter.h"

#include <QElapsedTimer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

// ------------------------------------------------------------ sub-lines

int CEdtTextView::WrapWidth()
{
    return std::max(GetScreenChars(), 1);
}

void CEdtTextView::WrapLine(int line, int width, std::vector<int>* breaks, int& count)
{
    if (m_parser)
        m_parser->WrapLine(line, width, breaks, count);
}

void CEdtTextView::GetLineBreaks(int line, std::vector<int>& breaks)
{
    breaks.clear();
    if (!m_wordWrap || !m_parser || line < 0 || line >= GetLineCount())
        return;
    EnsureCacheSize();
    if (m_wrapWidth != WrapWidth()) {
        m_wrapWidth = WrapWidth();
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
    }
    int count = 0;
    WrapLine(line, WrapWidth(), &breaks, count);
    // Keep only increasing breaks inside the line.
    const int len = GetLineLength(line);
    int last = 0;
    std::vector<int> ok;
    for (int b : breaks)
        if (b > last && b < len)
            ok.push_back(last = b);
    breaks.swap(ok);
    m_subLines.Set(line, static_cast<int32_t>(breaks.size()) + 1);
}

int CEdtTextView::GetSubLines(int line)
{
    if (!m_wordWrap || !m_parser || line < 0 || line >= GetLineCount())
        return 1;
    ComputeSubLines(line);
    return std::max(1, static_cast<int>(m_subLines.Get(line)));
}

void CEdtTextView::ComputeSubLines(int line)
{
    EnsureCacheSize();
    if (m_wrapWidth != WrapWidth()) {
        m_wrapWidth = WrapWidth();
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
    } else if (m_subLines.Get(line) >= 0) {
        return;
    }
    // The count alone: no break list is built.
    int count = 0;
    WrapLine(line, m_wrapWidth, nullptr, count);
    m_subLines.Set(line, std::max(count, 0) + 1);
}

int CEdtTextView::GetSubLineCount()
{
    if (!m_wordWrap || !m_parser)
        return GetLineCount();
    EnsureCacheSize();
    return static_cast<int>(std::min<int64_t>(m_subLines.Total(), INT32_MAX));
}

int CEdtTextView::GetSubLineIndex(int line)
{
    if (!m_wordWrap || !m_parser)
        return std::clamp(line, 0, GetLineCount() - 1);
    line = std::clamp(line, 0, GetLineCount() - 1);
    EnsureCacheSize();
    return static_cast<int>(m_subLines.SumBefore(line));
}

void CEdtTextView::GetLineBySubLineIndex(int subLine, int& line, int& subInLine)
{
    if (!m_wordWrap || !m_parser) {
        line = std::clamp(subLine, 0, GetLineCount() - 1);
        subInLine = 0;
        return;
    }
    EnsureCacheSize();
    m_subLines.Find(subLine, line, subInLine);
}

void CEdtTextView::InvalidateLineCache(int from, int to)
{
    EnsureCacheSize();
    if (to == -1)
        to = GetLineCount() - 1;
    if (from > to)
        std::swap(from, to);
    m_subLines.Fill(from, to + 1, -1);
    m_wrapScan = std::min(m_wrapScan, std::max(from, 0));
    StartFiller();
}

void CEdtTextView::SetWordWrap(bool on)
{
    if (m_wordWrap == on)
        return;
    EnsureCacheSize();
    m_wordWrap = on;
    m_subLines.Fill(0, m_subLines.Size(), -1);
    m_wrapScan = 0;
    m_wrapWidth = -1;
    if (on)
        m_offsetChar = 0;
    m_topSubLine = GetSubLineIndex(m_topLine);
    LayoutScrollBars();
    RecalcVertScrollBar();
    RecalcHorzScrollBar();
    UpdateCaret();
    update();
    StartFiller();
}

void CEdtTextView::SetTabSize(int n)
{
    if (n < 1 || n == m_tabSize)
        return;
    m_tabSize = n;
    EnsureCacheSize();
    m_lengths.Fill(0, m_lengths.Size(), -1);
    m_maxLength = -1;
    m_maxKnown = 0;
    m_lengthScan = 0;
    m_idealCharPos = -1;
    if (m_wordWrap) {
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
    }
    RecalcHorzScrollBar();
    update();
    UpdateCaret();
    StartFiller();
}

CEdtParser* CEdtTextView::SetParser(CEdtParser* parser)
{
    CEdtParser* old = m_parser;
    m_parser = parser;
    if (parser)
        parser->SetTextView(this);
    if (m_wordWrap) {
        EnsureCacheSize();
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
        m_topSubLine = GetSubLineIndex(m_topLine);
        RecalcVertScrollBar();
        update();
        StartFiller();
    }
    return old;
}

// ------------------------------------------------------------ cookies

uint32_t CEdtTextView::ParseLine(uint32_t cookie, int line, TextBlockList* blocks)
{
    if (blocks) {
        blocks->Reset();
        blocks->Append(0, EDT_CLR_TEXT);
    }
    EdtParseLineFn fn = m_textType ? m_textType->parser : nullptr;
    if (!fn)
        return 0;
    return fn({GetLineChars(line), size_t(GetLineLength(line))}, cookie, blocks);
}

uint32_t CEdtTextView::GetParseCookie(int line)
{
    if (line < 0)
        return 0;
    const int n = GetLineCount();
    line = std::min(line, n - 1);
    if (m_cookies.size() < size_t(n))
        m_cookies.resize(size_t(n));
    while (m_cookiesKnown <= line) {
        const int i = m_cookiesKnown;
        m_cookies[size_t(i)] = ParseLine(i == 0 ? 0 : m_cookies[size_t(i) - 1], i, nullptr);
        ++m_cookiesKnown;
    }
    return m_cookies[size_t(line)];
}

// ------------------------------------------------------------ the idle filler

void CEdtTextView::StartFiller()
{
    if (IsFillerBusy() && !m_filler->isActive())
        m_filler->start();
}

bool CEdtTextView::IsFillerBusy() const
{
    const int n = GetLineCount();
    if (m_cookiesKnown < n || m_maxLength < 0 || m_lengthScan < n)
        return true;
    return m_wordWrap && m_parser && m_wrapScan < n;
}

void CEdtTextView::OnFillerTimer()
{
    if (!RunFillerSlice(10))
        m_filler->stop();
}

void CEdtTextView::FinishFiller()
{
    while (RunFillerSlice(1000)) {
    }
    m_filler->stop();
}

bool CEdtTextView::RunFillerSlice(int budgetMs)
{
    QElapsedTimer t;
    t.start();
    const int n = GetLineCount();
    EnsureCacheSize();
    if (m_cookies.size() < size_t(n))
        m_cookies.resize(size_t(n));
    // 1. Parse cookies forward from the first unknown line.
    while (m_cookiesKnown < n) {
        const int stop = std::min(n, m_cookiesKnown + 256);
        GetParseCookie(stop - 1);
        if (m_cookiesKnown > m_provisionalFrom) {
            // Lines drawn with a guessed cookie get their exact colours.
            m_provisionalFrom = INT_MAX;
            update();
        }
        if (t.elapsed() >= budgetMs)
            return true;
    }
    if (m_provisionalFrom != INT_MAX) {
        m_provisionalFrom = INT_MAX;
        update();
    }
    // 2. Expanded lengths and the maximum.
    bool grew = false;
    while (m_lengthScan < n) {
        const int stop = std::min(n, m_lengthScan + 1024);
        for (; m_lengthScan < stop; ++m_lengthScan) {
            const int len = GetLineActualLength(m_lengthScan);
            if (len > m_maxKnown) {
                m_maxKnown = len;
                grew = true;
            }
        }
        if (t.elapsed() >= budgetMs) {
            if (grew)
                RecalcHorzScrollBar();
            return true;
        }
    }
    if (m_maxLength < 0 || grew) {
        m_maxLength = m_maxKnown;
        RecalcHorzScrollBar();
    }
    // 3. Sub-lines of word wrap.
    if (m_wordWrap && m_parser) {
        const int before = GetSubLineCount();
        while (m_wrapScan < n) {
            const int stop = std::min(n, m_wrapScan + 256);
            for (; m_wrapScan < stop; ++m_wrapScan)
                ComputeSubLines(m_wrapScan);
            if (t.elapsed() >= budgetMs)
                break;
        }
        if (GetSubLineCount() != before) {
            m_topSubLine = GetSubLineIndex(m_topLine);
            RecalcVertScrollBar();
            update();
        }
        if (m_wrapScan < n)
            return true;
    }
    return false;
}

size_t CEdtTextView::CacheMemoryBytes() const
{
    return m_cookies.capacity() * sizeof(uint32_t) + m_lengths.MemoryBytes() +
           m_subLines.MemoryBytes();
}

int CEdtTextView::GetMaxLineLength()
{
    if (m_maxLength >= 0)
        return m_maxLength;
    // Unknown: what is known so far; the filler completes it.
    StartFiller();
    const int top = GetLineActualLength(m_topLine);
    m_maxKnown = std::max(m_maxKnown, top);
    return m_maxKnown;
}

// ------------------------------------------------------------ geometry

QRect CEdtTextView::ClientRect() const
{
    QRect r = rect();
    if (m_vbar->isVisible())
        r.setRight(r.right() - m_vbar->width());
    if (m_hbar->isVisible())
        r.setBottom(r.bottom() - m_hbar->height());
    return r;
}

int CEdtTextView::GetScreenLines()
{
    if (m_screenLines < 0)
        m_screenLines = std::max(ClientRect().height() / GetLineHeight(), 0);
    return m_screenLines;
}

int CEdtTextView::GetScreenChars()
{
    if (m_screenChars < 0)
        m_screenChars = std::max((ClientRect().width() - GetMarginWidth()) / GetCharWidth(), 0);
    return m_screenChars;
}

// A page step moves by one less than the page, so that a line stays in
// view; the thumb keeps the page's size.
void CEdtTextView::KeepOneLineOnPageSteps(QScrollBar* bar, QObject* context)
{
    QObject::connect(bar, &QAbstractSlider::actionTriggered, context, [bar](int action) {
        const int step = std::max(bar->pageStep() - 1, 1);
        if (action == QAbstractSlider::SliderPageStepAdd)
            bar->setSliderPosition(std::min(bar->value() + step, bar->maximum()));
        else if (action == QAbstractSlider::SliderPageStepSub)
            bar->setSliderPosition(std::max(bar->value() - step, bar->minimum()));
    });
}

void CEdtTextView::ConnectScrollBars()
{
    m_splitter = nullptr;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* s = qobject_cast<ui::SplitterWnd*>(w)) {
            if (s->PaneId(this) >= 0)
                m_splitter = s;
            break;
        }
    if (!m_splitter)
        return;
    const int id = m_splitter->PaneId(this);
    QScrollBar* v = m_splitter->RowScrollBar(ui::SplitterWnd::RowFromId(id));
    QScrollBar* h = m_splitter->ColumnScrollBar(ui::SplitterWnd::ColFromId(id));
    if (v != m_sharedV) {
        if (m_sharedV)
            disconnect(m_sharedV, nullptr, this, nullptr);
        m_sharedV = v;
        if (v) {
            connect(v, &QScrollBar::valueChanged, this, [this](int x) { OnVScroll(x); });
            KeepOneLineOnPageSteps(v, this);
        }
    }
    if (h != m_sharedH) {
        if (m_sharedH)
            disconnect(m_sharedH, nullptr, this, nullptr);
        m_sharedH = h;
        if (h) {
            connect(h, &QScrollBar::valueChanged, this, [this](int x) { OnHScroll(x); });
            KeepOneLineOnPageSteps(h, this);
        }
    }
    LayoutScrollBars();
}

void CEdtTextView::LayoutScrollBars()
{
    const bool own = m_splitter == nullptr;
    const int ext = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_vbar->setVisible(own);
    m_hbar->setVisible(own && !m_wordWrap);
    if (own) {
        const int hb = m_wordWrap ? 0 : ext;
        m_vbar->setGeometry(width() - ext, 0, ext, std::max(height() - hb, 0));
        if (!m_wordWrap)
            m_hbar->setGeometry(0, height() - ext, std::max(width() - ext, 0), ext);
    }
    m_screenLines = m_screenChars = -1;
}

namespace {
// A scroll bar over `count` units with `page` of them on screen, at `pos`;
// without the range when only the position changed.
void SetScrollBar(QScrollBar* bar, int count, int page, int pos, bool positionOnly)
{
    if (!bar)
        return;
    const QSignalBlocker block(bar);
    if (!positionOnly) {
        bar->setRange(0, std::max(count - 1, 0));
        bar->setPageStep(page);
        bar->setSingleStep(1);
        bar->setEnabled(count > page || pos > 0);
    }
    bar->setValue(pos);
}
} // namespace

void CEdtTextView::RecalcVertScrollBar(bool positionOnly)
{
    QScrollBar* bar = m_splitter ? m_sharedV.data() : m_vbar;
    const int count = GetSubLineCount();
    const int page = std::max(GetScreenLines(), 1);
    if (!positionOnly) {
        if (count <= page && m_topSubLine > 0) {
            m_topSubLine = 0;
            m_topLine = 0;
            update();
            UpdateCaret();
        }
    }
    SetScrollBar(bar, count, page, m_topSubLine, positionOnly);
}

void CEdtTextView::RecalcHorzScrollBar(bool positionOnly)
{
    QScrollBar* bar = m_splitter ? m_sharedH.data() : m_hbar;
    if (m_wordWrap) {
        if (bar && !m_splitter)
            bar->setEnabled(false);
        return;
    }
    const int maxLen = GetMaxLineLength();
    const int page = std::max(GetScreenChars(), 1);
    if (!positionOnly && maxLen <= page && m_offsetChar > 0) {
        m_offsetChar = 0;
        update();
        UpdateCaret();
    }
    SetScrollBar(bar, maxLen, page, m_offsetChar, positionOnly);
}

void CEdtTextView::OnVScroll(int value)
{
    value = std::clamp(value, 0, std::max(GetSubLineCount() - 1, 0));
    ScrollToSubLine(value, false, false);
}

void CEdtTextView::OnHScroll(int value)
{
    if (!m_wordWrap)
        ScrollToChar(std::max(value, 0), false, false);
}

void CEdtTextView::ScrollToSubLine(int subLine, bool, bool trackScrollBar)
{
    subLine = std::clamp(subLine, 0, std::max(GetSubLineCount() - 1, 0));
    if (subLine == m_topSubLine)
        return;
    m_topSubLine = subLine;
    int sub = 0;
    GetLineBySubLineIndex(subLine, m_topLine, sub);
    update();
    UpdateCaret();
    if (trackScrollBar)
        RecalcVertScrollBar(true);
    UpdateSiblingScrollPos(false);
}

void CEdtTextView::ScrollToChar(int column, bool, bool trackScrollBar)
{
    if (m_wordWrap)
        return;
    column = std::max(column, 0);
    if (column == m_offsetChar)
        return;
    m_offsetChar = column;
    update();
    UpdateCaret();
    if (trackScrollBar)
        RecalcHorzScrollBar(true);
    UpdateSiblingScrollPos(true);
}

void CEdtTextView::ScrollToLine(int line, bool noSmooth, bool trackScrollBar)
{
    ScrollToSubLine(GetSubLineIndex(line), noSmooth, trackScrollBar);
}

void CEdtTextView::UpdateSiblingScrollPos(bool horz)
{
    if (m_syncingSiblings || !m_splitter)
        return;
    int row = 0, col = 0;
    if (!m_splitter->IsChildPane(this, &row, &col))
        return;
    m_syncingSiblings = true;
    for (int r = 0; r < m_splitter->GetRowCount(); ++r)
        for (int c = 0; c < m_splitter->GetColumnCount(); ++c) {
            if ((horz ? c != col : r != row) || (r == row && c == col))
                continue;
            if (auto* v = qobject_cast<CEdtTextView*>(m_splitter->GetPane(r, c)))
                v->OnUpdateSibling(this, horz);
        }
    m_syncingSiblings = false;
}

void CEdtTextView::OnUpdateSibling(CEdtTextView* updater, bool horz)
{
    if (!updater || updater == this || m_syncingSiblings)
        return;
    m_syncingSiblings = true;
    if (horz)
        ScrollToChar(updater->m_offsetChar, true, false);
    else
        ScrollToSubLine(GetSubLineIndex(updater->m_topLine), true, false);
    m_syncingSiblings = false;
}

// ------------------------------------------------------------ Qt events

void CEdtTextView::resizeEvent(QResizeEvent* e)
{
    ui::View::resizeEvent(e);
    // The character at the top stays at the top.
    int topSub = 0, topLine = 0;
    GetLineBySubLineIndex(m_topSubLine, topLine, topSub);
    std::vector<int> breaks;
    GetLineBreaks(topLine, breaks);
    const int topChar = topSub == 0 || breaks.empty() ? 0 : breaks[size_t(std::min<int>(topSub, int(breaks.size()))) - 1];
    LayoutScrollBars();
    if (m_wordWrap) {
        EnsureCacheSize();
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
        m_wrapWidth = -1;
        GetLineBreaks(topLine, breaks);
        const edt::SubLinePos p = edt::SubLineOf(breaks, GetLineLength(topLine), topChar);
        m_topLine = topLine;
        m_topSubLine = GetSubLineIndex(topLine) + p.sub;
        StartFiller();
    }
    UpdateCaret();
    RecalcVertScrollBar();
    RecalcHorzScrollBar();
    ExecuteCommand(ID_EDT_REDRAW);
}

void CEdtTextView::wheelEvent(QWheelEvent* e)
{
    const QPoint d = e->angleDelta();
    if (d.y() != 0) {
        m_wheelRest += d.y();
        const int lines = m_wheelRest / 40;
        m_wheelRest -= lines * 40;
        if (lines != 0)
            ScrollToSubLine(std::clamp(m_topSubLine - lines, 0, std::max(GetSubLineCount() - 1, 0)));
    }
    if (d.x() != 0 && !m_wordWrap) {
        m_hwheelRest += d.x();
        const int cols = m_hwheelRest / 40;
        m_hwheelRest -= cols * 40;
        if (cols != 0)
            ScrollToChar(std::clamp(m_offsetChar - cols, 0, std::max(GetMaxLineLength() - 1, 0)));
    }
    e->accept();
}
