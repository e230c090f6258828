#pragma once
// Wildcard patterns as the source-type table matches file extensions with
// them (see docs/editor-regexp.md):  * any run, ? one character, [set] with
// ranges and a leading ! for "not in the set", ` makes the next character
// literal, ! outside a set inverts the match of the rest, character 26
// matches any run without a full stop.  Letters A-Z are compared lowered.

#include <string_view>

bool IsWildcardPatternValid(std::u16string_view pattern);
// Matches in time proportional to pattern length x string length.  An
// invalid pattern matches nothing.
bool MatchWildcard(std::u16string_view pattern, std::u16string_view string);
// Checks validity first; an empty string matches only the empty pattern.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view string);
