#pragma once
// Hooks of the regular-expression engine for its tests and benchmarks:
// the plain simulation as the reference of the fast path, the cache budget
// of the automata and counters of the paths taken.

#include "editor/regexp/EdtRegExp.h"

#include <cstddef>
#include <cstdint>

// The search by the simulation alone (the leading-literal skipping, then
// all paths at once), without automata or prefilter literals.  Same
// arguments and results as RegExpSearch.
bool RegExpSearchSimulated(const RegExp* compiled, const char16_t* text, int length, int start,
                           int groups[REGEXP_GROUP_ENTRIES], uint32_t flags);

// RegExpSearchLast by the sweep of anchored runs alone (on: without the
// scan of the reversed graph first), so that tests reach it on short texts.
void RegExpSetLastBySweep(bool on);

// The cache budget, in bytes, of the automata of expressions whose first
// search comes after this call (0: the default of 2 MB per expression).
void RegExpSetAutomatonBudget(size_t bytes);

// Counters of the calling thread's searches.
struct RegExpPathStats
{
    uint64_t automaton = 0;   // answered by the automata (and the simulation at one start)
    uint64_t prefiltered = 0; // rejected because a literal is missing
    uint64_t fallbacks = 0;   // answered by the simulation alone
    uint64_t resets = 0;      // cache resets
    uint64_t mismatches = 0;  // the automata named a start without a match (a fault)
    uint64_t steps = 0;       // characters stepped over by the automata and the simulation
};
RegExpPathStats& RegExpStats();

// Bytes held by the automaton caches of a compiled expression.
size_t RegExpAutomatonMemory(const RegExp* compiled);
