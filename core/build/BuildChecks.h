#pragma once
// The pure parts of the conditional build, the clean and the compiler
// version update.  See docs/build.md.

#include "platform/sys/Time.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace core {

// The names of the sub-folders of a native folder (links to folders count;
// "." and ".." do not).  Empty when it cannot be listed.
std::vector<std::u16string> ListSubfolders(const std::string& nativeFolder);

// The highest "Pelmar<1-4 digits>" folder number above `current`, names
// compared without regard to case.
std::optional<int> NewestPelmarVersion(const std::vector<std::u16string>& folders, int current);
// The highest "PLC<major digit><1-3 minor digits>" above (major, minor),
// compared major first.
std::optional<std::pair<int, int>> NewestPlcVersion(const std::vector<std::u16string>& folders,
                                                    int major, int minor);

// The settings time (whole seconds since 1970) as the last instant of its
// second, so that an output of the same second counts as older.
sys::FileTime SettingsTimeInstant(int64_t seconds);
// An output is current when it exists and is not older than the newest input.
bool OutputIsCurrent(const std::optional<sys::FileTime>& output, sys::FileTime newestInput);

// The file names of "PLCBIN.txt" (already converted from code page 1250):
// per line, blanks and control characters skipped, then a name in double
// quotes (to the next quote, CR or LF) or up to the next character of code
// 32 or below; the rest of the line is skipped.  Empty names are left out.
std::vector<std::u16string> ParsePlcBinNames(std::u16string_view text);

// One pair of "PLCBIN.txt": a file of the output folder and its place on
// the control system, relative to the root.
struct PlcBinPair
{
    std::u16string source;
    std::u16string destination; // empty when the line named no destination
    bool operator==(const PlcBinPair&) const = default;
};
// The pairs of "PLCBIN.txt" for the cassette software install (the text
// already converted from code page 1250).  A name is a run of characters
// above the blank, or a text in double quotes ending at the closing quote,
// CR or LF.  Blanks (not CR or LF) separate the two names of a pair; any
// run of characters up to the blank, line ends included, separates pairs,
// so one line may hold two pairs.  A destination loses one leading "\"
// (in the quoted form: one right after the opening quote).  A line with
// one name gives a pair without destination; an empty source name gives
// no pair.
std::vector<PlcBinPair> ParsePlcBinPairs(std::u16string_view text);

} // namespace core
