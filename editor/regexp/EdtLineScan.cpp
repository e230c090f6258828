#include "editor/regexp/EdtLineScan.h"

#include <algorithm>

namespace edt {

LineScan::LineScan(const LineStore* store, const RegExp* re, uint32_t flags)
    : m_store(store && store->Size() > 0 && RegExpCanScan(re, flags) ? store : nullptr), m_re(re),
      m_flags(flags)
{
}

void LineScan::Grow()
{
    m_units = std::min(m_units * 2, kLongestRun);
}

void LineScan::Found(int lines, size_t units)
{
    // The next run about twice as long as the way to this find.
    m_units = std::clamp(2 * units, kShortestRun, kLongestRun);
    // Finds in most lines: the scan only adds to the engine's work.
    m_passed += lines;
    if (++m_found >= 64 && m_found * 4 > m_passed)
        m_store = nullptr;
}

int LineScan::Next(int line, int ch, int last, int& passed)
{
    const TextRun run = m_store->RunFrom(line, last, m_units);
    const char16_t* from = run.begin + std::min(size_t(std::max(ch, 0)), run.firstSize);
    const char16_t* hit = RegExpScan(m_re, from, run.end, m_flags);
    if (!hit) {
        Grow();
        passed = run.lines;
        m_passed += run.lines;
        return -1;
    }
    const int at = std::max(m_store->LineOfRun(run, hit), line);
    passed = at - line;
    Found(passed + 1, size_t(hit - run.begin));
    return at;
}

int LineScan::Previous(int line, int limit, int first, int& passed)
{
    const TextRun run = m_store->RunTo(line, first, m_units);
    const LineText& top = m_store->At(line).text;
    const char16_t* end = limit >= 0 && size_t(limit) < top.size() ? top.data() + limit : run.end;
    int found = -1;
    const char16_t* from = run.begin;
    while (from < end) {
        const char16_t* hit = RegExpScan(m_re, from, end, m_flags);
        if (!hit)
            break;
        found = m_store->LineOfRun(run, hit);
        if (found >= line)
            break;
        from = m_store->At(found + 1).text.data();
    }
    if (found < 0) {
        Grow();
        passed = run.lines;
        m_passed += run.lines;
        return -1;
    }
    passed = line - found;
    Found(passed + 1, size_t(run.end - m_store->At(found).text.data()));
    return found;
}

} // namespace edt
