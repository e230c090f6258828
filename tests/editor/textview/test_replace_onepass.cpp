// Replace all in one pass against the match-by-match path on the same
// texts: the same text, count, caret, tracked points, modified state and
// messages, and one Undo and Redo of the whole.

#include "EditViewTest.h"

#include "editor/find/EdtReplaceTesting.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"

#include <gtest/gtest.h>

#include <random>

using namespace testsupport::ui;

namespace {

struct Result
{
    std::u16string text, undone, redone;
    int count = 0;
    EdtPoint caret, selStart, selEnd, start, blockBegin, blockEnd, undoCaret, redoCaret;
    bool modified = false;
    int beeps = 0;
    size_t prompts = 0;
};

struct Case
{
    std::u16string text, find, replacement;
    uint32_t flags = 0;
    int scope = 1;
    EdtPoint start, blockBegin, blockEnd;
};

Result Run(const Case& c, bool stepwise)
{
    edt::SetReplaceAllStepwise(stepwise);
    auto v = MakeEditView(c.text);
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    CEdtEditView::ReplaceState& r = v->Replace();
    r = {};
    r.scope = c.scope;
    r.start = c.start;
    r.blockBegin = c.blockBegin;
    r.blockEnd = c.blockEnd;
    const int beeps = ui::BeepCount();
    Result out;
    out.count = v->ReplaceAll(c.find, c.replacement, c.flags);
    edt::SetReplaceAllStepwise(false);
    out.text = AllText(*v);
    out.caret = v->GetCursorPos();
    v->GetSelection(out.selStart, out.selEnd);
    out.start = r.start;
    out.blockBegin = r.blockBegin;
    out.blockEnd = r.blockEnd;
    out.modified = v->buffer.IsModified();
    out.beeps = ui::BeepCount() - beeps;
    out.prompts = prompts.Texts().size();
    if (v->buffer.Undo(out.undoCaret)) {
        out.undone = AllText(*v);
        v->buffer.Redo(out.redoCaret);
        out.redone = AllText(*v);
    }
    return out;
}

std::string Describe(const Case& c)
{
    auto s = [](const std::u16string& t) { return QString::fromStdU16String(t).toStdString(); };
    return "text \"" + s(c.text) + "\" find \"" + s(c.find) + "\" by \"" + s(c.replacement) +
           "\" flags " + std::to_string(c.flags) + " scope " + std::to_string(c.scope) + " start " +
           std::to_string(c.start.line) + ":" + std::to_string(c.start.ch) + " block " +
           std::to_string(c.blockBegin.line) + ":" + std::to_string(c.blockBegin.ch) + "-" +
           std::to_string(c.blockEnd.line) + ":" + std::to_string(c.blockEnd.ch);
}

void ExpectSame(const Case& c)
{
    const Result a = Run(c, true), b = Run(c, false);
    SCOPED_TRACE(Describe(c));
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.caret, b.caret);
    EXPECT_EQ(a.selStart, b.selStart);
    EXPECT_EQ(a.selEnd, b.selEnd);
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.blockBegin, b.blockBegin);
    EXPECT_EQ(a.blockEnd, b.blockEnd);
    EXPECT_EQ(a.modified, b.modified);
    EXPECT_EQ(a.beeps, b.beeps);
    EXPECT_EQ(a.prompts, b.prompts);
    EXPECT_EQ(b.undone, a.undone);
    EXPECT_EQ(a.undoCaret, b.undoCaret);
    EXPECT_EQ(b.redone, a.text);
    EXPECT_EQ(a.redoCaret, b.redoCaret);
    if (a.text != c.text) {
        EXPECT_EQ(b.undone, c.text);
    }
}

} // namespace

TEST(ReplaceOnePass, ChosenCasesMatchTheSteps)
{
    const std::vector<Case> cases = {
        // Plain, case-insensitive, whole words (the replacement's last
        // character decides the next word's start).
        {u"a a\r\na", u"a", u"ba", 0, 1, {2, 0}, {}, {}},
        {u"aAa aa\r\nAAA", u"a", u"", 0, 1, {1, 0}, {}, {}},
        {u"ab ab_ab ab", u"ab", u"x", EDT_FIND_WHOLE_WORD | EDT_FIND_MATCH_CASE, 1, {}, {}, {}},
        {u"a a a", u"a", u"b", EDT_FIND_WHOLE_WORD, 1, {}, {}, {}},
        {u"aa aa", u"a", u"-", EDT_FIND_WHOLE_WORD, 1, {}, {}, {}},
        // Line breaks in the replacement, plain (CR splits) and with the
        // dialect (LF becomes CR LF); a lone LF of the text stays.
        {u"x\r\nm m\r\nm\r\ny m", u"m", u"1\r\n2", 0, 0, {0, 1}, {0, 1}, {1, 2}},
        {u"m\nm m", u"m", u"\r", EDT_FIND_MATCH_CASE, 1, {}, {}, {}},
        {u"a;b;c", u";", u"\\n", EDT_FIND_REGEXP, 1, {1, 0}, {}, {}},
        // Groups, a failing substitution in the middle of a line.
        {u"key=1 val=22\r\nz=3", u"(\\w+)=\\d+", u"\\1", EDT_FIND_REGEXP, 1, {}, {}, {}},
        {u"ab axb ab", u"a(x)?b", u"[\\1]", EDT_FIND_REGEXP, 1, {}, {}, {}},
        // Empty matches: one per line, at the line ends too.
        {u"abc\r\n\r\nx", u"b*", u"-", EDT_FIND_REGEXP, 1, {}, {}, {}},
        {u"abc\r\nde", u"$", u"!", EDT_FIND_REGEXP, 1, {}, {}, {}},
        // Assertions that look before the search start: the text start
        // and word starts after a replacement.
        {u"aaab aa", u"^a", u"", EDT_FIND_REGEXP, 1, {}, {}, {}},
        {u"aaa aa", u"<a", u"-", EDT_FIND_REGEXP, 1, {}, {}, {}},
        {u"a-a-a", u"a>", u"b", EDT_FIND_REGEXP, 1, {}, {}, {}},
        // A match ending at the block end; an empty match there.
        {u"ab", u"b+|>", u"-", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {2, 0}},
        {u"xab\r\nab", u"b+|>", u"-", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {2, 1}},
        {u"abab\r\nab", u"ab", u"X", 0, 0, {1, 0}, {1, 0}, {2, 1}},
        // Whole file from the middle: the wrap up to the start.
        {u"a1 a2\r\na3 a4\r\na5", u"a", u"bb", 0, 1, {4, 1}, {}, {}},
        {u"a1 a2\r\na3 a4", u"a\\d", u"<\\0>", EDT_FIND_REGEXP, 1, {2, 1}, {}, {}},
    };
    for (const Case& c : cases)
        ExpectSame(c);
}

TEST(ReplaceOnePass, AMatchReachingTheBlockEndEndsTheBlock)
{
    struct Expected
    {
        Case c;
        std::u16string text;
        int count;
    };
    const std::vector<Expected> cases = {
        // A match ending at the block end: the rest is not searched again.
        {{u"ab", u"b+|>", u"-", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {2, 0}}, u"a-", 1},
        // Empty matches, one a line, on a block ending before the text's
        // last line: at the block end once (these looped for ever).
        {{u"ab\r\ncd\r\nef", u"x*", u"-", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {2, 1}},
         u"-ab\r\n-cd\r\nef",
         2},
        {{u"ab\r\ncd\r\nef", u"$", u"!", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {2, 1}},
         u"ab!\r\ncd!\r\nef",
         2},
        {{u"ab\r\ncd\r\nef", u"$", u"!", EDT_FIND_REGEXP, 0, {0, 0}, {0, 0}, {0, 2}},
         u"ab!\r\ncd!\r\nef",
         2},
        // The same in the second part of the whole file, up to the start.
        {{u"ab\r\ncd\r\nef", u"x*", u"-", EDT_FIND_REGEXP, 1, {1, 1}, {}, {}},
         u"-ab\r\n-c-d\r\n-ef",
         4},
        {{u"ab\r\ncd\r\nef", u"$", u"!", EDT_FIND_REGEXP, 1, {1, 1}, {}, {}},
         u"ab!\r\ncd!\r\nef!",
         3},
    };
    for (const Expected& e : cases) {
        for (bool stepwise : {true, false}) {
            const Result got = ::Run(e.c, stepwise);
            EXPECT_EQ(got.text, e.text) << Describe(e.c) << (stepwise ? " (steps)" : " (one pass)");
            EXPECT_EQ(got.count, e.count)
                << Describe(e.c) << (stepwise ? " (steps)" : " (one pass)");
        }
    }
}

TEST(ReplaceOnePass, RandomTextsMatchTheSteps)
{
    std::mt19937 gen(4711);
    const char16_t alphabet[] = u"aab b-_A\t";
    // Patterns that never match empty, and some that do.
    struct Pattern
    {
        const char16_t* find;
        uint32_t flags;
    };
    const Pattern patterns[] = {
        {u"a", 0},
        {u"ab", EDT_FIND_MATCH_CASE},
        {u"a", EDT_FIND_WHOLE_WORD},
        {u"b", EDT_FIND_WHOLE_WORD | EDT_FIND_MATCH_CASE},
        {u"a+", EDT_FIND_REGEXP},
        {u"<\\w", EDT_FIND_REGEXP},
        {u"\\w>", EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE},
        {u"^.", EDT_FIND_REGEXP},
        {u"(a)(b)?", EDT_FIND_REGEXP},
        {u"b*", EDT_FIND_REGEXP},
        {u"$", EDT_FIND_REGEXP},
        {u"<", EDT_FIND_REGEXP},
    };
    const char16_t* replacements[] = {u"", u"x", u"ab", u"-", u"\\2", u"\\0\\0", u"q\\nr", u"a\r\nb"};
    for (int round = 0; round < 300; ++round) {
        Case c;
        const int lines = 1 + int(gen() % 4);
        for (int l = 0; l < lines; ++l) {
            if (l)
                c.text += u"\r\n";
            const int len = int(gen() % 12);
            for (int i = 0; i < len; ++i)
                c.text.push_back(alphabet[gen() % (std::size(alphabet) - 1)]);
        }
        const Pattern& p = patterns[gen() % std::size(patterns)];
        c.find = p.find;
        c.flags = p.flags;
        c.replacement = replacements[gen() % std::size(replacements)];
        auto lineLength = [&](int line) {
            size_t at = 0;
            for (int l = 0; l < line; ++l)
                at = c.text.find(u"\r\n", at) + 2;
            const size_t end = c.text.find(u"\r\n", at);
            return int((end == std::u16string::npos ? c.text.size() : end) - at);
        };
        auto point = [&](int line) { return EdtPoint{int(gen() % (lineLength(line) + 1)), line}; };
        c.scope = int(gen() % 2);
        if (c.scope == 1) {
            c.start = point(int(gen() % lines));
        } else {
            const int a = int(gen() % lines);
            const int b = a + int(gen() % (lines - a));
            c.blockBegin = point(a);
            c.blockEnd = point(b);
            if (b == a && c.blockEnd.ch < c.blockBegin.ch)
                std::swap(c.blockBegin, c.blockEnd);
            c.start = c.blockBegin;
        }
        ExpectSame(c);
        if (HasFailure())
            break;
    }
}

TEST(ReplaceOnePass, ManyMatchesOnOneLineAreOneUndoStep)
{
    std::u16string line;
    for (int i = 0; i < 20000; ++i)
        line += u"ab ";
    auto v = MakeEditView(line + u"\r\nab");
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    CEdtEditView::ReplaceState& r = v->Replace();
    r = {};
    r.scope = 1;
    const bool couldUndo = v->buffer.CanUndo(), wasModified = v->buffer.IsModified();
    EXPECT_EQ(v->ReplaceAll(u"ab", u"xyz", 0), 20001);
    EXPECT_EQ(v->GetLineLength(0), 20000 * 4);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{3, 1}));
    EXPECT_TRUE(v->buffer.IsModified());
    EdtPoint caret;
    ASSERT_TRUE(v->buffer.Undo(caret));
    EXPECT_EQ(AllText(*v), line + u"\r\nab");
    EXPECT_EQ(caret, (EdtPoint{2, 0}));
    EXPECT_EQ(v->buffer.CanUndo(), couldUndo);
    EXPECT_EQ(v->buffer.IsModified(), wasModified);
    ASSERT_TRUE(v->buffer.Redo(caret));
    EXPECT_EQ(v->GetLineLength(0), 20000 * 4);
    EXPECT_EQ(caret, (EdtPoint{3, 1}));
}
