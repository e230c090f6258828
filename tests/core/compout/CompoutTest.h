#pragma once
// Helpers of the compiler-output reader tests.

#include <cstdlib>
#include <string>

namespace compouttest {

// Widens an ASCII path (the fixture and temporary folders are ASCII).
inline std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

inline std::u16string Fixture(const std::string& name)
{
    const char* dir = std::getenv("SW_FIXTURES");
    return Wide(std::string(dir ? dir : "tests/fixtures") + "/compout/" + name);
}

} // namespace compouttest
