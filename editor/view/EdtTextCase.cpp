#include "editor/view/EdtTextCase.h"

#include <QChar>

namespace edt {

std::u16string ToLowerText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = QChar::toLower(c);
    return out;
}

std::u16string ToUpperText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = QChar::toUpper(c);
    return out;
}

std::u16string SwapCaseText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = QChar::isLower(c) ? QChar::toUpper(c) : QChar::toLower(c);
    return out;
}

std::u16string CapitalizeText(std::u16string_view text)
{
    std::u16string out(text);
    bool start = true;
    for (char16_t& c : out) {
        if (QChar::isSpace(c)) {
            start = true;
        } else if (QChar::isLetter(c)) {
            c = start ? QChar::toUpper(c) : QChar::toLower(c);
            start = false;
        }
    }
    return out;
}

std::u16string SentenceCaseText(std::u16string_view text)
{
    std::u16string out(text);
    bool start = true;
    for (size_t i = 0; i < out.size(); ++i) {
        char16_t& c = out[i];
        if (c == u'.') {
            if (i + 1 < out.size() && !QChar::isDigit(out[i + 1]))
                start = true;
        } else if (QChar::isLetter(c)) {
            c = start ? QChar::toUpper(c) : QChar::toLower(c);
            start = false;
        }
    }
    return out;
}

} // namespace edt
