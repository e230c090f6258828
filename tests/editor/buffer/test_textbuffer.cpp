// The text buffer: lines, changes, notifications, bookmarks and undo.

#include "editor/buffer/EdtTextBuffer.h"

#include "tests/support/platform/TempDir.h"

#include "platform/sys/CodePage.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Note
{
    IEdtBufferListener* source;
    uint32_t flags;
    int line;
    EdtPoint begin{-1, -1};
    EdtPoint end{-1, -1};
};

class RecordingView : public IEdtBufferListener
{
public:
    void UpdateView(IEdtBufferListener* source, const UpdateContext* ctx, uint32_t flags,
                    int line) override
    {
        Note n{source, flags, line};
        if (ctx) {
            n.begin = ctx->begin;
            n.end = ctx->end;
        }
        notes.push_back(n);
    }
    void OnEditOperation(int action, std::u16string_view text) override
    {
        ops.emplace_back(action, std::u16string(text));
    }
    std::vector<Note> notes;
    std::vector<std::pair<int, std::u16string>> ops;
};

std::u16string Line(const CEdtTextBuffer& b, int l)
{
    return std::u16string(b.GetLineChars(l), static_cast<size_t>(b.GetLineLength(l)));
}

std::u16string All(const CEdtTextBuffer& b)
{
    std::u16string t;
    int last = b.GetLineCount() - 1;
    b.GetText(0, 0, last, b.GetLineLength(last), t, u"|");
    return t;
}

void Fill(CEdtTextBuffer& b, std::u16string_view text)
{
    b.InitNew();
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, text, el, ec, EDT_ACTION_PASTE));
}

} // namespace

TEST(EdtTextBuffer, NewBufferAndAccessors)
{
    CEdtTextBuffer b;
    EXPECT_FALSE(b.IsInitialized());
    EXPECT_EQ(b.GetLineCount(), 0);
    EXPECT_EQ(b.GetLastChangePos(), (EdtPoint{-1, -1}));
    RecordingView v;
    b.AddView(&v);
    EXPECT_TRUE(b.InitNew(1));
    EXPECT_TRUE(b.IsInitialized());
    EXPECT_EQ(b.GetLineCount(), 1);
    EXPECT_EQ(b.GetLineLength(0), 0);
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_FALSE(b.IsModified());
    EXPECT_FALSE(b.GetLoadedFromFile());
    ASSERT_EQ(v.notes.size(), 1u);
    EXPECT_EQ(v.notes[0].flags, EDT_UPD_RESET);
    EXPECT_EQ(v.notes[0].line, -1);
    b.SetCRLFMode(-1);
    EXPECT_EQ(b.GetCRLFMode(), 1);
    EXPECT_THROW(b.GetLineLength(1), std::out_of_range);
    EXPECT_THROW(b.GetLineChars(-1), std::out_of_range);
    EXPECT_THROW(b.GetLineFlags(5), std::out_of_range);
    b.SetCodePage(4);
    EXPECT_EQ(b.GetCodePage(), 4);
    b.SetCodePage(13);
    EXPECT_EQ(b.GetCodePage(), -1);
    b.FreeAll();
    EXPECT_FALSE(b.IsInitialized());
    EXPECT_EQ(b.GetLineCount(), 0);
}

TEST(EdtTextBuffer, InsertSplitsAtCrAndCrLfOnly)
{
    CEdtTextBuffer b;
    RecordingView v;
    b.AddView(&v);
    Fill(b, u"xyz");
    v.notes.clear();
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(&v, 0, 2, u"a\r\nb\rc", el, ec, EDT_ACTION_TYPING));
    ASSERT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(Line(b, 0), u"xya");
    EXPECT_EQ(Line(b, 1), u"b");
    EXPECT_EQ(Line(b, 2), u"cz");
    EXPECT_EQ(el, 2);
    EXPECT_EQ(ec, 1);
    ASSERT_EQ(v.notes.size(), 1u);
    EXPECT_EQ(v.notes[0].source, &v);
    EXPECT_EQ(v.notes[0].flags, EDT_UPD_LINES);
    EXPECT_EQ(v.notes[0].begin, (EdtPoint{2, 0}));
    EXPECT_EQ(v.notes[0].end, (EdtPoint{1, 2}));
    EXPECT_TRUE(b.IsModified());
    EXPECT_EQ(b.GetLastChangePos(), (EdtPoint{1, 2}));

    // A lone LF and U+0000 are ordinary characters.
    std::u16string odd{u'p', u'\n', u'\0', u'q'};
    ASSERT_TRUE(b.InsertText(nullptr, 1, 1, odd, el, ec, EDT_ACTION_TYPING));
    EXPECT_EQ(b.GetLineCount(), 3);
    EXPECT_EQ(Line(b, 1), std::u16string(u"b") + odd);
    EXPECT_EQ(v.notes.back().flags, EDT_UPD_LINE);
}

TEST(EdtTextBuffer, DeleteAcrossLines)
{
    CEdtTextBuffer b;
    RecordingView v;
    b.AddView(&v);
    Fill(b, u"ab\r\ncd\r\nef");
    v.notes.clear();
    ASSERT_TRUE(b.DeleteText(nullptr, 0, 1, 2, 1, EDT_ACTION_DELETE));
    ASSERT_EQ(b.GetLineCount(), 1);
    EXPECT_EQ(Line(b, 0), u"af");
    ASSERT_EQ(v.notes.size(), 1u);
    EXPECT_EQ(v.notes[0].flags, EDT_UPD_LINES);
    EXPECT_EQ(v.notes[0].line, 0);
    EXPECT_EQ(b.GetLastChangePos(), (EdtPoint{1, 0}));
}

TEST(EdtTextBuffer, BadPositionsChangeNothing)
{
    CEdtTextBuffer b;
    Fill(b, u"ab\r\ncd");
    int el = 7, ec = 7;
    EXPECT_FALSE(b.InsertText(nullptr, 2, 0, u"x", el, ec, 1));
    EXPECT_FALSE(b.InsertText(nullptr, 0, 3, u"x", el, ec, 1));
    EXPECT_FALSE(b.InsertText(nullptr, -1, 0, u"x", el, ec, 1));
    EXPECT_FALSE(b.DeleteText(nullptr, 1, 1, 0, 0, 1));
    EXPECT_FALSE(b.DeleteText(nullptr, 0, 2, 0, 1, 1));
    EXPECT_FALSE(b.DeleteText(nullptr, 0, 0, 1, 3, 1));
    EXPECT_EQ(All(b), u"ab|cd");
    std::u16string t = u"junk";
    b.GetText(0, 0, 1, 5, t);
    EXPECT_TRUE(t.empty());
    b.GetText(1, 1, 0, 0, t);
    EXPECT_TRUE(t.empty());
    b.GetText(0, 1, 1, 1, t);
    EXPECT_EQ(t, u"b\r\nc");

    b.SetReadOnly(true);
    EXPECT_FALSE(b.InsertText(nullptr, 0, 0, u"x", el, ec, 1));
    EXPECT_FALSE(b.DeleteText(nullptr, 0, 0, 0, 1, 1));
    EdtPoint caret{5, 5};
    EXPECT_FALSE(b.Undo(caret));
    EXPECT_EQ(caret, (EdtPoint{5, 5}));
    EXPECT_EQ(All(b), u"ab|cd");
}

TEST(EdtTextBuffer, ContextsMovePoints)
{
    InsertContext ins({2, 1}, {3, 3});
    EdtPoint p{5, 0};
    ins.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{5, 0}));
    p = {2, 1};
    ins.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{2, 1}));
    p = {4, 1};
    ins.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{5, 3}));
    p = {0, 2};
    ins.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{0, 4}));

    DeleteContext del({2, 1}, {3, 3});
    p = {9, 0};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{9, 0}));
    p = {7, 3};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{6, 1}));
    p = {1, 5};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{1, 3}));
    p = {1, 2};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{2, 1}));
    p = {1, 1};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{1, 1}));
    p = {8, 1};
    del.RecalcPoint(p);
    EXPECT_EQ(p, (EdtPoint{2, 1}));
}

TEST(EdtTextBuffer, UndoRedoGroups)
{
    CEdtTextBuffer b;
    RecordingView v;
    b.AddView(&v);
    b.InitNew();
    int el = 0, ec = 0;
    b.BeginUndoGroup();
    ASSERT_TRUE(b.InsertText(&v, 0, 0, u"a", el, ec, EDT_ACTION_TYPING));
    ASSERT_TRUE(b.InsertText(&v, 0, 1, u"b", el, ec, EDT_ACTION_TYPING));
    b.FlushUndoGroup(&v);
    ASSERT_EQ(v.ops.size(), 1u);
    EXPECT_EQ(v.ops[0].first, EDT_ACTION_TYPING);
    EXPECT_EQ(v.ops[0].second, u"b");
    // An empty group calls no hook.
    b.BeginUndoGroup();
    b.FlushUndoGroup(&v);
    EXPECT_EQ(v.ops.size(), 1u);

    EXPECT_TRUE(b.CanUndo());
    EXPECT_FALSE(b.CanRedo());
    EdtPoint caret{-1, -1};
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_EQ(All(b), u"");
    EXPECT_EQ(caret, (EdtPoint{0, 0}));
    EXPECT_FALSE(b.CanUndo());
    EXPECT_FALSE(b.IsModified());
    EXPECT_FALSE(b.Undo(caret));
    ASSERT_TRUE(b.Redo(caret));
    EXPECT_EQ(All(b), u"ab");
    EXPECT_EQ(caret, (EdtPoint{2, 0}));  // one-character record restored by redo
    EXPECT_FALSE(b.Redo(caret));

    // Merging with the previous group.
    b.BeginUndoGroup(true);
    ASSERT_TRUE(b.InsertText(&v, 0, 2, u"c", el, ec, EDT_ACTION_TYPING));
    b.FlushUndoGroup(&v);
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_EQ(All(b), u"");
}

TEST(EdtTextBuffer, GroupResultsLastRecordAndChangeCount)
{
    CEdtTextBuffer b;
    RecordingView v;
    b.AddView(&v);
    uint64_t n = b.GetChangeCount();
    b.InitNew();
    EXPECT_GT(b.GetChangeCount(), n);
    int action = 0;
    EdtPoint end;
    EXPECT_FALSE(b.GetLastUndoRecord(action, end));
    int el = 0, ec = 0;
    b.BeginUndoGroup();
    EXPECT_FALSE(b.FlushUndoGroup(&v));  // an empty group added nothing
    n = b.GetChangeCount();
    b.BeginUndoGroup();
    ASSERT_TRUE(b.InsertText(&v, 0, 0, u"abc", el, ec, EDT_ACTION_TYPING));
    EXPECT_TRUE(b.FlushUndoGroup(&v));
    EXPECT_EQ(b.GetChangeCount(), n + 1);
    ASSERT_TRUE(b.GetLastUndoRecord(action, end));
    EXPECT_EQ(action, EDT_ACTION_TYPING);
    EXPECT_EQ(end, (EdtPoint{3, 0}));
    ASSERT_TRUE(b.DeleteText(&v, 0, 1, 0, 2, EDT_ACTION_DELETE));
    ASSERT_TRUE(b.GetLastUndoRecord(action, end));
    EXPECT_EQ(action, EDT_ACTION_DELETE);
    EXPECT_EQ(end, (EdtPoint{1, 0}));  // a deletion ends where it began
    EdtPoint caret;
    n = b.GetChangeCount();
    ASSERT_TRUE(b.Undo(caret));
    ASSERT_TRUE(b.Redo(caret));
    EXPECT_EQ(b.GetChangeCount(), n + 2);
    b.FreeAll();
    EXPECT_EQ(b.GetChangeCount(), n + 3);
    b.RemoveView(&v);
}

TEST(EdtTextBuffer, UndoRestoresDeletedLinesExactly)
{
    CEdtTextBuffer b;
    b.InitNew();
    int el = 0, ec = 0;
    // Lines holding CR and LF characters of their own (as a UNIX file can).
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"one\r\ntwo\r\nthree", el, ec, 1));
    ASSERT_TRUE(b.InsertText(nullptr, 1, 1, u"\n", el, ec, 1));
    b.DeleteText(nullptr, 0, 0, 0, 3, 1);  // "one" -> ""
    std::u16string before = All(b);
    int lines = b.GetLineCount();
    RecordingView v;
    b.AddView(&v);
    ASSERT_TRUE(b.DeleteText(&v, 0, 0, 2, 2, EDT_ACTION_CUT));
    ASSERT_EQ(v.ops.size(), 1u);
    EXPECT_EQ(v.ops[0].second, u"\r\nt\nwo\r\nth");
    EdtPoint caret;
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_EQ(b.GetLineCount(), lines);
    EXPECT_EQ(All(b), before);
    EXPECT_EQ(caret, (EdtPoint{2, 2}));
}

TEST(EdtTextBuffer, UndoLimitDropsOldestGroupAndOpenGroupStays)
{
    CEdtTextBuffer b;
    b.InitNew();
    int el = 0, ec = 0;
    b.BeginUndoGroup();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"x", el, ec, EDT_ACTION_PASTE));
    b.FlushUndoGroup(nullptr);
    for (int i = 3; i < 1024; ++i)
        ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"y", el, ec, EDT_ACTION_TYPING));
    // 1024 records; the 1025th drops the first group of three.
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"z", el, ec, EDT_ACTION_TYPING));
    EdtPoint caret;
    int undos = 0;
    while (b.Undo(caret))
        ++undos;
    EXPECT_EQ(undos, 1022);
    EXPECT_EQ(All(b), u"xxx");
    EXPECT_TRUE(b.IsModified());  // the saved (empty) state was dropped

    // One open group larger than the limit is kept whole.
    CEdtTextBuffer big;
    big.InitNew();
    big.BeginUndoGroup();
    for (int i = 0; i < 1100; ++i)
        ASSERT_TRUE(big.InsertText(nullptr, 0, 0, u"q", el, ec, EDT_ACTION_TYPING));
    big.FlushUndoGroup(nullptr);
    ASSERT_TRUE(big.Undo(caret));
    EXPECT_EQ(All(big), u"");
    EXPECT_FALSE(big.IsModified());
}

TEST(EdtTextBuffer, LineFlagsAndBookmarks)
{
    CEdtTextBuffer b;
    RecordingView v;
    b.AddView(&v);
    Fill(b, u"0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11");
    v.notes.clear();
    b.SetLineFlag(4, EDT_LF_BOOKMARK(3), true, false);
    b.SetLineFlag(10, EDT_LF_BOOKMARK(3), true, true);
    EXPECT_EQ(b.GetLineFlags(4), 0u);
    EXPECT_EQ(b.GetLineFlags(10), EDT_LF_BOOKMARK(3));
    ASSERT_EQ(v.notes.size(), 3u);
    EXPECT_EQ(v.notes[1].line, 4);
    EXPECT_EQ(v.notes[2].line, 10);
    EXPECT_EQ(v.notes[2].flags, EDT_UPD_FLAGS);
    b.SetLineFlag(10, EDT_LF_BOOKMARK(3), true, true);  // unchanged: no notice
    b.SetLineFlag(2, 0x3, true, false);                 // two bits: ignored
    EXPECT_EQ(v.notes.size(), 3u);
    EXPECT_EQ(b.GetLineWithFlag(EDT_LF_BOOKMARK(3)), 10);
    EXPECT_EQ(b.GetLineWithFlag(0x9), -1);
    EXPECT_EQ(b.FindLineWithFlag(0x9), 10);
    b.SetLineFlag(-1, EDT_LF_BOOKMARK(3), false, true);
    EXPECT_EQ(b.FindLineWithFlag(EDT_LF_BOOKMARK(3)), -1);

    EXPECT_EQ(b.FindNextBookmarkLine(0), -1);
    b.SetLineFlag(5, EDT_LF_BOOKMARK_UNNAMED, true, false);
    EXPECT_EQ(b.FindNextBookmarkLine(5), 5);  // wraps back to itself
    EXPECT_EQ(b.FindPrevBookmarkLine(5), 5);
    b.SetLineFlag(8, EDT_LF_BOOKMARK_UNNAMED, true, false);
    EXPECT_EQ(b.FindNextBookmarkLine(5), 8);
    EXPECT_EQ(b.FindNextBookmarkLine(9), 5);
    EXPECT_EQ(b.FindNextBookmarkLine(6), 8);
    EXPECT_EQ(b.FindPrevBookmarkLine(8), 5);
    EXPECT_EQ(b.FindPrevBookmarkLine(3), 8);
}

TEST(EdtTextBuffer, ManyLinesStayInOrder)
{
    CEdtTextBuffer b;
    b.InitNew();
    int el = 0, ec = 0;
    std::u16string text;
    for (int i = 0; i < 5000; ++i)
        text += u"L\r\n";
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, text, el, ec, 1));
    EXPECT_EQ(b.GetLineCount(), 5001);
    ASSERT_TRUE(b.InsertText(nullptr, 2500, 0, u"mid\r\n", el, ec, 1));
    EXPECT_EQ(Line(b, 2500), u"mid");
    EXPECT_EQ(Line(b, 2501), u"L");
    ASSERT_TRUE(b.DeleteText(nullptr, 10, 0, 4000, 0, 1));
    EXPECT_EQ(b.GetLineCount(), 5002 - 3990);
    EdtPoint caret;
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_EQ(b.GetLineCount(), 5002);
    EXPECT_EQ(Line(b, 2500), u"mid");
    EXPECT_EQ(Line(b, 5001), u"");
}

TEST(EdtTextBuffer, ActionDescriptions)
{
    CEdtTextBuffer b;
    std::u16string t;
    EXPECT_TRUE(b.GetActionDescription(EDT_ACTION_PASTE, t));
    EXPECT_EQ(t, u"vložení");
    EXPECT_TRUE(b.GetActionDescription(EDT_ACTION_SPELL, t));
    EXPECT_EQ(t, u"kontrolu pravopisu");
    EXPECT_TRUE(b.GetActionDescription(EDT_ACTION_SWAPCASE, t));
    EXPECT_EQ(t, u"prohození malá/velká");
    EXPECT_TRUE(b.GetActionDescription(0, t));
    EXPECT_EQ(t, u"Neznámý");
    EXPECT_TRUE(b.GetActionDescription(20, t));
    EXPECT_EQ(t, u"Neznámý");

    b.InitNew();
    EXPECT_FALSE(b.GetUndoDescription(t));
    EXPECT_TRUE(t.empty());
    int el = 0, ec = 0;
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"ab", el, ec, EDT_ACTION_CUT));
    b.BeginUndoGroup();
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"x", el, ec, EDT_ACTION_INDENT));
    ASSERT_TRUE(b.InsertText(nullptr, 0, 0, u"y", el, ec, EDT_ACTION_TYPING));
    b.FlushUndoGroup(nullptr);
    EXPECT_TRUE(b.GetUndoDescription(t));
    EXPECT_EQ(t, u"odsazení");  // the action of the group's first record
    EXPECT_TRUE(b.GetUndoDescription(t, 1));
    EXPECT_EQ(t, u"vyjmutí");
    EXPECT_FALSE(b.GetRedoDescription(t));
    EdtPoint caret;
    ASSERT_TRUE(b.Undo(caret));
    EXPECT_TRUE(b.GetRedoDescription(t));
    EXPECT_EQ(t, u"odsazení");
}

// ---------------------------------------------------------------- property test

namespace {

constexpr char16_t kBreak = u'\uFFFF';  // a line break in the flat model

// The buffer's text with kBreak between the lines.
std::u16string Flat(const CEdtTextBuffer& b)
{
    std::u16string t;
    int last = b.GetLineCount() - 1;
    b.GetText(0, 0, last, b.GetLineLength(last), t, std::u16string(1, kBreak));
    return t;
}

// Inserted text as the model sees it: CR LF and a lone CR break the line,
// a lone LF does not.
std::u16string AsModel(std::u16string_view text)
{
    std::u16string m;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r') {
            m += text[i];
            continue;
        }
        m += kBreak;
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return m;
}

size_t Offset(const std::u16string& model, int line, int ch)
{
    size_t pos = 0;
    for (int l = 0; l < line; ++l)
        pos = model.find(kBreak, pos) + 1;
    return pos + static_cast<size_t>(ch);
}

std::u16string RandomText(std::mt19937& gen)
{
    static const std::u16string kTokens[] = {u"a", u"xyz", u"\r\n", u"\r", u"\n", u"Žluť",
                                             std::u16string(1, u'\0'), u"long piece of text"};
    std::uniform_int_distribution<size_t> token(0, std::size(kTokens) - 1);
    std::uniform_int_distribution<int> count(1, 4);
    std::u16string t;
    for (int i = count(gen); i > 0; --i)
        t += kTokens[token(gen)];
    return t;
}

struct Edits
{
    CEdtTextBuffer& b;
    std::mt19937& gen;
    std::u16string& model;

    int Pick(int hi) { return std::uniform_int_distribution<int>(0, hi)(gen); }

    // One random change, applied to the buffer and the model.
    void Change()
    {
        int line = Pick(b.GetLineCount() - 1);
        int ch = Pick(b.GetLineLength(line));
        int el = 0, ec = 0;
        if (Pick(1) == 0) {
            std::u16string t = RandomText(gen);
            ASSERT_TRUE(b.InsertText(nullptr, line, ch, t, el, ec, EDT_ACTION_TYPING));
            model.insert(Offset(model, line, ch), AsModel(t));
        } else {
            int line2 = std::min(b.GetLineCount() - 1, line + Pick(2));
            int ch2 = Pick(b.GetLineLength(line2));
            if (line2 == line && ch2 < ch)
                std::swap(ch, ch2);
            size_t from = Offset(model, line, ch);
            size_t to = Offset(model, line2, ch2);
            ASSERT_TRUE(b.DeleteText(nullptr, line, ch, line2, ch2, EDT_ACTION_DELETE));
            model.erase(from, to - from);
        }
    }
};

} // namespace

TEST(EdtTextBuffer, RandomEditsUndoRedoAndSavesMatchAFlatModel)
{
    testsupport::TempDir dir;
    // Start files in each style; the UNIX and MAC ones hold the other
    // styles' line-end characters inside their lines.
    const std::vector<std::pair<std::string, std::string>> starts = {
        {"dos.txt", "PROGRAM\r\n  LD A\r\n\r\n  ST\nB\r\nEND"},
        {"unix.txt", "PROGRAM\r\n  LD A\r\n\n  ST\rB\nEND\n"},
        {"mac.txt", "PROGRAM\r  LD A\n\r\r  ST\r\nB\rEND"},
    };
    RecordingView view;
    long steps = 0;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        for (const auto& [name, bytes] : starts) {
            SCOPED_TRACE(name + " seed " + std::to_string(seed));
            std::mt19937 gen(seed * 7919u + static_cast<unsigned>(name.size()));
            dir.Write(name, bytes);
            CEdtTextBuffer b;
            b.AddView(&view);
            ASSERT_TRUE(b.LoadFromFile(sys::Utf8ToUtf16Lenient(dir / name)));
            const std::u16string start = Flat(b);
            std::u16string model = start;
            std::u16string saved = start;
            std::vector<std::u16string> states{start};  // text after each group
            size_t pos = 0;
            int records = 0;
            Edits edits{b, gen, model};
            auto commit = [&](bool merge) {
                states.resize(pos + 1);
                if (merge && pos > 0) {
                    states[pos] = model;
                } else {
                    states.push_back(model);
                    ++pos;
                }
            };
            for (int step = 0; step < 700 && records < 1000; ++step, ++steps) {
                int what = edits.Pick(99);
                EdtPoint caret;
                if (what < 50) {  // one change, its own group
                    ASSERT_NO_FATAL_FAILURE(edits.Change());
                    ++records;
                    commit(false);
                } else if (what < 62) {  // a group of changes
                    bool merge = edits.Pick(3) == 0;
                    b.BeginUndoGroup(merge);
                    int n = 1 + edits.Pick(3);
                    for (int i = 0; i < n; ++i)
                        ASSERT_NO_FATAL_FAILURE(edits.Change());
                    b.FlushUndoGroup(&view);
                    records += n;
                    commit(merge && pos > 0);
                } else if (what < 76) {
                    ASSERT_EQ(b.Undo(caret), pos > 0);
                    if (pos > 0)
                        model = states[--pos];
                } else if (what < 88) {
                    ASSERT_EQ(b.Redo(caret), pos + 1 < states.size());
                    if (pos + 1 < states.size())
                        model = states[++pos];
                } else if (what < 89) {  // a save (each one waits for fsync)
                    ASSERT_TRUE(b.SaveToFile(sys::Utf8ToUtf16Lenient(dir / "saved.txt")));
                    EXPECT_FALSE(b.IsModified());
                    saved = model;
                } else if (what < 95) {  // undo then redo gives the same text
                    if (b.CanUndo()) {
                        ASSERT_TRUE(b.Undo(caret));
                        ASSERT_TRUE(b.Redo(caret));
                    }
                } else {  // refused changes change nothing
                    int el = 0, ec = 0;
                    int lines = b.GetLineCount();
                    EXPECT_FALSE(b.InsertText(nullptr, lines, 0, u"x", el, ec, 1));
                    EXPECT_FALSE(b.InsertText(nullptr, 0, b.GetLineLength(0) + 1, u"x", el, ec, 1));
                    EXPECT_FALSE(b.DeleteText(nullptr, lines - 1, 0, lines, 0, 1));
                    b.SetReadOnly(true);
                    EXPECT_FALSE(b.InsertText(nullptr, 0, 0, u"x", el, ec, 1));
                    EXPECT_FALSE(b.DeleteText(nullptr, 0, 0, 0, b.GetLineLength(0), 1));
                    EXPECT_FALSE(b.Undo(caret));
                    EXPECT_FALSE(b.Redo(caret));
                    b.SetReadOnly(false);
                }
                ASSERT_EQ(Flat(b), model) << "step " << step;
                if (!b.IsModified()) {
                    ASSERT_EQ(model, saved) << "not modified, but differs at step " << step;
                }
            }
            EdtPoint caret;
            while (b.Undo(caret)) {
            }
            EXPECT_EQ(Flat(b), start);
            b.RemoveView(&view);
        }
    }
    EXPECT_GT(steps, 5000);
}
