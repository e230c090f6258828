#pragma once
// The classes and simple case mappings of the UTF-16 units of the BMP as
// runs of units that share them (UnicodeCaseTables.cpp is generated; see
// docs/paths-and-codepages.md).  Used by UnicodeCase.cpp only.

#include <cstddef>
#include <cstdint>

namespace sys::detail {

struct CaseRun
{
    uint16_t first;   // the run's first unit; it lasts until the next run's
    uint8_t classes;  // sys::CharClass bits
    int32_t toUpper;  // upper case - unit (0: none in the BMP)
    int32_t toLower;  // lower case - unit
};

extern const CaseRun kCaseRuns[];
extern const size_t kCaseRunCount;

} // namespace sys::detail
