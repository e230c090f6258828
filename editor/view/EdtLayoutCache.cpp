// The text view's per-line caches, the sub-lines of word wrap and the idle
// filler that completes the caches in small slices.

#include "editor/view/EdtLayoutCache.h"

#include "editor/find/EdtFindController.h"
#include "editor/view/EdtRenderTesting.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewScroller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

namespace {

QEvent::Type FillerSliceEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The filler's slices come as posted events of the lowest priority, so
// that the input and the paints posted before a slice are handled first.
class FillerSlicer : public QObject
{
public:
    explicit FillerSlicer(EdtLayoutCache& cache) : m_cache(cache) {}

    bool event(QEvent* e) override
    {
        if (e->type() != FillerSliceEvent())
            return QObject::event(e);
        m_cache.OnFillerSlice();
        return true;
    }

private:
    EdtLayoutCache& m_cache;
};

std::function<void(CEdtTextView&)> g_sliceHook;
constexpr int kSliceBudgetMs = 10;
int g_sliceBudgetMs = kSliceBudgetMs;

} // namespace

// The view's text as the layout code reads it.
class EdtViewLines final : public edt::ILayoutLines
{
public:
    EdtViewLines(CEdtTextView& view, EdtLayoutCache& cache) : m_view(view), m_cache(cache) {}
    int LayoutLineCount() const override { return m_view.GetLineCount(); }
    std::u16string_view LayoutLine(int line) const override
    {
        return m_view.Finder().LineForSearch(line);
    }
    int LayoutTabSize() const override { return m_view.GetTabSize(); }
    void LayoutBreaks(int line, std::vector<int>& breaks) const override
    {
        m_cache.GetLineBreaks(line, breaks);
    }

private:
    CEdtTextView& m_view;
    EdtLayoutCache& m_cache;
};

void edt::SetFillerSliceHook(std::function<void(CEdtTextView&)> hook)
{
    g_sliceHook = std::move(hook);
}

void edt::SetFillerSliceBudget(int ms)
{
    g_sliceBudgetMs = ms < 0 ? kSliceBudgetMs : ms;
}

EdtLayoutCache::EdtLayoutCache(CEdtTextView& view)
    : m_view(view), m_style(view.Style()), m_pos(view.ScrollPos()),
      m_lines(std::make_unique<EdtViewLines>(view, *this)),
      m_slicer(std::make_unique<FillerSlicer>(*this))
{
}

EdtLayoutCache::~EdtLayoutCache() = default;

const edt::ILayoutLines& EdtLayoutCache::Lines() const
{
    return *m_lines;
}

// Whether every line is drawn in its exact colours (all cookies known,
// nothing drawn provisionally waits).
bool EdtLayoutCache::AreColoursExact() const
{
    return m_cookiesKnown >= m_view.GetLineCount() && m_provisionalFrom == INT_MAX;
}

void EdtLayoutCache::ResetCaches()
{
    m_cookies.clear();
    m_cookiesKnown = 0;
    m_provisionalFrom = INT_MAX;
    const int n = m_view.GetLineCount();
    m_lengths.Reset(n, -1);
    m_subLines.Reset(n, -1);
    m_maxLength = -1;
    m_maxKnown = 0;
    m_lengthScan = 0;
    m_wrapScan = 0;
    m_wrapWidth = -1;
}

void EdtLayoutCache::EnsureCacheSize()
{
    const int n = m_view.GetLineCount();
    if (m_lengths.Size() != n) {
        if (m_lengths.Size() < n) {
            m_lengths.Insert(m_lengths.Size(), n - m_lengths.Size(), -1);
        } else {
            m_lengths.Remove(n, m_lengths.Size() - n);
        }
    }
    if (m_subLines.Size() != n) {
        if (m_subLines.Size() < n)
            m_subLines.Insert(m_subLines.Size(), n - m_subLines.Size(), -1);
        else
            m_subLines.Remove(n, m_subLines.Size() - n);
    }
    if (m_cookiesKnown > n)
        m_cookiesKnown = n;
}

int EdtLayoutCache::WrapWidth()
{
    return std::max(m_view.GetScreenChars(), 1);
}

void EdtLayoutCache::GetLineBreaks(int line, std::vector<int>& breaks)
{
    breaks.clear();
    if (!m_style.wordWrap || !m_parser || line < 0 || line >= m_view.GetLineCount())
        return;
    EnsureCacheSize();
    if (m_wrapWidth != WrapWidth()) {
        m_wrapWidth = WrapWidth();
        m_subLines.Fill(0, m_subLines.Size(), -1);
        m_wrapScan = 0;
    }
    int count = 0;
    m_view.WrapLine(line, WrapWidth(), &breaks, count);
    // Keep only increasing breaks inside the line.
    const int len = m_view.GetLineLength(line);
    int last = 0;
    std::vector<int> ok;
    for (int b : breaks)
        if (b > last && b < len)
            ok.push_back(last = b);
    breaks.swap(ok);
    m_subLines.Set(line, static_cast<int32_t>(breaks.size()) + 1);
}

int EdtLayoutCache::GetSubLines(int line)
{
    if (!m_style.wordWrap || !m_parser || line < 0 || line >= m_view.GetLineCount())
        return 1;
    ComputeSubLines(line);
    return std::max(1, static_cast<int>(m_subLines.Get(line)));
}

void EdtLayoutCache::ComputeSubLines(int line)
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
    m_view.WrapLine(line, m_wrapWidth, nullptr, count);
    m_subLines.Set(line, std::max(count, 0) + 1);
}

int EdtLayoutCache::GetSubLineCount()
{
    if (!m_style.wordWrap || !m_parser)
        return m_view.GetLineCount();
    EnsureCacheSize();
    return static_cast<int>(std::min<int64_t>(m_subLines.Total(), INT32_MAX));
}

int EdtLayoutCache::GetSubLineIndex(int line)
{
    if (!m_style.wordWrap || !m_parser)
        return std::clamp(line, 0, m_view.GetLineCount() - 1);
    line = std::clamp(line, 0, m_view.GetLineCount() - 1);
    EnsureCacheSize();
    return static_cast<int>(m_subLines.SumBefore(line));
}

void EdtLayoutCache::GetLineBySubLineIndex(int subLine, int& line, int& subInLine)
{
    if (!m_style.wordWrap || !m_parser) {
        line = std::clamp(subLine, 0, m_view.GetLineCount() - 1);
        subInLine = 0;
        return;
    }
    EnsureCacheSize();
    m_subLines.Find(subLine, line, subInLine);
}

void EdtLayoutCache::InvalidateLineCache(int from, int to)
{
    EnsureCacheSize();
    if (to == -1)
        to = m_view.GetLineCount() - 1;
    if (from > to)
        std::swap(from, to);
    m_subLines.Fill(from, to + 1, -1);
    m_wrapScan = std::min(m_wrapScan, std::max(from, 0));
    StartFiller();
}

uint32_t EdtLayoutCache::ParseLine(uint32_t cookie, int line, TextBlockList* blocks)
{
    if (blocks) {
        blocks->Reset();
        blocks->Append(0, EDT_CLR_TEXT);
    }
    EdtParseLineFn fn = m_view.GetCurrentTextType() ? m_view.GetCurrentTextType()->parser : nullptr;
    if (!fn)
        return 0;
    return fn({m_view.GetLineChars(line), size_t(m_view.GetLineLength(line))}, cookie, blocks);
}

uint32_t EdtLayoutCache::GetParseCookie(int line)
{
    if (line < 0)
        return 0;
    const int n = m_view.GetLineCount();
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

void EdtLayoutCache::StartFiller()
{
    if (m_slicePosted || !IsFillerBusy())
        return;
    m_slicePosted = true;
    QCoreApplication::postEvent(m_slicer.get(), new QEvent(FillerSliceEvent()), std::numeric_limits<int>::min());
}

bool EdtLayoutCache::IsFillerBusy() const
{
    const int n = m_view.GetLineCount();
    if (m_cookiesKnown < n || m_maxLength < 0 || m_lengthScan < n)
        return true;
    return m_style.wordWrap && m_parser && m_wrapScan < n;
}

// One slice from the event loop.  Everything posted before the slice has
// been handled; a paint that input of this same pass asked for (posted
// after the slice) is done first, so that a jump shows before the slice.
void EdtLayoutCache::OnFillerSlice()
{
    m_slicePosted = false;
    if (QWidget* window = m_view.window())
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
    if (g_sliceHook)
        g_sliceHook(m_view);
    if (RunFillerSlice(g_sliceBudgetMs))
        StartFiller();
}

void EdtLayoutCache::FinishFiller()
{
    while (RunFillerSlice(1000)) {
    }
}

bool EdtLayoutCache::RunFillerSlice(int budgetMs)
{
    QElapsedTimer t;
    t.start();
    const int n = m_view.GetLineCount();
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
            m_view.update();
        }
        if (t.elapsed() >= budgetMs)
            return true;
    }
    if (m_provisionalFrom != INT_MAX) {
        m_provisionalFrom = INT_MAX;
        m_view.update();
    }
    // 2. Expanded lengths and the maximum.
    bool grew = false;
    while (m_lengthScan < n) {
        const int stop = std::min(n, m_lengthScan + 1024);
        for (; m_lengthScan < stop; ++m_lengthScan) {
            const int len = m_view.GetLineActualLength(m_lengthScan);
            if (len > m_maxKnown) {
                m_maxKnown = len;
                grew = true;
            }
        }
        if (t.elapsed() >= budgetMs) {
            if (grew)
                m_view.Scroller().RecalcHorzScrollBar();
            return true;
        }
    }
    if (m_maxLength < 0 || grew) {
        m_maxLength = m_maxKnown;
        m_view.Scroller().RecalcHorzScrollBar();
    }
    // 3. Sub-lines of word wrap.
    if (m_style.wordWrap && m_parser) {
        const int before = m_view.GetSubLineCount();
        while (m_wrapScan < n) {
            const int stop = std::min(n, m_wrapScan + 256);
            for (; m_wrapScan < stop; ++m_wrapScan)
                ComputeSubLines(m_wrapScan);
            if (t.elapsed() >= budgetMs)
                break;
        }
        if (m_view.GetSubLineCount() != before) {
            m_pos.topSubLine = m_view.GetSubLineIndex(m_pos.topLine);
            m_view.Scroller().RecalcVertScrollBar();
            m_view.update();
        }
        if (m_wrapScan < n)
            return true;
    }
    return false;
}

size_t EdtLayoutCache::CacheMemoryBytes() const
{
    return m_cookies.capacity() * sizeof(uint32_t) + m_lengths.MemoryBytes() +
           m_subLines.MemoryBytes();
}

int EdtLayoutCache::GetMaxLineLength()
{
    if (m_maxLength >= 0)
        return m_maxLength;
    // Unknown: what is known so far; the filler completes it.
    StartFiller();
    const int top = m_view.GetLineActualLength(m_pos.topLine);
    m_maxKnown = std::max(m_maxKnown, top);
    return m_maxKnown;
}

// ------------------------------------------------------------ the view's functions that hand on to this part

int CEdtTextView::GetSubLineCount()
{
    return m_cache->GetSubLineCount();
}

int CEdtTextView::GetSubLineIndex(int line)
{
    return m_cache->GetSubLineIndex(line);
}

void CEdtTextView::GetLineBySubLineIndex(int subLine, int& line, int& subInLine)
{
    m_cache->GetLineBySubLineIndex(subLine, line, subInLine);
}

void CEdtTextView::InvalidateLineCache(int from, int to)
{
    m_cache->InvalidateLineCache(from, to);
}

uint32_t CEdtTextView::ParseLine(uint32_t cookie, int line, TextBlockList* blocks)
{
    return m_cache->ParseLine(cookie, line, blocks);
}

uint32_t CEdtTextView::GetParseCookie(int line)
{
    return m_cache->GetParseCookie(line);
}
