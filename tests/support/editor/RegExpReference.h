#pragma once
// A straightforward reference for the editor's regular expressions:
// recursive descent parsing and recursive backtracking over the chain of
// nodes, with the abandoned-path rule.  Slow and meant for small inputs
// (expressions of a few dozen characters, texts of a few dozen characters).

#include <string_view>

namespace testsupport {

// Returns false when the expression does not compile.  Otherwise *matched
// tells whether a match was found and groups holds the 128 entries.
bool ReferenceSearch(std::u16string_view expression, std::u16string_view text, int start,
                     unsigned flags, bool* matched, int groups[128]);

} // namespace testsupport
