// The character classes and case mappings that the regular-expression
// engine takes from platform/sys, against Qt's over every UTF-16 unit of
// the BMP: the Qt-free tables must classify and fold exactly as the
// toolkit does, so that a search matches the same text as the rest of the
// editor sees it.

#include "platform/sys/UnicodeCase.h"

#include <QChar>
#include <gtest/gtest.h>


namespace {

struct Expected
{
    uint8_t classes = 0;
    char16_t upper = 0;
    char16_t lower = 0;
};

Expected FromQt(char16_t c)
{
    Expected e{0, c, c};
    if (c >= 0xD800 && c <= 0xDFFF)
        return e;
    const char32_t u = QChar::toUpper(char32_t(c));
    const char32_t l = QChar::toLower(char32_t(c));
    if (u <= 0xFFFF)
        e.upper = char16_t(u);
    if (l <= 0xFFFF)
        e.lower = char16_t(l);
    if (QChar::isUpper(char32_t(c)))
        e.classes |= sys::kCharUpper;
    if (QChar::isLower(char32_t(c)))
        e.classes |= sys::kCharLower;
    if (QChar::isDigit(char32_t(c)))
        e.classes |= sys::kCharDigit;
    if (QChar::isLetter(char32_t(c)))
        e.classes |= sys::kCharLetter;
    return e;
}

TEST(CharClasses, EveryBmpUnitAsQtHasIt)
{
    int wrong = 0;
    for (uint32_t u = 0; u < 0x10000; ++u) {
        const char16_t c = char16_t(u);
        const Expected e = FromQt(c);
        const uint8_t classes = sys::CharClasses(c);
        const char16_t upper = sys::ToUpperUnit(c);
        const char16_t lower = sys::ToLowerUnit(c);
        if (classes != e.classes || upper != e.upper || lower != e.lower) {
            if (++wrong <= 20)
                ADD_FAILURE() << std::hex << "U+" << u << ": classes " << int(classes) << " upper "
                              << int(upper) << " lower " << int(lower) << ", Qt: classes "
                              << int(e.classes) << " upper " << int(e.upper) << " lower "
                              << int(e.lower);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(CharClasses, KnownUnits)
{
    // A few units whose folding a search relies on, named so that a
    // regenerated table that shifts by a run shows here first.
    EXPECT_EQ(sys::ToUpperUnit(u'a'), u'A');
    EXPECT_EQ(sys::ToLowerUnit(u'\u010C'), u'\u010D');   // Č č
    EXPECT_EQ(sys::ToUpperUnit(u'\u017E'), u'\u017D');   // ž Ž
    EXPECT_EQ(sys::ToUpperUnit(u'\u00DF'), u'\u00DF');   // ß has no one-unit upper case
    EXPECT_EQ(sys::ToUpperUnit(u'\u0451'), u'\u0401');   // ё Ё
    EXPECT_EQ(sys::ToUpperUnit(char16_t(0xD800)), char16_t(0xD800));   // a surrogate maps to itself
    EXPECT_EQ(sys::CharClasses(char16_t(0xD800)), 0);
    EXPECT_EQ(sys::CharClasses(u'7'), sys::kCharDigit);
    EXPECT_EQ(sys::CharClasses(u'\u0661'), sys::kCharDigit);   // Arabic-Indic one
    EXPECT_EQ(sys::CharClasses(u'\u4E2D'), sys::kCharLetter);  // a CJK ideograph
    EXPECT_EQ(sys::CharClasses(u'\uFFFF'), 0);
}

} // namespace
