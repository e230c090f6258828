#include "platform/sys/UnicodeCase.h"

#include "platform/sys/UnicodeCaseTables.h"

#include <algorithm>

namespace sys {

namespace {

const detail::CaseRun& RunOf(char16_t c)
{
    // The last run that starts at or before c; the first run starts at 0.
    const detail::CaseRun* end = detail::kCaseRuns + detail::kCaseRunCount;
    const detail::CaseRun* it = std::upper_bound(
        detail::kCaseRuns, end, c,
        [](char16_t u, const detail::CaseRun& r) { return u < r.first; });
    return *(it - 1);
}

} // namespace

uint8_t CharClasses(char16_t c)
{
    return RunOf(c).classes;
}

char16_t ToUpperUnit(char16_t c)
{
    return char16_t(int32_t(c) + RunOf(c).toUpper);
}

char16_t ToLowerUnit(char16_t c)
{
    return char16_t(int32_t(c) + RunOf(c).toLower);
}

} // namespace sys
