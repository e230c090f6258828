#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace sys;

namespace {

std::string AllBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

} // namespace

TEST(CodePage, EveryByteRoundTripsInEveryTable)
{
    for (unsigned cp : {437u, 850u, 852u, 866u, 1250u, 1251u, 1252u, 10000u, 10029u, 20127u,
                        28591u, 28592u}) {
        SCOPED_TRACE(cp);
        ASSERT_TRUE(IsValidCodePage(cp));
        std::u16string wide;
        ASSERT_TRUE(DecodeCodePage(cp, AllBytes(), wide));
        ASSERT_EQ(wide.size(), 256u);
        std::string back;
        bool lossy = true;
        ASSERT_TRUE(EncodeCodePage(cp, wide, back, &lossy));
        EXPECT_FALSE(lossy);
        EXPECT_EQ(back, AllBytes());
    }
}

TEST(CodePage, CentralEuropeanLettersOf1250)
{
    const std::pair<unsigned char, char16_t> pairs[] = {
        {0x8A, 0x0160}, {0x9A, 0x0161}, {0xE8, 0x010D}, {0xF8, 0x0159},
        {0xEC, 0x011B}, {0xF9, 0x016F}, {0x80, 0x20AC}, {0x41, u'A'}};
    for (auto [byte, unit] : pairs) {
        std::u16string wide;
        ASSERT_TRUE(DecodeCodePage(1250, std::string(1, static_cast<char>(byte)), wide));
        EXPECT_EQ(wide, std::u16string(1, unit)) << std::hex << int(byte);
        std::string narrow;
        ASSERT_TRUE(EncodeCodePage(1250, std::u16string(1, unit), narrow));
        EXPECT_EQ(narrow, std::string(1, static_cast<char>(byte)));
    }
    EXPECT_EQ(AnsiToWide("\x8A\xE8"), u"\u0160\u010D");
}

TEST(CodePage, UndefinedBytesMapToTheSameUnit)
{
    std::u16string wide;
    ASSERT_TRUE(DecodeCodePage(1252, "\x81\x8D\x8F\x90\x9D", wide));
    EXPECT_EQ(wide, u"\u0081\u008D\u008F\u0090\u009D");
    ASSERT_TRUE(DecodeCodePage(1250, "\x81\x83\x88\x90\x98", wide));
    EXPECT_EQ(wide, u"\u0081\u0083\u0088\u0090\u0098");
    // Other code pages use these units differently.
    ASSERT_TRUE(DecodeCodePage(852, "\x8A\x9F", wide));
    EXPECT_EQ(wide, u"\u0150\u010D");
    ASSERT_TRUE(DecodeCodePage(28592, "\xA9\xB9", wide));
    EXPECT_EQ(wide, u"\u0160\u0161");
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarksAndReportLoss)
{
    bool lossy = false;
    EXPECT_EQ(WideToAnsi(u"\u4E00", &lossy), "?");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(WideToAnsi(u"a\u0161b", &lossy), "a\x9A" "b");
    EXPECT_FALSE(lossy);
    // A surrogate pair is one character; a lone surrogate one "?" each.
    std::string out;
    ASSERT_TRUE(EncodeCodePage(1250, u"x\U0001F600y", out, &lossy));
    EXPECT_EQ(out, "x?y");
    EXPECT_TRUE(lossy);
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0xDC01, 0};
    ASSERT_TRUE(EncodeCodePage(1252, lone, out, &lossy));
    EXPECT_EQ(out, "a?b??");
    EXPECT_TRUE(lossy);
    const char16_t trailing[] = {u'z', 0xD83D, 0};
    ASSERT_TRUE(EncodeCodePage(437, trailing, out, &lossy));
    EXPECT_EQ(out, "z?");
    // The NUL character is a character.
    ASSERT_TRUE(EncodeCodePage(1250, std::u16string(2, u'\0'), out, &lossy));
    EXPECT_EQ(out, std::string(2, '\0'));
    EXPECT_FALSE(lossy);
}

TEST(CodePage, InvalidCodePageFailsWithEinval)
{
    EXPECT_FALSE(IsValidCodePage(0));
    EXPECT_FALSE(IsValidCodePage(1200));
    EXPECT_TRUE(IsValidCodePage(CP_UTF8));
    std::u16string wide = u"kept";
    std::string narrow = "kept";
    SetLastError(0);
    EXPECT_FALSE(DecodeCodePage(12345, "abc", wide));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EINVAL));
    SetLastError(0);
    bool lossy = true;
    EXPECT_FALSE(EncodeCodePage(99999, u"abc", narrow, &lossy));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EINVAL));
    EXPECT_FALSE(lossy);
}

TEST(CodePage, Utf8StrictAndLenient)
{
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16("P\xC5\x99\xC3\xAD" "klad \xF0\x9F\x98\x80", wide));
    EXPECT_EQ(wide, u"Příklad \U0001F600");
    std::string utf8;
    ASSERT_TRUE(Utf16ToUtf8(wide, utf8));
    EXPECT_EQ(utf8, "P\xC5\x99\xC3\xAD" "klad \xF0\x9F\x98\x80");

    // Invalid sequences: stray continuation, overlong, encoded surrogate,
    // above U+10FFFF, truncated, invalid lead bytes.
    const char* bad[] = {"a\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                         "\xE2\x82", "\xFF", "\xF5\x80\x80\x80"};
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        SetLastError(0);
        EXPECT_FALSE(Utf8ToUtf16(b, wide));
        EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EINVAL));
    }
    EXPECT_EQ(Utf8ToUtf16Lenient("a\x80" "b"), u"a\uFFFD" "b");
    EXPECT_EQ(Utf8ToUtf16Lenient("\xE2\x82" "x"), u"\uFFFDx"); // one per maximal part
    EXPECT_EQ(Utf8ToUtf16Lenient("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    std::u16string viaCp;
    ASSERT_TRUE(DecodeCodePage(CP_UTF8, "\xC3\xA9\xFF", viaCp));
    EXPECT_EQ(viaCp, u"\u00E9\uFFFD");

    const char16_t lone[] = {u'a', 0xDC00, u'b', 0};
    EXPECT_FALSE(Utf16ToUtf8(lone, utf8));
    EXPECT_EQ(Utf16ToUtf8Lenient(lone), "a\xEF\xBF\xBD" "b");
    bool lossy = false;
    ASSERT_TRUE(EncodeCodePage(CP_UTF8, lone, utf8, &lossy));
    EXPECT_EQ(utf8, "a?b");
    EXPECT_TRUE(lossy);
}

TEST(CodePage, LongTextsTakeTheSameRules)
{
    // Long enough for several blocks of the fast path; the loss sits late.
    std::u16string text(100000, u'\u0161');
    std::string out;
    bool lossy = true;
    ASSERT_TRUE(EncodeCodePage(1250, text, out, &lossy));
    EXPECT_EQ(out, std::string(100000, '\x9A'));
    EXPECT_FALSE(lossy);
    text[70000] = 0;
    text[90000] = 0xD83D;
    text[90001] = 0xDE00;
    ASSERT_TRUE(EncodeCodePage(1250, text, out, &lossy));
    ASSERT_EQ(out.size(), 99999u);
    EXPECT_EQ(out[70000], '\0');
    EXPECT_EQ(out[90000], '?');
    EXPECT_EQ(out[90001], '\x9A');
    EXPECT_TRUE(lossy);
    std::u16string back;
    ASSERT_TRUE(DecodeCodePage(1250, out, back));
    EXPECT_EQ(back.size(), out.size());
}
