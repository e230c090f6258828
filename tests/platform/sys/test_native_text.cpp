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
