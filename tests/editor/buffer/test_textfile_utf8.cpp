// UTF-8 text files: recognised by the mark or by valid bytes with a
// character of several bytes when nothing names an encoding, written back
// byte for byte; invalid files and the control system's sources load as
// before; the forced and the default UTF-8.

#include "editor/buffer/EdtCodePages.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/buffer/EdtTextTypeHook.h"

#include "tests/support/platform/TempDir.h"

#include "platform/sys/CodePage.h"
#include <gtest/gtest.h>

#include <random>

namespace {

std::u16string U16(const std::string& s)
{
    return sys::Utf8ToUtf16Lenient(s);
}

std::u16string Line(const CEdtTextBuffer& b, int l)
{
    return std::u16string(b.GetLineChars(l), static_cast<size_t>(b.GetLineLength(l)));
}

// The lines of bytes cut at LF, each with its line end, as cmp would see
// them.
std::vector<std::string> RawLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t lf = bytes.find('\n', start);
        size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

const TextTypeDef* const kType = reinterpret_cast<const TextTypeDef*>(0x1000);

// ".plc" names no encoding but is the control system's (code page 1250),
// ".852" names row 4, ".u8" names UTF-8; anything else is unknown.
EdtTextTypeInfo TestLookup(std::u16string_view path)
{
    if (path.ends_with(u".plc"))
        return {kType, -1, true};
    if (path.ends_with(u".852"))
        return {kType, 4};
    if (path.ends_with(u".u8"))
        return {kType, EDT_CODEPAGE_UTF8};
    return {};
}

// "Žluťoučký kůň úpěl ďábelské ódy" in code page 1250 and in UTF-8.
const std::string kCzech1250 =
    "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\xE1\x62\x65lsk\xE9 \xF3\x64y";
const std::string kCzechUtf8 = "Žluťoučký kůň úpěl ďábelské ódy";
const std::u16string kCzech = u"Žluťoučký kůň úpěl ďábelské ódy";

class Utf8FileTest : public ::testing::Test
{
protected:
    void SetUp() override { SetEdtTextTypeLookup(TestLookup); }
    void TearDown() override
    {
        SetEdtTextTypeLookup(nullptr);
        SetEdtForceUtf8(false);
        SetEdtDefaultEncoding(-1);
    }
    // Loads bytes under the name into b, saves them unedited elsewhere and
    // gives what was written.
    std::string RoundTrip(const std::string& name, const std::string& bytes, CEdtTextBuffer& b)
    {
        dir.Write(name, bytes);
        EXPECT_TRUE(b.LoadFromFile(U16(dir / name)));
        EXPECT_TRUE(b.SaveToFile(U16(dir / ("saved-" + name))));
        return dir.Read("saved-" + name);
    }
    testsupport::TempDir dir;
};

} // namespace

TEST_F(Utf8FileTest, WithAndWithoutTheMarkRoundTripByteForByte)
{
    const std::string body =
        kCzechUtf8 + "\r\nšipka → vpravo\r\n漢字かな\r\nemoji 😀👍🏽 end\r\n\r\n";
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(mark.empty() ? "without the mark" : "with the mark");
        CEdtTextBuffer b;
        EXPECT_EQ(RoundTrip("a.txt", mark + body, b), mark + body);
        EXPECT_TRUE(b.GetUtf8());
        EXPECT_EQ(b.GetUtf8Mark(), !mark.empty());
        EXPECT_EQ(b.GetEncoding(), EDT_CODEPAGE_UTF8);
        EXPECT_FALSE(b.GetUnicode());
        EXPECT_EQ(b.GetCodePage(), -1);
        EXPECT_EQ(b.GetCRLFMode(), 0);
        ASSERT_EQ(b.GetLineCount(), 6);
        EXPECT_EQ(Line(b, 0), kCzech);
        EXPECT_EQ(Line(b, 1), u"šipka → vpravo");
        EXPECT_EQ(Line(b, 2), u"漢字かな");
        EXPECT_EQ(Line(b, 3), u"emoji \U0001F600\U0001F44D\U0001F3FD end");
        EXPECT_EQ(b.CountUnmappableChars(), 0);
    }
    // A file of the mark alone, and one whose only text is the mark and ASCII.
    CEdtTextBuffer m;
    EXPECT_EQ(RoundTrip("m.txt", "\xEF\xBB\xBF", m), "\xEF\xBB\xBF");
    EXPECT_TRUE(m.GetUtf8Mark());
    EXPECT_EQ(m.GetLineCount(), 1);
    EXPECT_EQ(RoundTrip("m2.txt", "\xEF\xBB\xBFplain\nascii", m), "\xEF\xBB\xBFplain\nascii");
    EXPECT_TRUE(m.GetUtf8());
    EXPECT_EQ(m.GetCRLFMode(), 1);
}

TEST_F(Utf8FileTest, EditingOneLineChangesOnlyItsBytes)
{
    // UNIX, DOS and MAC line ends; the edited line is in the middle.
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF");
        std::string bytes = "\xEF\xBB\xBF"
                            "první → řádek" +
                            end + kCzechUtf8 + end + "třetí 😀" + end + "poslední bez konce";
        dir.Write("e.txt", bytes);
        CEdtTextBuffer b;
        ASSERT_TRUE(b.LoadFromFile(U16(dir / "e.txt")));
        int el = 0, ec = 0;
        ASSERT_TRUE(b.InsertText(nullptr, 1, 4, u" (upraveno ✓)", el, ec, 0));
        ASSERT_TRUE(b.SaveToFile(U16(dir / "e.txt")));
        const std::string saved = dir.Read("e.txt");
        std::string expected = bytes;
        const size_t at = expected.find(kCzechUtf8) + std::string("Žluť").size();
        expected.insert(at, " (upraveno ✓)");
        EXPECT_EQ(saved, expected);
        // As cmp sees it with LF lines: one line differs, the rest is equal.
        if (end == "\n") {
            std::vector<std::string> before = RawLines(bytes), after = RawLines(saved);
            ASSERT_EQ(before.size(), after.size());
            int differing = 0;
            for (size_t i = 0; i < before.size(); ++i)
                differing += before[i] != after[i];
            EXPECT_EQ(differing, 1);
            EXPECT_NE(before[1], after[1]);
        }
    }
}

TEST_F(Utf8FileTest, InvalidBytesLoadAsBeforeAndLoseNothing)
{
    // A valid beginning, then a sequence that breaks off (so the file is
    // not UTF-8): every kind of invalid part.
    const std::vector<std::string> invalid = {
        "\xC3",                 // cut off at the end
        "\xC3(",                // lead without continuation
        "\x80",                 // lone continuation
        "\xC0\xAF",             // overlong
        "\xE0\x80\xAF",         // overlong, three bytes
        "\xED\xA0\x80",         // a surrogate
        "\xF4\x90\x80\x80",     // above U+10FFFF
        "\xF8\x88\x80\x80\x80", // five bytes
        "\xFF",
    };
    for (const std::string& bad : invalid) {
        const std::string bytes = "ok č\r\n" + bad + "\r\ntail";
        SCOPED_TRACE(testing::PrintToString(bytes));
        CEdtTextBuffer b;
        EXPECT_EQ(RoundTrip("bad.txt", bytes, b), bytes);
        EXPECT_FALSE(b.GetUtf8());
        EXPECT_EQ(b.GetEncoding(), -1);
        // Read in code page 1250 as before: "č" is two characters.
        EXPECT_EQ(Line(b, 0), u"ok \u00C4\u0164");
    }
}

TEST_F(Utf8FileTest, CodePage1250CzechIsNotTakenForUtf8)
{
    CEdtTextBuffer b;
    const std::string bytes = kCzech1250 + "\r\n" + kCzech1250;
    EXPECT_EQ(RoundTrip("cz.txt", bytes, b), bytes);
    EXPECT_FALSE(b.GetUtf8());
    EXPECT_EQ(Line(b, 0), kCzech);
    // ASCII alone is no UTF-8 file either (nothing tells it apart).
    EXPECT_EQ(RoundTrip("ascii.txt", "plain\r\ntext", b), "plain\r\ntext");
    EXPECT_FALSE(b.GetUtf8());
    // Small accented letters are bytes from 0xE0 on, which in UTF-8 would
    // need two continuation bytes (0x80-0xBF) after them: Czech words in
    // code page 1250 do not have those.
    const std::string words = "k\xF9\xF2 \xFAp\xECl \xE8"
                              "erven\xFD \x9A"
                              "edivou \x9Elu\x9Dou\xE8k\xFD";
    EXPECT_EQ(RoundTrip("w.txt", words, b), words);
    EXPECT_FALSE(b.GetUtf8());
}

TEST_F(Utf8FileTest, ControlSystemSourcesAndNamedCodePagesStayAsBefore)
{
    // UTF-8-looking bytes, with and without the mark, in a PLC source:
    // read in code page 1250, byte for byte.
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        CEdtTextBuffer b;
        const std::string bytes = mark + "; " + kCzechUtf8 + "\r\nLD X0\r\n";
        EXPECT_EQ(RoundTrip("main.plc", bytes, b), bytes);
        EXPECT_FALSE(b.GetUtf8());
        EXPECT_EQ(b.GetEncoding(), -1);
        EXPECT_EQ(Line(b, 0).size(), mark.size() + 2 + kCzechUtf8.size()); // a character a byte
    }
    // A type that names row 4, and a buffer given a code page.
    CEdtTextBuffer r4;
    EXPECT_EQ(RoundTrip("x.852", kCzechUtf8, r4), kCzechUtf8);
    EXPECT_FALSE(r4.GetUtf8());
    EXPECT_EQ(r4.GetEncoding(), 4);
    CEdtTextBuffer cp;
    cp.SetCodePage(7);
    EXPECT_EQ(RoundTrip("y.txt", kCzechUtf8, cp), kCzechUtf8);
    EXPECT_FALSE(cp.GetUtf8());
    // The editor-wide UTF-8 default does not reach the PLC sources.
    SetEdtDefaultEncoding(EDT_CODEPAGE_UTF8);
    CEdtTextBuffer d;
    EXPECT_EQ(RoundTrip("main.plc", kCzechUtf8, d), kCzechUtf8);
    EXPECT_FALSE(d.GetUtf8());
}

TEST_F(Utf8FileTest, UtfSixteenMarkStillWins)
{
    CEdtTextBuffer b;
    const std::string bytes = std::string("\xFF\xFE"
                                          "a\0b\0",
                                          6);
    EXPECT_EQ(RoundTrip("w.txt", bytes, b), bytes);
    EXPECT_TRUE(b.GetUnicode());
    EXPECT_FALSE(b.GetUtf8());
    EXPECT_EQ(b.GetEncoding(), EDT_CODEPAGE_UNICODE);
}

TEST_F(Utf8FileTest, ForcedUtf8KeepsInvalidBytes)
{
    SetEdtForceUtf8(true);
    // Invalid parts shown as characters of their own, written back as they
    // were; even a PLC source and a file with the UTF-16 mark.
    const std::string bytes =
        "ok → \xC3(\x80 \xED\xA0\x80\r\n" + kCzech1250 + "\r\nkonec \xF0\x9F\x98";
    for (const std::string name : {"f.txt", "f.plc", "f.852"}) {
        SCOPED_TRACE(name);
        CEdtTextBuffer b;
        EXPECT_EQ(RoundTrip(name, bytes, b), bytes);
        EXPECT_TRUE(b.GetUtf8());
        EXPECT_FALSE(b.GetUtf8Mark());
        ASSERT_EQ(b.GetLineCount(), 3);
        EXPECT_EQ(Line(b, 0), u"ok → \xDCC3(\xDC80 \xDCED\xDCA0\xDC80");
        EXPECT_EQ(Line(b, 2), u"konec \xDCF0\xDC9F\xDC98");
        EXPECT_EQ(b.CountUnmappableChars(), 0);
    }
    CEdtTextBuffer u;
    const std::string utf16 = std::string("\xFF\xFE"
                                          "a\0",
                                          4);
    EXPECT_EQ(RoundTrip("g.txt", utf16, u), utf16);
    EXPECT_TRUE(u.GetUtf8());
    SetEdtForceUtf8(false);
    // The forced choice was for that load: a reload decides again.
    CEdtTextBuffer again;
    EXPECT_EQ(RoundTrip("f.txt", bytes, again), bytes);
    EXPECT_FALSE(again.GetUtf8());
}

TEST_F(Utf8FileTest, DefaultUtf8TakesValidAsciiAndNewBuffers)
{
    CEdtTextBuffer ascii;
    EXPECT_EQ(RoundTrip("a.u8", "plain\nascii", ascii), "plain\nascii");
    EXPECT_TRUE(ascii.GetUtf8());
    CEdtTextBuffer bad;
    EXPECT_EQ(RoundTrip("b.u8", kCzech1250, bad), kCzech1250);
    EXPECT_FALSE(bad.GetUtf8());
    EXPECT_EQ(Line(bad, 0), kCzech);

    // The editor-wide default: new buffers are UTF-8 without the mark, and
    // a character beyond code page 1250 is saved as itself.
    SetEdtDefaultEncoding(EDT_CODEPAGE_UTF8);
    CEdtTextBuffer fresh;
    ASSERT_TRUE(fresh.InitNew());
    EXPECT_TRUE(fresh.GetUtf8());
    int el = 0, ec = 0;
    ASSERT_TRUE(fresh.InsertText(nullptr, 0, 0, u"Ω → 😀", el, ec, 0));
    int replaced = -1;
    ASSERT_TRUE(fresh.SaveToFile(U16(dir / "new.txt"), -1, true, &replaced));
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(dir.Read("new.txt"), "Ω → 😀");
    CEdtTextBuffer plain;
    EXPECT_EQ(RoundTrip("p.txt", "plain", plain), "plain");
    EXPECT_TRUE(plain.GetUtf8());
}

TEST_F(Utf8FileTest, SavingTextThatUtf8CannotHold)
{
    // A lone surrogate that is no byte of the file is written as U+FFFD and
    // counted; UTF-16 and code page switches of the buffer.
    dir.Write("s.txt", "č\n");
    CEdtTextBuffer b;
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "s.txt")));
    ASSERT_TRUE(b.GetUtf8());
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 1, 0, std::u16string(1, char16_t(0xD800)) + u"x", el, ec, 0));
    EXPECT_EQ(b.CountUnmappableChars(), 1);
    int replaced = 0;
    ASSERT_TRUE(b.SaveToFile(U16(dir / "s.txt"), -1, true, &replaced));
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(dir.Read("s.txt"), "č\n\xEF\xBF\xBDx");
    b.SetUnicode(true);
    EXPECT_FALSE(b.GetUtf8());
    EXPECT_EQ(b.GetEncoding(), EDT_CODEPAGE_UNICODE);
}

TEST_F(Utf8FileTest, CharactersCutByBlockBoundaries)
{
    // Every kind of character at every offset around the 32768-byte blocks,
    // and a file whose last block is full (the end is found by an empty read).
    std::mt19937 gen(4848);
    const std::vector<std::string> chars = {"a", "\r\n", "č", "→", "😀", "漢"};
    std::uniform_int_distribution<size_t> pick(0, chars.size() - 1);
    for (size_t pad = 32760; pad < 32770; ++pad) {
        std::string bytes(pad, 'x');
        bytes += "😀→č";
        while (bytes.size() < 70000)
            bytes += chars[pick(gen)];
        CEdtTextBuffer b;
        EXPECT_EQ(RoundTrip("blocks.txt", bytes, b), bytes);
        EXPECT_TRUE(b.GetUtf8());
        EXPECT_EQ(Line(b, 0).substr(pad, 4), u"\U0001F600→č");
    }
    std::string full(65536 - 3, 'y');
    full += "→";
    CEdtTextBuffer f;
    EXPECT_EQ(RoundTrip("full.txt", full, f), full);
    EXPECT_TRUE(f.GetUtf8());
    // Invalid only near the end, after many lines of several blocks: read
    // again from the start in code page 1250, every line there once.
    std::string late;
    for (int i = 0; i < 20000; ++i)
        late += "řádek → " + std::to_string(i) + "\r\n";
    late += "\xC3";
    CEdtTextBuffer l;
    EXPECT_EQ(RoundTrip("late.txt", late, l), late);
    EXPECT_FALSE(l.GetUtf8());
    EXPECT_EQ(l.GetLineCount(), 20001);
    EXPECT_EQ(Line(l, 1), u"\u0139\u2122\u0102\u02C7dek \u00E2\u2020\u2019 1");
}
