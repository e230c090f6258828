// The size of a benchmark's input: the full one of its figures, or a small
// one when SW_BENCH_SMALL is set.  The test build runs every benchmark once
// that way (the ctest tests bench_run_<program>), to show that each one
// still runs and ends with status 0; its figures mean nothing then.
#pragma once

#include <cstdlib>

namespace bench {

inline bool Small()
{
    static const bool small = std::getenv("SW_BENCH_SMALL") != nullptr;
    return small;
}

// `full` normally, `small` in the smoke run.
template <class T>
T Size(T full, T small)
{
    return Small() ? small : full;
}

} // namespace bench
