#pragma once
// The candidate lines of a regular-expression search over many lines of a
// line store (see docs/editor-regexp.md, "Searching many lines").

#include "editor/buffer/EdtLineStore.h"
#include "editor/regexp/EdtRegExp.h"

#include <cstddef>
#include <cstdint>

namespace edt {

// The candidate lines of a regular-expression search over many lines: the
// buffer's memory is scanned, a run of lines at a time, for the literals
// one of which every match contains; only the lines where one stands go
// to the engine.  A run grows while nothing is found (a few kilobytes
// first, so that a search whose match is near stays cheap) and after a
// find is about twice as long as the way to it.  When most lines hold a
// literal, the scan ends itself (Active() turns false): the engine alone
// is then quicker.
class LineScan
{
public:
    // Active only for a store with lines and an expression with literals
    // (RegExpCanScan); flags: those of RegExpSearch.
    LineScan(const LineStore* store, const RegExp* re, uint32_t flags);
    bool Active() const { return m_store != nullptr; }

    // Downwards from line (from ch on) to last, one run: the first line
    // where a literal stands, or -1; passed: the lines before it (all of
    // the run's when -1).
    int Next(int line, int ch, int last, int& passed);

    // Upwards from line (before limit there, -1 no limit) down to first,
    // one run: the last line where a literal stands, or -1; passed: the
    // lines after it (all of the run's when -1).
    int Previous(int line, int limit, int first, int& passed);

private:
    static constexpr size_t kFirstRun = 4096;
    static constexpr size_t kShortestRun = 256;
    static constexpr size_t kLongestRun = size_t(1) << 20;
    void Grow();
    void Found(int lines, size_t units);

    const LineStore* m_store;
    const RegExp* m_re;
    uint32_t m_flags;
    size_t m_units = kFirstRun;
    int64_t m_passed = 0; // lines looked at
    int64_t m_found = 0;  // lines named
};

} // namespace edt
