// The text buffer: lines, changes, notifications, bookmarks and undo.

#include "editor/EdtTextBuffer.h"

#include <gtest/gtest.h>

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
