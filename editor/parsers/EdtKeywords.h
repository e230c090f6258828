#pragma once
// Keyword lists of the line parsers: null-terminated arrays of UTF-16 words
// in their stored order, duplicates and entries that can never match a word
// kept as they are.  Which parser uses which list, and with which case rule,
// is in docs/editor-sourcetypes.md.

extern const char16_t* const NcpDirectiveWords[];  // 9 words
extern const char16_t* const NcpAddressLetters[];  // 23 words
extern const char16_t* const CWordsA[];  // 109 words
extern const char16_t* const CWordsB[];  // 21 words
extern const char16_t* const JavaWordsA[];  // 50 words
extern const char16_t* const InstallShieldWordsA[];  // 44 words
extern const char16_t* const InstallShieldWordsB[];  // 30 words
extern const char16_t* const InstallShieldWordsC[];  // 15 words
extern const char16_t* const ResourcesWordsA[];  // 6 words
extern const char16_t* const ResourcesWordsB[];  // 2 words
extern const char16_t* const RexxWordsA[];  // 57 words
extern const char16_t* const RexxWordsB[];  // 10 words
extern const char16_t* const SqlWordsA[];  // 17 words
extern const char16_t* const SqlWordsB[];  // 10 words
extern const char16_t* const PythonWordsA[];  // 28 words
extern const char16_t* const PythonWordsB[];  // 37 words
extern const char16_t* const PythonWordsC[];  // 53 words
extern const char16_t* const ShellWordsA[];  // 28 words
extern const char16_t* const ShellWordsB[];  // 8 words
extern const char16_t* const PerlWordsA[];  // 222 words
extern const char16_t* const TclWordsA[];  // 14 words
extern const char16_t* const PascalWordsA[];  // 51 words
extern const char16_t* const BasicWordsA[];  // 159 words
extern const char16_t* const FortranWordsA[];  // 205 words
extern const char16_t* const DclWordsA[];  // 20 words
extern const char16_t* const DclWordsB[];  // 18 words
extern const char16_t* const DclWordsC[];  // 31 words
extern const char16_t* const AutoLispWordsA[];  // 226 words
extern const char16_t* const SiodWordsA[];  // 70 words
extern const char16_t* const SiodWordsB[];  // 9 words
extern const char16_t* const SiodWordsC[];  // 203 words
extern const char16_t* const BatchWordsA[];  // 93 words
extern const char16_t* const BatchWordsB[];  // 66 words
extern const char16_t* const HtmlTags[];  // 77 words
extern const char16_t* const HtmlAttributes[];  // 57 words
extern const char16_t* const HtmlEntities[];  // 101 words
extern const char16_t* const SgmlTags[];  // 55 words
extern const char16_t* const SgmlAttributes[];  // 4 words
extern const char16_t* const PhpKeywords[];  // 51 words
extern const char16_t* const PhpOperatorWords[];  // 3 words
extern const char16_t* const PhpConstants[];  // 2 words
extern const char16_t* const TexWords[];  // 521 words
extern const char16_t* const LatexWords[];  // 291 words
