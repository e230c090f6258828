#include "platform/sys/Format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

using sys::Format;
using sys::FormatA;
using sys::FormatMessage;

TEST(Format, WidthAndZeroPadding)
{
    EXPECT_EQ(Format(u"%04d", 632), u"0632");
    EXPECT_EQ(Format(u"%01d%03d", 6, 349), u"6349");
    EXPECT_EQ(Format(u"%5d|%-5d|%05d", 42, 42, -42), u"   42|42   |-0042");
    EXPECT_EQ(Format(u"%+d % d %+d", 5, 5, -5), u"+5  5 -5");
    EXPECT_EQ(Format(u"%.3d|%6.3d|%06.3d", 7, 7, 7), u"007|   007|   007");
    EXPECT_EQ(Format(u"%.0d|", 0), u"|");
    EXPECT_EQ(Format(u"%*d|%-*d|%*d", 4, 1, 3, 2, -3, 3), u"   1|2  |3  ");
    EXPECT_EQ(Format(u"%.*s", 2, u"abcdef"), u"ab");
    EXPECT_EQ(Format(u"%.*s", -1, u"abc"), u"abc"); // a negative precision is none
    EXPECT_EQ(Format(u"%-6s|%6s|", u"ab", u"cd"), u"ab    |    cd|");
}

TEST(Format, IntegerConversionsAndSizes)
{
    EXPECT_EQ(Format(u"%x %X %#x %#X %o %#o", 255, 255, 255, 255, 8, 8), u"ff FF 0xff 0XFF 10 010");
    EXPECT_EQ(Format(u"%#x", 0), u"0");
    EXPECT_EQ(Format(u"%08x", 0xBEEFu), u"0000beef");
    EXPECT_EQ(Format(u"%u", -1), u"4294967295");
    EXPECT_EQ(Format(u"%x", -1), u"ffffffff");
    EXPECT_EQ(Format(u"%d", 0xFFFFFFFFu), u"-1");
    EXPECT_EQ(Format(u"%i", INT_MIN), u"-2147483648");
    EXPECT_EQ(Format(u"%I64d", INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(Format(u"%I64u", UINT64_MAX), u"18446744073709551615");
    EXPECT_EQ(Format(u"%I64x|%016I64x", uint64_t(0x123456789ABCDEFull), uint64_t(1)),
              u"123456789abcdef|0000000000000001");
    EXPECT_EQ(Format(u"%I64d", -1), u"-1"); // a narrower argument is widened by value
    EXPECT_EQ(Format(u"%d", int64_t(5000000000)), u"5000000000"); // no size: the argument's own
    EXPECT_EQ(Format(u"%hd %hu %hx", 70000, 65535, 0x12345), u"4464 65535 2345");
    EXPECT_EQ(Format(u"%ld %lu", 7L, 8UL), u"7 8");
    EXPECT_EQ(Format(u"%hhu", 257), u"1");
    EXPECT_EQ(Format(u"%d %d", true, uint8_t(200)), u"1 200");
}

TEST(Format, CharsAndPercent)
{
    EXPECT_EQ(Format(u"100%%"), u"100%");
    EXPECT_EQ(Format(u"%c%c%c", u'ř', 'A', 0x161), u"řAš");
    EXPECT_EQ(Format(u"%C", 0x9A), u"š"); // a narrow char is in the ANSI code page
    EXPECT_EQ(Format(u"%hc", 0xE8), u"č");
    EXPECT_EQ(Format(u"%3c|%-3c|", u'x', u'y'), u"  x|y  |");
    EXPECT_EQ(Format(u"% %"), u"%");
}

TEST(Format, StringsKeptExactly)
{
    EXPECT_EQ(Format(u"Chyba: %s", u"Nepodařilo se připojit"), u"Chyba: Nepodařilo se připojit");
    std::u16string s = u"Žluťoučký kůň";
    EXPECT_EQ(Format(u"[%s]", s), u"[Žluťoučký kůň]");
    EXPECT_EQ(Format(u"[%ls|%ws]", std::u16string_view(s), s), u"[Žluťoučký kůň|Žluťoučký kůň]");
    // 8-bit strings are ANSI (1250) bytes.
    EXPECT_EQ(Format(u"%hs|%S|%s", "\x8A\x9A\xE8", std::string("\xF8\xEC\xF9"), "ok"),
              u"Ššč|řěů|ok");
    EXPECT_EQ(Format(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    EXPECT_EQ(Format(u"%s", u""), u"");
}

TEST(Format, MissingArgumentsFormatAsNothing)
{
    EXPECT_EQ(Format(u"%s"), u"");
    EXPECT_EQ(Format(u"a%sb%dc%5dd%xe%fg%c"), u"abcdeg");
    EXPECT_EQ(Format(u"%d-%d-%d", 1), u"1--");
    EXPECT_EQ(Format(u"%*d", 5), u""); // width taken, value missing
    EXPECT_EQ(Format(u"%n|%d", 1, 2), u"|2"); // %n never writes anywhere
}

TEST(Format, MismatchedTypesAreConverted)
{
    EXPECT_EQ(Format(u"%s", 42), u"42");
    EXPECT_EQ(Format(u"%s|%s", -7, 18446744073709551615ull), u"-7|18446744073709551615");
    EXPECT_EQ(Format(u"%s", 1.5), u"1.5");
    EXPECT_EQ(Format(u"%d", u"text"), u"text");
    EXPECT_EQ(Format(u"%d", 3.9), u"3");
    EXPECT_EQ(Format(u"%f", 2), u"2.000000");
    EXPECT_EQ(Format(u"%d", u'A'), u"65");
}

TEST(Format, FloatingPoint)
{
    EXPECT_EQ(Format(u"%f|%.2f|%lf", 1.5, 3.14159, 0.25), u"1.500000|3.14|0.250000");
    EXPECT_EQ(Format(u"%8.3f|%-8.1f|%08.2f", 3.14159, 2.0, -1.5), u"   3.142|2.0     |-0001.50");
    EXPECT_EQ(Format(u"%e|%E", 12345.678, 0.5), u"1.234568e+04|5.000000E-01");
    EXPECT_EQ(Format(u"%g|%g|%G", 0.0001, 1e20, 1e-20), u"0.0001|1e+20|1E-20");
    EXPECT_EQ(Format(u"%+.1f", 2.0), u"+2.0");
}

TEST(Format, UnknownDirectivesAreKept)
{
    EXPECT_EQ(Format(u"%q %d", 1), u"%q 1");
    EXPECT_EQ(Format(u"end %", 1), u"end %");
    EXPECT_EQ(Format(u"end %-5", 1), u"end %-5");
    EXPECT_EQ(Format(u"%ř", 1), u"%ř");
}

TEST(Format, HugeWidthIsBounded)
{
    std::u16string s = Format(u"%99999999999d", 1);
    EXPECT_LE(s.size(), 32767u);
    EXPECT_EQ(s.back(), u'1');
}

TEST(FormatA, EightBitText)
{
    EXPECT_EQ(FormatA("ProjectFormatVersion = %d", 6), "ProjectFormatVersion = 6");
    EXPECT_EQ(FormatA("%s = %s", "Key", std::string("\xE8\xF8")), "Key = \xE8\xF8");
    // UTF-16 arguments are written in the ANSI code page, "?" where it has no character.
    EXPECT_EQ(FormatA("%s|%ls|%c", u"Šč一", std::u16string(u"ř"), u'ů'), "\x8A\xE8?|\xF8|\xF9");
    EXPECT_EQ(FormatA("%-4s|%04X|%I64u", "a", 0xAB, uint64_t(1) << 40), "a   |00AB|1099511627776");
    EXPECT_EQ(FormatA("%s"), "");
}

TEST(FormatMessage, NumberedInserts)
{
    EXPECT_EQ(FormatMessage(u"%1 was not found.", u"C:\\p\\x.kxw"), u"C:\\p\\x.kxw was not found.");
    EXPECT_EQ(FormatMessage(u"Zadejte prosím celé číslo v rozsahu od %1 do %2.", 0, 65535),
              u"Zadejte prosím celé číslo v rozsahu od 0 do 65535.");
    EXPECT_EQ(FormatMessage(u"%2 before %1, %1 again", u"one", u"two"), u"two before one, one again");
    EXPECT_EQ(FormatMessage(u"[%3]", u"a", u"b"), u"[]");
    EXPECT_EQ(FormatMessage(u"%1!04d!-%2!x!-%1!s!", 7, 255), u"0007-ff-7");
    EXPECT_EQ(FormatMessage(u"100%% %0 %a %"), u"100% %0 %a %");
    EXPECT_EQ(FormatMessage(u"%1!d", 5), u"5!d"); // an unclosed spec is text
    EXPECT_EQ(FormatMessage(u"%1", u"%2 stays"), u"%2 stays"); // inserts are not rescanned
}
