#pragma once
// The case conversions of the edit view's text commands.  Each maps every
// UTF-16 unit on its own, so the length never changes.

#include <string>
#include <string_view>

namespace edt {

std::u16string ToLowerText(std::u16string_view text);
std::u16string ToUpperText(std::u16string_view text);
// Lower-case letters become upper case, every other character lower case.
std::u16string SwapCaseText(std::u16string_view text);
// The first letter of each word upper case, the other letters lower case;
// white space starts a word.
std::u16string CapitalizeText(std::u16string_view text);
// The first letter of the text and of each sentence upper case, the other
// letters lower case; a "." followed by a character other than a digit
// starts a sentence.
std::u16string SentenceCaseText(std::u16string_view text);

} // namespace edt
