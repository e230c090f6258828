// Text files: the code-page tables and maps, the user's conversion, loading
// and saving in line-end styles, UTF-16 and code pages, the safe save and
// failed loads.

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/buffer/EdtTextTypeHook.h"

#include "tests/support/platform/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QString>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace {

std::u16string U16(const std::string& s)
{
    return QString::fromStdString(s).toStdU16String();
}

std::u16string Line(const CEdtTextBuffer& b, int l)
{
    return std::u16string(b.GetLineChars(l), static_cast<size_t>(b.GetLineLength(l)));
}

std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const TextTypeDef* const kTypeA = reinterpret_cast<const TextTypeDef*>(0x1000);

EdtTextTypeInfo TestLookup(std::u16string_view path)
{
    if (path.ends_with(u".852"))
        return {kTypeA, 4};
    if (path.ends_with(u".uni"))
        return {kTypeA, 13};
    return {};
}

class TypeView : public IEdtBufferListener
{
public:
    void UpdateView(IEdtBufferListener*, const UpdateContext*, uint32_t flags, int) override
    {
        events.push_back("update " + std::to_string(flags));
    }
    bool SelectTextType(const TextTypeDef* type) override
    {
        events.push_back(type ? "type A" : "type none");
        return true;
    }
    std::vector<std::string> events;
};

// Loads bytes, saves them again and gives what was written.
std::string RoundTrip(testsupport::TempDir& dir, const std::string& bytes, int codePage = -1,
                      CEdtTextBuffer* out = nullptr)
{
    dir.Write("rt.txt", bytes);
    CEdtTextBuffer local;
    CEdtTextBuffer& b = out ? *out : local;
    b.SetCodePage(codePage);
    EXPECT_TRUE(b.LoadFromFile(U16(dir / "rt.txt")));
    EXPECT_TRUE(b.SaveToFile(U16(dir / "rt.txt")));
    return dir.Read("rt.txt");
}

// The named temporary files of saving (".<name>.swsave-" + 6 characters)
// below a folder.
int CountTempFiles(const std::string& dir)
{
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        if (name.starts_with(".") && name.find(".swsave-") != std::string::npos)
            ++n;
    }
    return n;
}

// Every test gets a fresh folder; no temporary file of a save may be left
// in it.
class TextFileTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(CountTempFiles(dir.Path()), 0); }
    testsupport::TempDir dir;
};

} // namespace

TEST_F(TextFileTest, LineEndStyles)
{
    CEdtTextBuffer b;
    // DOS: a lone LF stays inside its line and is written back unchanged.
    EXPECT_EQ(RoundTrip(dir, "a\r\nb\nc\r\nd", -1, &b), "a\r\nb\nc\r\nd");
    EXPECT_EQ(b.GetCRLFMode(), 0);
    ASSERT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(Line(b, 1), u"b\nc");
    // MAC: one line per CR.
    EXPECT_EQ(RoundTrip(dir, "a\rb\rc\r", -1, &b), "a\rb\rc\r");
    EXPECT_EQ(b.GetCRLFMode(), 2);
    EXPECT_EQ(b.GetLineCount(), 4);
    EXPECT_EQ(Line(b, 3), u"");
    // UNIX.
    EXPECT_EQ(RoundTrip(dir, "a\nb\r\n", -1, &b), "a\nb\r\n");
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_EQ(Line(b, 1), u"b\r");
    // No line end: one DOS line and none written.
    EXPECT_EQ(RoundTrip(dir, "single", -1, &b), "single");
    EXPECT_EQ(b.GetCRLFMode(), 0);
    EXPECT_EQ(b.GetLineCount(), 1);
    // Empty file: one empty line.
    EXPECT_EQ(RoundTrip(dir, "", -1, &b), "");
    EXPECT_EQ(b.GetLineCount(), 1);
    // CR CR LF in a DOS file: a CR character, then the line end.
    EXPECT_EQ(RoundTrip(dir, "x\r\ny\r\r\nz", -1, &b), "x\r\ny\r\r\nz");
    ASSERT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(Line(b, 1), u"y\r");
    // A first CR at the very end of the first block: the next byte decides.
    std::string longLine(32767, 'a');
    EXPECT_EQ(RoundTrip(dir, longLine + "\r\nb", -1, &b), longLine + "\r\nb");
    EXPECT_EQ(b.GetCRLFMode(), 0);
    EXPECT_EQ(b.GetLineCount(), 2);

    // The first line end decides however long the first line is: past the
    // first block, in 8-bit and UTF-16 files.
    std::string longFirst(100000, 'w');
    EXPECT_EQ(RoundTrip(dir, longFirst + "\nb\nc", -1, &b), longFirst + "\nb\nc");
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(RoundTrip(dir, longFirst + "\rb\r\nc", -1, &b), longFirst + "\rb\r\nc");
    EXPECT_EQ(b.GetCRLFMode(), 2);
    EXPECT_EQ(Line(b, 2), u"\nc");
    std::string wide("\xFF\xFE", 2);
    for (int i = 0; i < 40000; ++i)
        wide += std::string("w\0", 2);
    wide += std::string("\n\0b\0", 4);
    EXPECT_EQ(RoundTrip(dir, wide, -1, &b), wide);
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_EQ(b.GetLineCount(), 2);
    // A CR as the file's very last byte after a long line: MAC.
    EXPECT_EQ(RoundTrip(dir, longFirst + "\r", -1, &b), longFirst + "\r");
    EXPECT_EQ(b.GetCRLFMode(), 2);
    EXPECT_EQ(b.GetLineCount(), 2);

    // An imposed style and a style given on saving.
    dir.Write("f.txt", "a\r\nb");
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "f.txt"), 1));
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_EQ(Line(b, 0), u"a\r");
    ASSERT_TRUE(b.SaveToFile(U16(dir / "f.txt"), 2));
    EXPECT_EQ(dir.Read("f.txt"), "a\r\rb");
}

TEST_F(TextFileTest, Utf16)
{
    CEdtTextBuffer b;
    std::string file("\xFF\xFE" "a\0\x0D\x01\r\0\n\0b\0", 12);
    EXPECT_EQ(RoundTrip(dir, file, -1, &b), file);
    EXPECT_TRUE(b.GetUnicode());
    ASSERT_EQ(b.GetLineCount(), 2);
    EXPECT_EQ(Line(b, 0), u"a\u010D");
    // Odd length: the last byte is no character and is written back as it
    // was, on every save (also an 8-bit file that begins with FF FE).
    std::string odd("\xFF\xFE" "a\0Z", 5);
    EXPECT_EQ(RoundTrip(dir, odd, -1, &b), odd);
    EXPECT_EQ(Line(b, 0), u"a");
    EXPECT_EQ(b.GetOddTrailingByte(), 'Z');
    EXPECT_EQ(RoundTrip(dir, RoundTrip(dir, odd), -1, &b), odd);
    std::string ansi("\xFF\xFE" "Skladba\r\nv\xE1lce\r\n!", 19);
    EXPECT_EQ(RoundTrip(dir, RoundTrip(dir, ansi)), ansi);
    // ... beyond the first block, and after an edit of the text.
    std::string longOdd = std::string("\xFF\xFE", 2) + std::string(70000, 'q') + "\x7F";
    dir.Write("odd.txt", longOdd);
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "odd.txt")));
    EXPECT_EQ(b.GetLineLength(0), 35000);
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"x", el, ec, 1));
    ASSERT_TRUE(b.SaveToFile(U16(dir / "odd.txt")));
    EXPECT_EQ(dir.Read("odd.txt"), std::string("\xFF\xFEx\0", 4) + longOdd.substr(2));
    // A new text has none.
    b.InitNew();
    EXPECT_EQ(b.GetOddTrailingByte(), -1);
    // Forced: a file without the mark is read as UTF-16 and saved with it.
    SetEdtForceUnicode(true);
    dir.Write("f.txt", std::string("h\0i\0", 4));
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "f.txt")));
    SetEdtForceUnicode(false);
    EXPECT_EQ(Line(b, 0), u"hi");
    ASSERT_TRUE(b.SaveToFile(U16(dir / "f.txt")));
    EXPECT_EQ(dir.Read("f.txt"), std::string("\xFF\xFEh\0i\0", 6));
}

TEST_F(TextFileTest, CodePagesOnLoadAndSave)
{
    CEdtTextBuffer b;
    std::string bytes = "\x41\xAC\x9F\xC8\x80\xF5";
    EXPECT_EQ(RoundTrip(dir, bytes, 4, &b), bytes);
    EXPECT_EQ(Line(b, 0), u"A\u010C\u010D\uF7C8\u20AC\u00A7");
    EXPECT_EQ(b.GetCodePage(), 4);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (int cp = -1; cp < EDT_CODEPAGE_ROWS; ++cp)
        EXPECT_EQ(RoundTrip(dir, all, cp), all) << "code page " << cp;

    // Typed text the file's code page lacks: replaced and counted.
    b.InitNew();
    b.SetCodePage(0);
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"Žluťoučký kůň\r\n\u4E00", el, ec, 1));
    EXPECT_EQ(b.CountUnmappableChars(), 7);
    int replaced = -1;
    ASSERT_TRUE(b.SaveToFile(U16(dir / "s.txt"), -1, true, &replaced));
    EXPECT_EQ(replaced, 7);
    EXPECT_EQ(dir.Read("s.txt"), "Zlutoucky kun\r\n.");
    b.SetUnicode(true);
    EXPECT_EQ(b.CountUnmappableChars(), 0);
}

TEST_F(TextFileTest, SourceTypeHook)
{
    EXPECT_EQ(LookupEdtTextType(u"x.852").type, nullptr);
    SetEdtTextTypeLookup(&TestLookup);
    CEdtTextBuffer b;
    TypeView v1, v2;
    b.AddView(&v1);
    b.AddView(&v2);
    dir.Write("a.852", "\xAC");
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "a.852")));
    EXPECT_EQ(Line(b, 0), u"Č");
    EXPECT_EQ(b.GetCodePage(), 4);
    EXPECT_EQ(v1.events, (std::vector<std::string>{"type A", "update 4096"}));
    EXPECT_EQ(v2.events, v1.events);
    // A UTF-16 file goes through no table even when the type names one.
    dir.Write("b.852", std::string("\xFF\xFE\xAC\0", 4));
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "b.852")));
    EXPECT_EQ(Line(b, 0), u"\u00AC");
    ASSERT_TRUE(b.SaveToFile(U16(dir / "b.852")));
    EXPECT_EQ(dir.Read("b.852"), std::string("\xFF\xFE\xAC\0", 4));
    // A default encoding of 13 reads the file as UTF-16.
    dir.Write("c.uni", std::string("o\0k\0", 4));
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "c.uni")));
    EXPECT_TRUE(b.GetUnicode());
    EXPECT_EQ(b.GetCodePage(), -1);
    EXPECT_EQ(Line(b, 0), u"ok");
    v1.events.clear();
    b.SetTextTypeFromFileName(u"plain.txt");
    EXPECT_EQ(v1.events, (std::vector<std::string>{"type none"}));
    SetEdtTextTypeLookup(nullptr);

    // The editor-wide default of 13 starts new buffers as UTF-16.
    SetEdtDefaultEncoding(13);
    CEdtTextBuffer u;
    EXPECT_TRUE(u.GetUnicode());
    EXPECT_EQ(u.GetCodePage(), -1);
    SetEdtDefaultEncoding(7);
    CEdtTextBuffer r;
    EXPECT_EQ(r.GetCodePage(), 7);
    SetEdtDefaultEncoding(-1);
}

TEST_F(TextFileTest, FailedLoadChangesNothing)
{
    dir.Write("good.txt", "one\r\ntwo");
    CEdtTextBuffer b;
    b.SetCodePage(3);
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "good.txt")));
    EXPECT_TRUE(b.GetLoadedFromFile());
    EXPECT_FALSE(b.GetReadOnly());
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"X", el, ec, 1));
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(b.LoadFromFile(U16(dir / "folder")));
    EXPECT_FALSE(b.LoadFromFile(U16(dir / "fifo")));  // answers at once
    EXPECT_FALSE(b.LoadFromFile(U16(dir / "missing.txt")));
    EXPECT_EQ(b.GetLineCount(), 2);
    EXPECT_EQ(Line(b, 0), u"Xone");
    EXPECT_TRUE(b.IsModified());
    EXPECT_TRUE(b.CanUndo());
    EXPECT_EQ(b.GetCodePage(), 3);
    EXPECT_TRUE(b.GetLoadedFromFile());

    // A new load starts a fresh history; a read-only file loads read-only.
    ::chmod((dir / "good.txt").c_str(), 0444);
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "good.txt")));
    EXPECT_FALSE(b.CanUndo());
    EXPECT_FALSE(b.IsModified());
    EXPECT_TRUE(b.GetReadOnly());
    EXPECT_EQ(b.GetLastChangePos(), (EdtPoint{-1, -1}));
}

TEST_F(TextFileTest, SafeSave)
{
    dir.Write("t.txt", "old\r\n");
    ::chmod((dir / "t.txt").c_str(), 0640);
    CEdtTextBuffer b;
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "t.txt")));
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 1, 0, u"new", el, ec, 1));
    ASSERT_TRUE(b.SaveToFile(U16(dir / "t.txt")));
    EXPECT_EQ(dir.Read("t.txt"), "old\r\nnew");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"t.txt"}));  // no backup, no temp
    struct stat st;
    ASSERT_EQ(::stat((dir / "t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_FALSE(b.IsModified());

    // A link is saved to the file it names and stays a link.
    fs::create_directory(dir / "real");
    dir.Write("real/r.txt", "r");
    fs::create_symlink("real/r.txt", dir / "link.txt");
    ASSERT_TRUE(b.SaveToFile(U16(dir / "link.txt")));
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(dir.Read("real/r.txt"), "old\r\nnew");

    // Refused targets are left as they are, and nothing is left behind.
    dir.Write("ro.txt", "keep");
    ::chmod((dir / "ro.txt").c_str(), 0444);
    EXPECT_FALSE(b.SaveToFile(U16(dir / "ro.txt")));
    EXPECT_EQ(dir.Read("ro.txt"), "keep");
    EXPECT_FALSE(b.SaveToFile(U16(dir / "real")));
    EXPECT_FALSE(b.SaveToFile(U16(dir / "nofolder/x.txt")));
    // A link that names nothing stays a link: the file it names is not made.
    fs::create_symlink("gone.txt", dir / "dangling.txt");
    EXPECT_FALSE(b.SaveToFile(U16(dir / "dangling.txt")));
    EXPECT_EQ(fs::read_symlink(dir / "dangling.txt"), fs::path("gone.txt"));
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"dangling.txt", "link.txt", "real", "ro.txt", "t.txt"}));
    EXPECT_EQ(Names(dir / "real"), (std::vector<std::string>{"r.txt"}));
}

TEST_F(TextFileTest, SavedPositionFollowsHistory)
{
    CEdtTextBuffer b;
    b.InitNew();
    int el = 0, ec = 0;
    EdtPoint caret;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"a", el, ec, 4));
    ASSERT_TRUE(b.SaveToFile(U16(dir / "h.txt")));
    EXPECT_FALSE(b.IsModified());
    // Save, change, undo: not modified; one more undo: modified.
    ASSERT_TRUE(b.InsertText(nullptr, 0, 1, u"b", el, ec, 4));
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_FALSE(b.IsModified());
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_TRUE(b.IsModified());
    // Save, undo, type, undo, redo: the text differs from the file.
    ASSERT_TRUE(b.Redo(caret));
    EXPECT_FALSE(b.IsModified());
    ASSERT_TRUE(b.Undo(caret));
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"c", el, ec, 4));
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_TRUE(b.IsModified());
    ASSERT_TRUE(b.Redo(caret));
    EXPECT_TRUE(b.IsModified());
}

namespace {

// A text of random lines (fixed seed) joined by the given line ends; the
// lines hold the byte values of chars.
std::string RandomLines(std::mt19937& gen, int lines, const std::string& chars,
                        const std::vector<std::string>& ends)
{
    std::uniform_int_distribution<int> len(0, 60);
    std::uniform_int_distribution<size_t> ch(0, chars.size() - 1);
    std::uniform_int_distribution<size_t> end(0, ends.size() - 1);
    std::string out;
    for (int l = 0; l < lines; ++l) {
        for (int i = len(gen); i > 0; --i)
            out += chars[ch(gen)];
        if (l + 1 < lines)
            out += ends[end(gen)];
    }
    return out;
}

std::string Utf16Le(const std::u16string& units, bool mark = true)
{
    std::string out = mark ? "\xFF\xFE" : "";
    for (char16_t u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

struct CorpusFile
{
    std::string name;
    std::string bytes;
    int codePage = -1;
    int style = -1;      // the style the load must find, -1: not checked
    int lines = -1;      // the line count it must give, -1: not checked
};

std::vector<CorpusFile> Corpus()
{
    std::mt19937 gen(20240611);
    std::string printable;
    for (int c = 0x20; c < 0x7F; ++c)
        printable += static_cast<char>(c);
    std::string withCr = printable + "\r";
    std::string withLf = printable + "\n";
    std::string accented = printable + "\x8A\x9A\xC8\xE8\xD8\xF8\xE1\xED";
    std::vector<CorpusFile> c;
    c.push_back({"dos", RandomLines(gen, 500, accented, {"\r\n"}), -1, 0, 500});
    c.push_back({"dos-lone-lf", "x\r\n" + RandomLines(gen, 300, withLf, {"\r\n"}), -1, 0, 301});
    c.push_back({"unix-with-cr", "a\n" + RandomLines(gen, 300, withCr, {"\n"}), -1, 1, 301});
    c.push_back({"mac-with-lf", "a\r" + RandomLines(gen, 300, withLf, {"\r"}), -1, 2, 301});
    c.push_back({"mixed", "x\r\n" + RandomLines(gen, 400, printable, {"\r\n", "\n", "\r"}), -1, 0, -1});
    c.push_back({"cr-cr-lf", "x\r\na\r\r\nb\r\r\r\n\r\r\nc\r", -1, 0, 5});
    c.push_back({"no-line-end", "just one line", -1, 0, 1});
    c.push_back({"trailing-line-end", "a\r\nb\r\n", -1, 0, 3});
    c.push_back({"empty", "", -1, 0, 1});
    c.push_back({"only-line-ends", "\n\n\n", -1, 1, 4});
    // The first line fills the first block but one byte: CR is the block's
    // last byte, LF the next block's first.
    c.push_back({"first-line-32767", std::string(32767, 'a') + "\r\nb\r\nc", -1, 0, 3});
    c.push_back({"first-cr-at-block-end-mac", std::string(32767, 'a') + "\rb\rc", -1, 2, 3});
    c.push_back({"first-cr-at-block-end-unix", std::string(32767, 'a') + "\r\n", -1, 0, 2});
    c.push_back({"first-line-end-after-first-block", std::string(40000, 'a') + "\nb", -1, 1, 2});
    // CR LF across later block boundaries.
    {
        std::string s = "x\r\n";
        s += std::string(65535 - s.size(), 'y');
        s += "\r\nz";
        s += std::string(98303 - s.size(), 'w');
        s += "\r\n\r\n";
        c.push_back({"crlf-across-blocks", s, -1, 0, 5});
    }
    {
        std::string s = "x\r";
        s += std::string(65535 - s.size(), 'y');
        s += "\r\n";
        c.push_back({"mac-cr-lf-across-blocks", s, -1, 2, 3});
    }
    {
        std::uniform_int_distribution<int> ch(0x20, 0xFF);
        std::string big;
        for (int i = 0; i < 1000000; ++i)
            big += static_cast<char>(ch(gen));
        c.push_back({"million-character-line", "head\r\n" + big + "\r\ntail", -1, 0, 3});
    }
    // UTF-16 with the mark: surrogate pairs, lone surrogates, U+0000, all
    // three line ends.
    {
        std::u16string u = u"first\r\n";
        std::uniform_int_distribution<int> unit(0, 0xFFFF);
        std::uniform_int_distribution<int> kind(0, 9);
        for (int i = 0; i < 20000; ++i) {
            switch (kind(gen)) {
            case 0: u += u"\U0001F600"; break;                   // a pair
            case 1: u += static_cast<char16_t>(0xD800 + i % 1024); break;  // lone high
            case 2: u += static_cast<char16_t>(0xDC00 + i % 1024); break;  // lone low
            case 3: u += u'\0'; break;
            case 4: u += i % 2 ? u"\r\n" : u"\n"; break;
            case 5: u += u'\r'; break;
            default: u += static_cast<char16_t>(unit(gen)); break;
            }
        }
        c.push_back({"utf16", Utf16Le(u), -1, 0, -1});
        // The first CR is the first block's last unit.
        std::u16string b(16382, u'a');
        c.push_back({"utf16-cr-lf-across-first-block", Utf16Le(b + u"\r\nb\rc\n"), -1, 0, 2});
        c.push_back({"utf16-empty", "\xFF\xFE", -1, 0, 1});
    }
    // Every byte value, and random binary junk, in every code page.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int cp = -1; cp < EDT_CODEPAGE_ROWS; ++cp) {
        std::string junk;
        for (int i = 0; i < 70000; ++i)
            junk += static_cast<char>(byte(gen));
        if (junk[0] == '\xFF' && junk[1] == '\xFE')
            junk[0] = 'x';
        c.push_back({"all-bytes-" + std::to_string(cp), all, cp, -1, -1});
        c.push_back({"junk-" + std::to_string(cp), junk, cp, -1, -1});
    }
    return c;
}

} // namespace

TEST_F(TextFileTest, CorpusRoundTripsByteForByte)
{
    for (const CorpusFile& f : Corpus()) {
        SCOPED_TRACE(f.name);
        dir.Write("in-" + f.name, f.bytes);
        CEdtTextBuffer b;
        b.SetCodePage(f.codePage);
        ASSERT_TRUE(b.LoadFromFile(U16(dir / ("in-" + f.name)), -1));
        if (f.style >= 0) {
            EXPECT_EQ(b.GetCRLFMode(), f.style);
        }
        if (f.lines >= 0) {
            EXPECT_EQ(b.GetLineCount(), f.lines);
        }
        EXPECT_EQ(b.GetCodePage(), f.codePage);
        ASSERT_TRUE(b.SaveToFile(U16(dir / ("out-" + f.name))));
        std::string out = dir.Read("out-" + f.name);
        EXPECT_TRUE(out == f.bytes) << "sizes " << out.size() << " and " << f.bytes.size();
    }
}

TEST_F(TextFileTest, LinesAtBlockBoundaries)
{
    CEdtTextBuffer b;
    dir.Write("m.txt", "head\r\n" + std::string(1000000, 'q') + "\r\ntail");
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "m.txt")));
    ASSERT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(b.GetLineLength(1), 1000000);
    EXPECT_EQ(Line(b, 2), u"tail");
    // A CR LF split by a block boundary is one line end.
    std::string s = "x\r\n" + std::string(32764, 'y') + "\r\nz";
    ASSERT_EQ(s[32767], '\r');
    dir.Write("s.txt", s);
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "s.txt")));
    ASSERT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(b.GetLineLength(1), 32764);
    EXPECT_EQ(Line(b, 2), u"z");
    // A file that ends in a lone CR keeps it as a character (DOS).
    dir.Write("e.txt", "a\r\nb\r");
    ASSERT_TRUE(b.LoadFromFile(U16(dir / "e.txt")));
    EXPECT_EQ(Line(b, 1), u"b\r");
}

TEST_F(TextFileTest, LineEndModeOutsideTheStylesWritesCrLf)
{
    CEdtTextBuffer b;
    b.InitNew();
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"a\rb", el, ec, EDT_ACTION_PASTE));
    b.SetCRLFMode(7);
    ASSERT_TRUE(b.SaveToFile(U16(dir / "x.txt"), -1));
    EXPECT_EQ(dir.Read("x.txt"), "a\r\nb");
    ASSERT_TRUE(b.SaveToFile(U16(dir / "x.txt"), 1));
    EXPECT_EQ(dir.Read("x.txt"), "a\nb");
    EXPECT_EQ(b.GetCRLFMode(), 7);
}

namespace {
void PutFolderAtTarget(const std::string&, const std::string& target)
{
    fs::create_directory(target);
    std::ofstream(target + "/inner.txt") << "inner";
}
} // namespace

TEST_F(TextFileTest, FailedWriteAndFailedRenameLeaveTheTarget)
{
    dir.Write("w.txt", "original\r\n");
    std::u16string w = U16(dir / "w.txt");

    // A write that fails half-way: a child process with a small file-size
    // limit (SIGXFSZ ignored, so write fails with EFBIG).
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CEdtTextBuffer b;
        bool loaded = b.LoadFromFile(w);
        int el = 0, ec = 0;
        bool inserted = b.InsertText(nullptr, 0, 0, std::u16string(200000, u'x'), el, ec, 1);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        bool saved = b.SaveToFile(w);
        ::_exit(loaded && inserted && !saved && b.IsModified() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dir.Read("w.txt"), "original\r\n");

    // A rename that fails: a non-empty folder appears at the target's name
    // after the temporary file was written.
    CEdtTextBuffer b;
    ASSERT_TRUE(b.LoadFromFile(w));
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"new ", el, ec, 1));
    edt::SetSaveTestHook(&PutFolderAtTarget);
    EXPECT_FALSE(b.SaveToFile(U16(dir / "n.txt")));
    edt::SetSaveTestHook(nullptr);
    EXPECT_TRUE(fs::is_directory(dir / "n.txt"));
    EXPECT_EQ(dir.Read("n.txt/inner.txt"), "inner");
    EXPECT_TRUE(b.IsModified());
    EXPECT_EQ(dir.Read("w.txt"), "original\r\n");
    // The save works again once the hook is gone.
    ASSERT_TRUE(b.SaveToFile(w));
    EXPECT_EQ(dir.Read("w.txt"), "new original\r\n");
    EXPECT_FALSE(b.IsModified());
}

TEST_F(TextFileTest, BadPathsToLoadAnswerAtOnce)
{
    CEdtTextBuffer b;
    b.InitNew(2);
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"keep\rme", el, ec, 1));
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // a read would wait for a writer
    for (std::string bad : {dir / "missing.txt", dir / "folder", dir / "fifo",
                            std::string("/dev/null"), std::string("/dev/zero")}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(b.LoadFromFile(U16(bad)));
        ASSERT_EQ(b.GetLineCount(), 2);
        EXPECT_EQ(Line(b, 0), u"keep");
        EXPECT_EQ(Line(b, 1), u"me");
        EXPECT_EQ(b.GetCRLFMode(), 2);
        EXPECT_TRUE(b.IsModified());
        EXPECT_TRUE(b.CanUndo());
        EXPECT_FALSE(b.GetLoadedFromFile());
    }
}


// ---------------------------------------------------------------- code pages

using edt::CodePageMap;

TEST(EdtCodePages, TablesAreTranscribedExactly)
{
    long src = 0, tgt = 0;
    for (int r = 0; r < EDT_CODEPAGE_ROWS; ++r)
        for (int p = 0; p < EDT_CODEPAGE_ENTRIES; ++p) {
            src += kEdtCodePageSource[r][p];
            tgt += kEdtCodePageTarget[r][p];
        }
    EXPECT_EQ(src, 107391);
    EXPECT_EQ(tgt, 127176);
    EXPECT_STREQ(GetEdtCodePageRowName(4), "CP852");
    EXPECT_STREQ(GetEdtCodePageRowName(12), "CORK");
    EXPECT_EQ(GetEdtCodePageRowName(13), nullptr);
}

TEST(EdtCodePages, LoadMapVectors)
{
    const CodePageMap& row4 = CodePageMap::Get(4);
    EXPECT_EQ(row4.Load(0x41), u'A');
    EXPECT_EQ(row4.Load(0xAC), u'\u010C');
    EXPECT_EQ(row4.Load(0x9F), u'\u010D');
    EXPECT_EQ(row4.Load(0xC8), u'\uF7C8');
    EXPECT_EQ(row4.Load(0x80), u'\u20AC');
    EXPECT_EQ(row4.Load(0xF5), u'\u00A7');
    const CodePageMap& row1 = CodePageMap::Get(1);
    EXPECT_EQ(row1.Load(0x99), u'\u2122');
    EXPECT_EQ(row1.Load(0xC8), u'\u010C');
    const CodePageMap& row2 = CodePageMap::Get(2);
    EXPECT_EQ(row2.Load(0xBD), u'\u00BD');
    EXPECT_EQ(row2.Load(0xD8), u'\u00D8');
}

namespace {
std::string SaveBytes(int codePage, std::u16string_view text, int& counted)
{
    const CodePageMap& m = CodePageMap::Get(codePage);
    std::string out;
    counted = 0;
    for (char16_t c : text) {
        uint16_t s = m.Save(c);
        out += static_cast<char>(s & 0xFF);
        if (s & CodePageMap::kReplaced)
            ++counted;
    }
    return out;
}
} // namespace

TEST(EdtCodePages, SaveMapVectors)
{
    int n = 0;
    EXPECT_EQ(SaveBytes(0, u"Žluťoučký kůň", n), "Zlutoucky kun");
    EXPECT_EQ(n, 6);
    EXPECT_EQ(SaveBytes(4, u"Žluťoučký kůň", n),
              "\xA6\x6C\x75\x9C\x6F\x75\x9F\x6B\xEC\x20\x6B\x85\xE5");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(SaveBytes(2, u"ÁČ½", n), "\xC1\x43\xBD");
    EXPECT_EQ(n, 1);
    EXPECT_EQ(SaveBytes(4, u"A\u010C\u010D\uF7C8\u20AC\u00A7", n), "\x41\xAC\x9F\xC8\x80\xF5");
    EXPECT_EQ(n, 0);
    // Characters that neither the row nor the table know: ".".
    EXPECT_EQ(SaveBytes(4, u"\u4E00", n), ".");
    EXPECT_EQ(n, 1);
    EXPECT_EQ(SaveBytes(-1, u"\u4E00\u0160", n), ".\x8A");
    EXPECT_EQ(n, 1);
}

TEST(EdtCodePages, EveryByteRoundTripsInEveryCodePage)
{
    for (int cp = -1; cp < EDT_CODEPAGE_ROWS; ++cp) {
        const CodePageMap& m = CodePageMap::Get(cp);
        std::set<char16_t> seen;
        for (int b = 0; b < 256; ++b) {
            char16_t c = m.Load(static_cast<unsigned char>(b));
            EXPECT_TRUE(seen.insert(c).second) << "code page " << cp << " byte " << b;
            EXPECT_EQ(m.Save(c), b) << "code page " << cp << " byte " << b;
        }
    }
}

TEST(EdtCodePages, UserConversion)
{
    std::u16string r;
    EXPECT_EQ(ConvertCodePageString(u"\u00AC\u017A\u0107\u00E7", r, 4, 1, false), 0);
    EXPECT_EQ(r, u"ČčŠš");
    EXPECT_EQ(ConvertCodePageString(u"Žluťoučký", r, 1, 0, false), 0);
    EXPECT_EQ(r, u"Zlutoucky");
    // Length-based: U+0000 is kept; characters CP1250 lacks stay.
    std::u16string t{u'\u010C', u'\0', u'\u4E00', u'x'};
    EXPECT_EQ(ConvertCodePageBuffer(t, 1, 0, true), 0);
    EXPECT_EQ(t, (std::u16string{u'C', u'\0', u'\u4E00', u'x'}));
    // Letters only: the symbols (positions 44-65) stay.
    EXPECT_EQ(ConvertCodePageString(u"§Č", r, 1, 0, true), 0);
    EXPECT_EQ(r, u"§C");
    EXPECT_EQ(ConvertCodePageString(u"§Č", r, 1, 0, false), 0);
    EXPECT_EQ(r, u"SC");
    std::u16string keep = u"Č";
    EXPECT_EQ(ConvertCodePageBuffer(keep, 13, 1, false), -2);
    EXPECT_EQ(ConvertCodePageBuffer(keep, 1, -1, false), -2);
    EXPECT_EQ(keep, u"Č");
}

TEST(EdtCodePages, NamesAndDefaults)
{
    QStringList names = GetCodePageNames();
    ASSERT_EQ(names.size(), 14);
    EXPECT_EQ(names[8], QString::fromUtf8("Kód Kamenických"));
    EXPECT_EQ(names[13], QStringLiteral("Unicode"));
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QComboBox combo;
    combo.addItem("old");
    FillCodePageCombo(&combo, names);
    EXPECT_EQ(combo.count(), 14);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("MS-Windows CP 1250"));
    EXPECT_EQ(std::u16string(GetCRLFModeName(2)), u"MAC");
    EXPECT_EQ(std::u16string(GetCRLFModeName(3)), u"");
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_FALSE(GetEdtDefaultUnicode());
    EXPECT_FALSE(GetEdtForceUnicode());
}

TEST_F(TextFileTest, LoadedLinesFormRunsOfMemory)
{
    // Loaded lines follow one another in memory (their line ends between
    // them): a run covers them; a changed line, with memory of its own,
    // ends the runs before and after it; the arena's chunks (2,097,152
    // units) end runs too.
    for (const char* end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(end[1] ? "CR LF" : end[0] == '\n' ? "LF" : "CR");
        std::string text;
        for (int i = 0; i < 3000; ++i)
            text += "line " + std::to_string(i) + (i % 10 == 0 ? "" : " of text") + end;
        text += std::string(3000000, 'w'); // one line into the next chunk
        dir.Write("r.txt", text);
        CEdtTextBuffer b;
        ASSERT_TRUE(b.LoadFromFile(U16(dir / "r.txt")));
        ASSERT_EQ(b.GetLineCount(), 3001);
        const edt::LineStore& s = b.GetLineStore();
        edt::TextRun run = s.RunFrom(0, 3000, SIZE_MAX);
        EXPECT_EQ(run.lines, 3000); // the long line lies in a new chunk
        EXPECT_EQ(run.begin, b.GetLineChars(0));
        EXPECT_EQ(run.end, b.GetLineChars(2999) + b.GetLineLength(2999));
        EXPECT_EQ(run.firstSize, size_t(b.GetLineLength(0)));
        for (int l : {0, 1, 10, 1234, 2999}) {
            EXPECT_EQ(s.LineOfRun(run, b.GetLineChars(l)), l);
            EXPECT_EQ(s.LineOfRun(run, b.GetLineChars(l) + b.GetLineLength(l)), l); // its end
        }
        // Limits: the last line, the units (the first line always).
        EXPECT_EQ(s.RunFrom(5, 9, SIZE_MAX).lines, 5);
        EXPECT_EQ(s.RunFrom(7, 3000, 1).lines, 1);
        const edt::TextRun some = s.RunFrom(100, 3000, 200);
        EXPECT_GT(some.lines, 5);
        EXPECT_LT(some.lines, 30);
        EXPECT_EQ(s.RunTo(2999, 0, SIZE_MAX).lines, 3000);
        EXPECT_EQ(s.RunTo(20, 15, SIZE_MAX).first, 15);
        // A change in line 1000.
        int el = 0, ec = 0;
        ASSERT_TRUE(b.InsertText(nullptr, 1000, 2, u"xx", el, ec, EDT_ACTION_TYPING));
        run = s.RunFrom(0, 3000, SIZE_MAX);
        EXPECT_EQ(run.lines, 1000);
        EXPECT_EQ(s.RunFrom(1000, 3000, SIZE_MAX).lines, 1);
        EXPECT_EQ(s.RunFrom(1001, 3000, SIZE_MAX).lines, 1999);
        EXPECT_EQ(s.RunTo(2999, 0, SIZE_MAX).first, 1001);
        EXPECT_EQ(s.RunTo(999, 0, SIZE_MAX).lines, 1000);
        // A line shortened at its end keeps its memory, but the units after
        // it are no line end any more.
        ASSERT_EQ(Line(b, 2000), u"line 2000");
        ASSERT_TRUE(b.DeleteText(nullptr, 2000, 6, 2000, 9, EDT_ACTION_DELETE));
        EXPECT_EQ(s.RunFrom(1001, 3000, SIZE_MAX).lines, 1000);
        EXPECT_EQ(s.RunFrom(2001, 3000, SIZE_MAX).lines, 999);
    }
}
