#include "platform/sys/NativeText.h"

#include "platform/sys/LastError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

using namespace sys;

// Every one- and two-byte name, and the names around them, come back byte
// for byte; two different names never give the same text.
TEST(NativeText, EveryByteComesBackAndNoTwoNamesMeet)
{
    std::map<std::u16string, std::string> seen;
    for (unsigned a = 1; a < 256; ++a)
        for (unsigned b = 0; b < 256; ++b) {
            std::string bytes = "x";
            bytes += char(a);
            if (b)
                bytes += char(b);
            bytes += ".t";
            const std::u16string text = NativeToText(bytes);
            std::string back;
            ASSERT_TRUE(TextToNative(text, back)) << a << " " << b;
            ASSERT_EQ(back, bytes);
            const auto [it, fresh] = seen.emplace(text, bytes);
            ASSERT_TRUE(fresh) << "two names, one text: " << a << " " << b;
        }
    // The look-alikes: Latin-1 "é" and the UTF-8 of U+FFFD.
    EXPECT_EQ(NativeToText("caf\xE9.txt"), u"caf\xDCE9.txt");
    EXPECT_EQ(NativeToText("caf\xEF\xBF\xBD.txt"), u"caf\uFFFD.txt");
    EXPECT_EQ(NativeToText("\xF0\x9F\x98\x80\xED\xA0\x80"), u"😀\xDCED\xDCA0\xDC80"); // a surrogate's bytes
    EXPECT_EQ(NativeOf(u"Řízení😀"), "Řízení😀");
}

// Text that no bytes give is refused, never written as something else.
TEST(NativeText, TextNoBytesGiveIsRefused)
{
    const std::u16string bad[] = {
        std::u16string(u"a\0b", 3),  // a NUL
        u"a\xD800",                  // a lone high surrogate
        u"a\xDC10",                  // a lone low surrogate that is no escape
        u"\xDCC3\xDCA9",             // escapes that spell "é"
        u"\xDC41",                   // never the escape of a byte below 0x80
    };
    for (const std::u16string& t : bad) {
        std::string out = "old";
        SetLastError(0);
        EXPECT_FALSE(TextToNative(t, out));
        EXPECT_EQ(out, "");
        EXPECT_EQ(GetLastError(), uint32_t(EILSEQ));
        EXPECT_EQ(NativeOf(t), "");
    }
}

TEST(NativeText, ShownTextMarksTheBytes)
{
    EXPECT_EQ(ShownNativeText(NativeToText("caf\xE9.txt")), u"caf\\xE9.txt");
    EXPECT_EQ(ShownNativeText(NativeToText("\x80\xFF")), u"\\x80\\xFF");
    EXPECT_EQ(ShownNativeText(u"caf\uFFFD.txt"), u"caf\uFFFD.txt");
    EXPECT_FALSE(HasNativeByteEscape(u"caf\uFFFD.txt😀"));
    EXPECT_TRUE(HasNativeByteEscape(NativeToText("\xC3")));
}

// A character beyond U+FFFF is a surrogate pair; its second half may lie in
// the escapes' range (U+1F480 is D83D DC80) and is still no byte: one
// character in eight above U+FFFF would otherwise show as half a character
// and "\x80".
TEST(NativeText, CharactersBeyondTheBmpShowAsThemselves)
{
    const std::u16string skull = NativeToText("\xF0\x9F\x92\x80.txt");
    ASSERT_EQ(skull, u"💀.txt");
    EXPECT_EQ(skull[1], u'\xDC80');
    EXPECT_FALSE(HasNativeByteEscape(skull));
    EXPECT_EQ(ShownNativeText(skull), u"💀.txt");
    // Every character from U+10000 up whose second half is in that range.
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += 0x400) {
        const char32_t first = c + 0x80; // its second half is DC80
        const std::u16string t = {char16_t(0xD800 + ((first - 0x10000) >> 10)),
                                  char16_t(0xDC00 + ((first - 0x10000) & 0x3FF))};
        ASSERT_EQ(ShownNativeText(t), t) << unsigned(first);
    }
    // A byte that is no UTF-8 right after such a character is still marked.
    const std::u16string both = NativeToText("\xF0\x9F\x92\x80\xE9");
    EXPECT_TRUE(HasNativeByteEscape(both));
    EXPECT_EQ(ShownNativeText(both), u"💀\\xE9");
    EXPECT_EQ(NativeOf(both), "\xF0\x9F\x92\x80\xE9");
}

// A name typed as it is shown stands for its bytes again; other
// backslashes stay as they are.
TEST(NativeText, ShownTextReadsBack)
{
    for (const char* bytes : {"caf\xE9.txt", "\x80\xFF", "a\\xZZ\xE9", "\xF0\x9F\x92\x80\xE9"}) {
        const std::u16string text = NativeToText(bytes);
        EXPECT_EQ(UnmarkedNativeText(ShownNativeText(text)), text) << bytes;
    }
    EXPECT_EQ(UnmarkedNativeText(u"caf\\xe9.txt"), NativeToText("caf\xE9.txt"));
    EXPECT_EQ(UnmarkedNativeText(u"a\\x41\\x7F\\x\\xE"), u"a\\x41\\x7F\\x\\xE"); // no byte of 80-FF
}
