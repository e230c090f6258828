#pragma once
// The editor's own regular expressions over UTF-16 text (see
// docs/editor-regexp.md for the dialect and the matching rules).
//
// Compiling and searching keep all their working state per call or in the
// compiled object: one compiled expression serves one search at a time,
// different ones may be used on different threads.  Matching runs in time
// proportional to text length x expression length and never recurses on
// the text.  A compiled expression keeps the automata its first search
// builds (their cache at most 2 MB, 4 MB with RegExpSearchLast) until
// RegExpFree.

#include <cstdint>
#include <string>
#include <string_view>

struct RegExp; // opaque compiled expression

// Flags of RegExpSearch.
constexpr uint32_t REGEXP_CASE_SENSITIVE = 0x1;

// Number of entries of a group array: 0-63 the starts of groups 0-63,
// 64-127 their ends; -1 = the group did not take part.
constexpr int REGEXP_GROUP_ENTRIES = 128;
constexpr int REGEXP_MAX_GROUPS = 64;

// The compiled expression, or nullptr when the expression is empty,
// malformed, too large (longer than 65,535 characters, more than 63
// capturing groups, brackets nested deeper than 256) or memory ran out.
RegExp* RegExpCompile(std::u16string_view expression);
void RegExpFree(RegExp* compiled);

// Searches text[0..length) from start on for the leftmost match.  Fills all
// 128 group entries (all -1 when nothing is found).  A null expression, a
// negative length or a start outside 0..length finds nothing.
bool RegExpSearch(const RegExp* compiled, const char16_t* text, int length, int start,
                  int groups[REGEXP_GROUP_ENTRIES], uint32_t flags);

// The last match that searches from `from` on find when each one starts
// one position after the start of the match before, among those that end
// at or before limit (limit above length: length): the match at the
// highest start in from..limit whose match (the one RegExpSearch from that
// start finds) ends at or before limit, with its groups as RegExpSearch
// gives them.  The time grows with the way from limit down to that start
// (and, per state of the automaton alive at limit, the way on to where no
// path is left), not with the number of matches before it.  Same
// arguments otherwise as RegExpSearch.
bool RegExpSearchLast(const RegExp* compiled, const char16_t* text, int length, int from,
                      int limit, int groups[REGEXP_GROUP_ENTRIES], uint32_t flags);

// The scan of large texts (many lines in one piece of memory) for the
// places where a match may lie: the literals one of which every match
// contains, compared in the case mode of the flags (through upper case
// when the expression holds \C or \c).  RegExpCanScan: whether the
// expression has such literals.  RegExpScan: the first place in
// [begin, end) where one of them begins and ends before end, or nullptr;
// a line holding none holds no match.  Same rule of one search at a time
// per compiled expression as RegExpSearch.
bool RegExpCanScan(const RegExp* compiled, uint32_t flags);
const char16_t* RegExpScan(const RegExp* compiled, const char16_t* begin, const char16_t* end,
                           uint32_t flags);

// Builds the replacement text for a match of text (length characters) with
// the given groups.  Returns 0 with the result, or -1 with an empty result
// (a group that did not take part or lies outside the text, a malformed
// number, a final backslash).
int RegExpSubstitute(std::u16string_view replacement, const char16_t* text, int length,
                     const int groups[REGEXP_GROUP_ENTRIES], std::u16string& result);
