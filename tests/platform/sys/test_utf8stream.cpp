// UTF-8 in pieces: the check agrees with the strict whole-string decoder,
// the decoder gives the same characters however the bytes are cut, and
// every byte of any input comes back from the encoder.

#include "platform/sys/CodePage.h"
#include "platform/sys/Utf8Stream.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const unsigned char* Bytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Decodes s cut into pieces at the given offsets.
std::u16string DecodeInPieces(const std::string& s, const std::vector<size_t>& cuts,
                              bool* escaped = nullptr, bool* multiByte = nullptr)
{
    sys::Utf8StreamDecoder d;
    std::u16string out;
    size_t from = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t to = i < cuts.size() ? cuts[i] : s.size();
        std::u16string part(sys::Utf8StreamDecoder::Room(to - from), u'\0');
        part.resize(d.Decode(Bytes(s) + from, to - from, i == cuts.size(), part.data()));
        out += part;
        from = to;
    }
    if (escaped)
        *escaped = d.Escaped();
    if (multiByte)
        *multiByte = d.HasMultiByte();
    return out;
}

std::string Encode(const std::u16string& text)
{
    std::string out;
    sys::AppendUtf8Escaped(text, out);
    return out;
}

// Random bytes that are mostly UTF-8: whole characters of every length,
// with now and then a stray, cut or otherwise invalid byte.
std::string RandomUtf8ish(std::mt19937& gen, size_t length)
{
    static const std::vector<std::string> pieces = {"a",
                                                    "Z",
                                                    "\n",
                                                    "\xC4\x8D",
                                                    "\xC5\xBD",
                                                    "\xE2\x86\x92",
                                                    "\xE6\xBC\xA2",
                                                    "\xF0\x9F\x98\x80",
                                                    "\xEF\xBB\xBF",
                                                    "\xC3",
                                                    "\x80",
                                                    "\xE2\x86",
                                                    "\xED\xA0\x80",
                                                    "\xC0\xAF",
                                                    "\xF4\x90\x80\x80",
                                                    "\xFF",
                                                    "\xF0\x9F"};
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> valid(0, 9);
    std::string s;
    while (s.size() < length) {
        size_t p = pick(gen);
        if (p >= 9 && valid(gen) != 0)
            p %= 9; // invalid parts are rare
        s += pieces[p];
    }
    return s;
}

} // namespace

TEST(Utf8Stream, CheckAgreesWithTheStrictDecoder)
{
    std::mt19937 gen(48);
    std::uniform_int_distribution<size_t> len(0, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        std::string s = round % 2 ? RandomUtf8ish(gen, len(gen)) : std::string();
        if (round % 2 == 0)
            for (size_t i = len(gen) / 4; i > 0; --i)
                s += static_cast<char>(byte(gen));
        std::u16string whole;
        const bool strict = sys::Utf8ToUtf16(s, whole);
        // Fed a byte at a time and all at once.
        sys::Utf8Check one, all;
        for (char c : s)
            one.Feed(reinterpret_cast<const unsigned char*>(&c), 1);
        all.Feed(Bytes(s), s.size());
        ASSERT_EQ(one.Valid(), strict) << testing::PrintToString(s);
        ASSERT_EQ(all.Valid(), strict) << testing::PrintToString(s);
        if (strict) {
            bool multi = false;
            for (char c : s)
                multi = multi || static_cast<unsigned char>(c) >= 0x80;
            EXPECT_EQ(all.HasMultiByte(), multi);
            bool escaped = true, decodedMulti = !multi;
            EXPECT_EQ(DecodeInPieces(s, {}, &escaped, &decodedMulti), whole);
            EXPECT_FALSE(escaped);
            EXPECT_EQ(decodedMulti, multi);
        }
    }
    // Fails at once on the first bad byte and stays failed.
    sys::Utf8Check c;
    EXPECT_FALSE(c.Feed(Bytes("ab\xC3x"), 4));
    EXPECT_TRUE(c.Failed());
    EXPECT_FALSE(c.Feed(Bytes("ok"), 2));
    // A cut-off character is not valid at the end.
    sys::Utf8Check cut;
    EXPECT_TRUE(cut.Feed(Bytes("\xE2\x86"), 2));
    EXPECT_FALSE(cut.Valid());
    EXPECT_TRUE(cut.Feed(Bytes("\x92"), 1));
    EXPECT_TRUE(cut.Valid());
}

TEST(Utf8Stream, PiecesDecodeAlikeAndEveryByteComesBack)
{
    std::mt19937 gen(4848);
    for (int round = 0; round < 3000; ++round) {
        const std::string s = RandomUtf8ish(gen, 1 + round % 300);
        const std::u16string whole = DecodeInPieces(s, {});
        ASSERT_EQ(Encode(whole), s) << testing::PrintToString(s);
        // Cut at random places, pieces of one byte included.
        std::uniform_int_distribution<size_t> at(0, s.size());
        std::vector<size_t> cuts;
        for (int k = round % 6; k > 0; --k)
            cuts.push_back(at(gen));
        std::sort(cuts.begin(), cuts.end());
        ASSERT_EQ(DecodeInPieces(s, cuts), whole) << testing::PrintToString(s);
    }
    // Each byte of an invalid part is its own escape; the valid characters
    // around stay whole.
    bool escaped = false;
    EXPECT_EQ(DecodeInPieces("a\xC3(\xE2\x86\x92\xF0\x9F", {2, 4}, &escaped),
              u"a\xDCC3(→\xDCF0\xDC9F");
    EXPECT_TRUE(escaped);
    // A character cut by a piece of one byte, then finished.
    EXPECT_EQ(DecodeInPieces("x\xF0\x9F\x98\x80y", {2, 3, 4}), u"x\U0001F600y");
    // Pieces that end with an empty last one.
    EXPECT_EQ(DecodeInPieces("\xE2\x86", {2}), u"\xDCE2\xDC86");
}

TEST(Utf8Stream, EncoderWritesPairsEscapesAndReplacements)
{
    int replaced = 0;
    std::string out;
    sys::AppendUtf8Escaped(u"Ž→\U0001F600\xDC80\xDCFF", out, &replaced);
    EXPECT_EQ(out, "\xC5\xBD\xE2\x86\x92\xF0\x9F\x98\x80\x80\xFF");
    EXPECT_EQ(replaced, 0);
    // Lone surrogates that stand for no byte: U+FFFD each, counted.
    out.clear();
    sys::AppendUtf8Escaped(u"\xD800x\xDC00\xDBFF", out, &replaced);
    EXPECT_EQ(out, "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(replaced, 3);
    EXPECT_TRUE(sys::IsUtf8ByteEscape(0xDC80));
    EXPECT_FALSE(sys::IsUtf8ByteEscape(0xDC7F));
}
