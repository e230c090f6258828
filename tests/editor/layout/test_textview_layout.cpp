// The text view's layout arithmetic, without a display.

#include "editor/parsers/EdtParser.h"
#include "editor/layout/EdtViewLayout.h"

#include <gtest/gtest.h>

#include <random>

using namespace edt;

namespace {

struct Lines : ILayoutLines
{
    std::vector<std::u16string> text{u""};
    int tab = 4;
    int wrapWidth = 0;  // 0: no word wrap
    int LayoutLineCount() const override { return int(text.size()); }
    std::u16string_view LayoutLine(int line) const override { return text[size_t(line)]; }
    int LayoutTabSize() const override { return tab; }
    void LayoutBreaks(int line, std::vector<int>& breaks) const override
    {
        breaks.clear();
        if (wrapWidth > 0)
            EdtWrapLine(text[size_t(line)], tab, wrapWidth, &breaks);
    }
    BlockedCounts SubLines() const
    {
        BlockedCounts c;
        c.Reset(LayoutLineCount(), 1);
        std::vector<int> b;
        for (int i = 0; i < LayoutLineCount(); ++i) {
            LayoutBreaks(i, b);
            c.Set(i, int(b.size()) + 1);
        }
        return c;
    }
};

std::u16string Expand(std::u16string_view line, int tab, bool show, int first = 0, int last = 1000)
{
    std::u16string out;
    ExpandCells(line, 0, int(line.size()), 0, tab, show, first, last, out);
    return out;
}

} // namespace

TEST(TextViewLayout, TabExpansionAndMarks)
{
    EXPECT_EQ(Expand(u"\tx", 4, true), u"\u00BB   x");
    EXPECT_EQ(Expand(u"abc\tx", 4, true), u"abc\u00BBx");
    EXPECT_EQ(Expand(u"a b", 4, true), u"a\u2022b");
    EXPECT_EQ(Expand(u"a\tb", 4, false), u"a   b");
    // Controls, U+0000 and lone surrogates take one cell of U+FFFD; a pair
    // keeps its two units.
    EXPECT_EQ(Expand(std::u16string(u"a\0b\x01", 4), 4, false), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(Expand(u"\xD800x\xDC00", 4, false), u"\uFFFDx\uFFFD");
    EXPECT_EQ(Expand(u"\U0001F600z", 4, false), u"\U0001F600z");
    // Only the visible columns: a tab cut on the left loses its mark.
    std::u16string out;
    EXPECT_EQ(ExpandCells(u"\tab", 0, 3, 0, 4, true, 2, 5, out), 2);
    EXPECT_EQ(out, u"  a");
    EXPECT_EQ(ExpandCells(u"\U0001F600z", 0, 3, 0, 4, false, 1, 9, out), 1);
    EXPECT_EQ(out, u"\uFFFDz");
    EXPECT_EQ(ExpandedLength(u"\t\tx", 4), 9);
    EXPECT_EQ(ExpandedLength(u"ab\t", 0), 3);  // tab size below 1 counts as 1
}

TEST(TextViewLayout, CharColumnMapping)
{
    const std::u16string_view s = u"a\tbc\td";
    EXPECT_EQ(CharToColumn(s, 0, 4), 0);
    EXPECT_EQ(CharToColumn(s, 2, 4), 4);
    EXPECT_EQ(CharToColumn(s, 5, 4), 8);
    EXPECT_EQ(CharToColumn(s, 99, 4), 9);
    EXPECT_EQ(ColumnToChar(s, 0, 4), 0);
    EXPECT_EQ(ColumnToChar(s, 2, 4), 1);  // inside the tab
    EXPECT_EQ(ColumnToChar(s, 4, 4), 2);
    EXPECT_EQ(ColumnToChar(s, 50, 4), 6);
}

TEST(TextViewLayout, ClientTextConversion)
{
    Lines l;
    l.text = {u"a\tb", u"hello world foo", u""};
    BlockedCounts sub = l.SubLines();
    ViewMetrics m{10, 8, 20, 0, 0};
    // Column 4 ("b") is at x = 20 + 4 * 8.
    int x, y;
    TextPointToClient(l, sub, m, {2, 0}, x, y);
    EXPECT_EQ(x, 52);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 52, 5), (EdtPoint{2, 0}));
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 30, 5), (EdtPoint{1, 0}));  // inside the tab
    // The half-char shift the view adds: the right half of "a" gives char 1.
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 20 + 5 + 4, 5), (EdtPoint{1, 0}));
    // Below the text: the last line; left of the margin: char 0.
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 0, 500), (EdtPoint{0, 2}));
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 2000, 15), (EdtPoint{15, 1}));
    // Offset char and top sub-line.
    m.offsetChar = 2;
    m.topSubLine = 1;
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 20, 0), (EdtPoint{2, 1}));
    TextPointToClient(l, sub, m, {2, 1}, x, y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 0);
    // Word wrap: "hello world foo" at width 8 breaks at 6 and 12.
    l.wrapWidth = 8;
    sub = l.SubLines();
    EXPECT_EQ(sub.Total(), 5);
    m = {10, 8, 20, 0, 0};
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 20, 20), (EdtPoint{6, 1}));
    EXPECT_EQ(ClientToTextPoint(l, sub, m, 500, 20), (EdtPoint{11, 1}));  // end of the sub-line
    TextPointToClient(l, sub, m, {13, 1}, x, y);
    EXPECT_EQ(y, 30);
    EXPECT_EQ(x, 28);
}

TEST(TextViewLayout, SubLineIndexAgainstAPlainModel)
{
    std::mt19937 rng(7);
    BlockedCounts c;
    std::vector<int32_t> model;
    c.Reset(0, -1);
    auto eff = [](int32_t v) { return v < 1 ? 1 : v; };
    for (int step = 0; step < 3000; ++step) {
        const int op = int(rng() % 4);
        const int size = int(model.size());
        if (op == 0 || size == 0) {
            const int at = size ? int(rng() % (size + 1)) : 0;
            const int n = 1 + int(rng() % (step % 50 == 0 ? 9000 : 20));
            const int32_t v = int32_t(rng() % 5) - 1;
            c.Insert(at, n, v);
            model.insert(model.begin() + at, size_t(n), v);
        } else if (op == 1) {
            const int at = int(rng() % size);
            const int n = 1 + int(rng() % 30);
            c.Remove(at, n);
            model.erase(model.begin() + at, model.begin() + std::min(size, at + n));
        } else if (op == 2) {
            const int at = int(rng() % size);
            const int32_t v = int32_t(rng() % 6) - 1;
            c.Set(at, v);
            model[size_t(at)] = v;
        } else {
            const int a = int(rng() % size), b = int(rng() % size);
            c.Fill(std::min(a, b), std::max(a, b), -1);
            std::fill(model.begin() + std::min(a, b), model.begin() + std::max(a, b), -1);
        }
        ASSERT_EQ(c.Size(), int(model.size()));
        if (step % 97 == 0 && !model.empty()) {
            int64_t total = 0;
            for (int32_t v : model)
                total += eff(v);
            ASSERT_EQ(c.Total(), total);
            const int probe = int(rng() % model.size());
            int64_t before = 0;
            for (int i = 0; i < probe; ++i)
                before += eff(model[size_t(i)]);
            ASSERT_EQ(c.SumBefore(probe), before);
            ASSERT_EQ(c.Get(probe), model[size_t(probe)]);
            int idx, rest;
            c.Find(before, idx, rest);
            ASSERT_EQ(idx, probe);
            ASSERT_EQ(rest, 0);
        }
    }
}

TEST(TextViewLayout, CaretTargets)
{
    Lines l;
    l.text = {u"    x", u"foo  bar+=baz", u"", u"ab"};
    // Smart Home toggles between column 4 and 0.
    EXPECT_EQ(SmartHomeTarget(l, {5, 0}), (EdtPoint{4, 0}));
    EXPECT_EQ(SmartHomeTarget(l, {4, 0}), (EdtPoint{0, 0}));
    EXPECT_EQ(SmartHomeTarget(l, {0, 0}), (EdtPoint{4, 0}));
    // Words.
    EXPECT_EQ(WordRightTarget(l, {0, 1}), (EdtPoint{5, 1}));
    EXPECT_EQ(WordRightTarget(l, {5, 1}), (EdtPoint{8, 1}));
    EXPECT_EQ(WordRightTarget(l, {8, 1}), (EdtPoint{10, 1}));
    EXPECT_EQ(WordRightTarget(l, {13, 1}), (EdtPoint{0, 2}));  // next line, empty: stays there
    EXPECT_EQ(WordLeftTarget(l, {13, 1}), (EdtPoint{10, 1}));
    EXPECT_EQ(WordLeftTarget(l, {10, 1}), (EdtPoint{8, 1}));
    EXPECT_EQ(WordLeftTarget(l, {5, 1}), (EdtPoint{0, 1}));
    EXPECT_EQ(WordLeftTarget(l, {0, 1}), (EdtPoint{4, 0}));
    EXPECT_EQ(WordLeftTarget(l, {0, 0}), (EdtPoint{0, 0}));
    // Up and Down keep the ideal column; a short line ends the caret early.
    EXPECT_EQ(VerticalTarget(l, {12, 1}, 12, 1), (EdtPoint{0, 2}));
    EXPECT_EQ(VerticalTarget(l, {0, 2}, 12, 1), (EdtPoint{2, 3}));
    EXPECT_EQ(VerticalTarget(l, {2, 3}, 12, -2), (EdtPoint{12, 1}));
    EXPECT_EQ(VerticalTarget(l, {2, 3}, 12, 5), (EdtPoint{2, 3}));
    // End on wrapped lines: the sub-line's last character, the line end last.
    l.text = {u"hello world foo"};
    l.wrapWidth = 8;
    EXPECT_EQ(LineEndTarget(l, {1, 0}), (EdtPoint{5, 0}));
    EXPECT_EQ(LineEndTarget(l, {7, 0}), (EdtPoint{11, 0}));
    EXPECT_EQ(LineEndTarget(l, {13, 0}), (EdtPoint{15, 0}));
    EXPECT_EQ(LineStartTarget(l, {13, 0}), (EdtPoint{12, 0}));
    EXPECT_EQ(VerticalTarget(l, {2, 0}, 2, 1), (EdtPoint{8, 0}));
    int s, e;
    l.text = {u"ab cd_1+"};
    l.wrapWidth = 0;
    WordAround(l, {4, 0}, s, e);
    EXPECT_EQ(s, 3);
    EXPECT_EQ(e, 7);
}

TEST(TextViewLayout, BracketsWithNestingAndComments)
{
    Lines l;
    l.text = {u"f(a, (b)) // )", u"x = ( // )", u"  y)"};
    EdtPoint found;
    ASSERT_TRUE(FindMatchingBracket(l, {1, 0}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{8, 0}));
    ASSERT_TRUE(FindMatchingBracket(l, {9, 0}, u"/*", u"*/", u"//", found));  // after ")"
    EXPECT_EQ(found, (EdtPoint{2, 0}));
    // The partner after a line comment is not found; the next line's is.
    ASSERT_TRUE(FindMatchingBracket(l, {4, 1}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{3, 2}));
    // Backwards skips the commented part of each line.
    ASSERT_TRUE(FindMatchingBracket(l, {3, 2}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{4, 1}));
    // Block comments both ways, and brackets inside one comment pair up.
    l.text = {u"( /* ) */ )", u"/* ( */ x"};
    ASSERT_TRUE(FindMatchingBracket(l, {0, 0}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{10, 0}));
    ASSERT_TRUE(FindMatchingBracket(l, {10, 0}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{0, 0}));
    l.text = {u"a // (x)"};
    ASSERT_TRUE(FindMatchingBracket(l, {7, 0}, u"/*", u"*/", u"//", found));
    EXPECT_EQ(found, (EdtPoint{5, 0}));
    EXPECT_FALSE(FindMatchingBracket(l, {1, 0}, u"/*", u"*/", u"//", found));
    EXPECT_FALSE(HasBracketAt(l, {99, 3}));
}

TEST(TextViewLayout, GoToArithmetic)
{
    Lines l;
    l.text = {u"abcdef", u"ab", u"", u"abcdefgh", u"x"};
    const EdtPoint caret{5, 2};
    EdtPoint t;
    ASSERT_TRUE(GoToLineTarget(l, 0, false, caret, t));
    EXPECT_EQ(t.line, 0);
    ASSERT_TRUE(GoToLineTarget(l, 1, false, caret, t));
    EXPECT_EQ(t, (EdtPoint{5, 0}));
    ASSERT_TRUE(GoToLineTarget(l, 2, false, caret, t));
    EXPECT_EQ(t, (EdtPoint{1, 1}));  // the char becomes the last one
    ASSERT_TRUE(GoToLineTarget(l, 99, false, caret, t));
    EXPECT_EQ(t.line, 4);
    ASSERT_TRUE(GoToLineTarget(l, 1, true, caret, t));
    EXPECT_EQ(t.line, 3);
    ASSERT_TRUE(GoToLineTarget(l, -1, true, caret, t));
    EXPECT_EQ(t.line, 1);
    ASSERT_TRUE(GoToLineTarget(l, 0, true, caret, t));
    EXPECT_EQ(t, (EdtPoint{0, 2}));
    EXPECT_FALSE(GoToLineTarget(l, -3, true, caret, t));
    int n;
    bool rel;
    ASSERT_TRUE(ParseGoToText(u"+12", n, rel));
    EXPECT_TRUE(rel);
    EXPECT_EQ(n, 12);
    ASSERT_TRUE(ParseGoToText(u"-3", n, rel));
    EXPECT_EQ(n, -3);
    ASSERT_TRUE(ParseGoToText(u"999999999", n, rel));
    EXPECT_FALSE(rel);
    EXPECT_FALSE(IsGoToTextValid(u"1234567890"));
    EXPECT_FALSE(IsGoToTextValid(u"+"));
    EXPECT_FALSE(IsGoToTextValid(u"1a"));
    EXPECT_FALSE(GoToTextHasDigit(u"-"));
    EXPECT_TRUE(GoToTextHasDigit(u"-1"));
}

TEST(TextViewLayout, HeaderCandidatesAndFlags)
{
    using V = std::vector<std::u16string>;
    EXPECT_EQ(HeaderCandidates(u"d\\x.c"), (V{u"d\\x.h"}));
    EXPECT_EQ(HeaderCandidates(u"x.CPP"), (V{u"x.h"}));
    EXPECT_EQ(HeaderCandidates(u"x.inl"), (V{u"x.c", u"x.cpp"}));
    EXPECT_EQ(HeaderCandidates(u"x.hpp"), (V{u"x.inl", u"x.c", u"x.cpp"}));
    EXPECT_EQ(HeaderCandidates(u"a.b\\x.H"), (V{u"a.b\\x.hpp", u"a.b\\x.inl", u"a.b\\x.c", u"a.b\\x.cpp"}));
    EXPECT_TRUE(HeaderCandidates(u"a.c\\x").empty());
    EXPECT_TRUE(HeaderCandidates(u"x.txt").empty());

    EXPECT_EQ(MarginIconOfFlags(0x10000 | 0x20000), 0);
    EXPECT_EQ(LineColourOfFlags(0x10000 | 0x20000), 0x008000);
    EXPECT_EQ(MarginIconOfFlags(0x100000), -1);
    EXPECT_EQ(LineColourOfFlags(0x100000), 0x808000);
    EXPECT_EQ(LineColourOfFlags(0x20000), 0xFF0000);
    EXPECT_EQ(MarginIconOfFlags(0x40000), 2);
    EXPECT_EQ(MarginIconOfFlags(0x8), 5);  // bookmark 3
    EXPECT_EQ(MarginIconOfFlags(0x1), 12);
    EXPECT_EQ(MarginIconOfFlags(0x80000), 13);
    EXPECT_EQ(MarginIconOfFlags(0), -1);
    EXPECT_EQ(LineColourOfFlags(0x80000), -1);
}
