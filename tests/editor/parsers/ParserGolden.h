#pragma once
// Golden files of the line parsers: one case per line,
//   cookie in (hex) TAB line TAB runs TAB cookie out (hex)
// The line takes the escapes \t, \\ and \uXXXX; runs are "colour:length"
// separated by blanks (empty for no runs); lines starting with "#" are
// comments.  Each case starts a list with (0, 2), calls the parser, turns the
// blocks into runs (empty runs dropped, neighbouring runs of one colour
// merged) and compares runs and cookie; then calls the parser again without
// a list and compares the cookie.

#include "editor/parsers/EdtParser.h"

#include <string>
#include <string_view>
#include <vector>

namespace golden {

struct Run
{
    int colour;
    int length;
    bool operator==(const Run&) const = default;
};

// The runs of a block list over a line of the given length.
std::vector<Run> BlocksToRuns(const TextBlockList& blocks, int length);
std::string RunsToString(const std::vector<Run>& runs);

// Decodes a UTF-8 line with the escapes above; false on a bad escape.
bool DecodeLine(std::string_view utf8, std::u16string& line);

struct Result
{
    int cases = 0;
    std::vector<std::string> failures;  // one message per failing case
};

// Reads the file (a path below SW_FIXTURES) and checks every case.
Result CheckFile(const std::string& relativePath, EdtParseLineFn parser);

} // namespace golden
