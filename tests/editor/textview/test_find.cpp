// The search engine, the find dialog, find next and previous, incremental
// search with its status texts and the progress dialog of long searches.

#include "EditViewTest.h"

#include "editor/find/EdtFindController.h"
#include "editor/dialogs/EdtFindDlg.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/regexp/EdtRegExpTesting.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/dialogs/HistoryCombo.h"
#include "editor/view/EdtViewRenderer.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "tests/support/platform/TempDir.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

using namespace testsupport::ui;

// A point at the end of its line, whatever the line's length.
constexpr int kLineEndTest = INT_MAX;

TEST(Find, EngineEdgeCases)
{
    auto v = MakeEditView(u"abc x abc\r\nprint in_x in (in)\r\nxa\r\nb end");
    EdtPoint f;
    // Downwards from after the last "abc" with wrap: the first one.
    EXPECT_TRUE(v->FindText(u"abc", {9, 0}, 0, true, f));
    EXPECT_EQ(f, (EdtPoint{0, 0}));
    EXPECT_FALSE(v->FindText(u"abc", {9, 0}, 0, false, f));
    // Whole word "in": not in print or in_x.
    EXPECT_TRUE(v->FindText(u"in", {0, 1}, EDT_FIND_WHOLE_WORD, false, f));
    EXPECT_EQ(f, (EdtPoint{11, 1}));
    EXPECT_TRUE(v->FindText(u"in", {12, 1}, EDT_FIND_WHOLE_WORD, false, f));
    EXPECT_EQ(f, (EdtPoint{15, 1}));
    // Case folding.
    EXPECT_TRUE(v->FindText(u"ABC", {0, 0}, 0, false, f));
    EXPECT_FALSE(v->FindText(u"ABC", {0, 0}, EDT_FIND_MATCH_CASE, false, f));
    // a\nb: "a" at the end of one line and "b" at the start of the next.
    EXPECT_TRUE(v->FindText(u"a\\nb", {0, 0}, EDT_FIND_REGEXP, false, f));
    EXPECT_EQ(f, (EdtPoint{1, 2}));
    EXPECT_EQ(v->Finder().GetLastMatchLength(), 3);
    v->HighlightText(f, 3, false);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("a\r\nb"));
    // Upwards a match counts only when it ends at or before the start.
    EXPECT_TRUE(v->FindText(u"abc", {8, 0}, EDT_FIND_UP, false, f));
    EXPECT_EQ(f, (EdtPoint{0, 0}));
    EXPECT_TRUE(v->FindText(u"abc", {9, 0}, EDT_FIND_UP, false, f));
    EXPECT_EQ(f, (EdtPoint{6, 0}));
    EXPECT_TRUE(v->FindText(u"b\\w*", {3, 0}, EDT_FIND_UP | EDT_FIND_REGEXP, false, f));
    EXPECT_EQ(f, (EdtPoint{1, 0}));
    // A malformed expression and an empty text find nothing.
    EXPECT_FALSE(v->FindText(u"[a", {0, 0}, EDT_FIND_REGEXP, true, f));
    EXPECT_FALSE(v->FindText(u"", {0, 0}, 0, true, f));
    // A block: nothing outside it.
    EXPECT_FALSE(v->FindTextInBlock(u"end", {0, 0}, {0, 0}, {2, 3}, 0, true, f));
    EXPECT_TRUE(v->FindTextInBlock(u"end", {0, 0}, {0, 0}, {5, 3}, 0, true, f));
}

TEST(Find, EveryMatchTheSameInAHiddenView)
{
    // A shown view and a hidden one over one buffer go through every match
    // alike: caret, selection, scroll position and the caret's pixel, also
    // after tabs and horizontal scrolling.
    std::u16string text;
    int expected = 0;
    for (int i = 0; i < 300; ++i) {
        if (i % 7 == 3) {
            text += u"\tx\t" + std::u16string(size_t(i % 90), u'.') + u"motor\r\n";
            ++expected;
        } else {
            text += u"line\r\n";
        }
    }
    auto shown = MakeEditView(text);
    auto hidden = MakeEditView(u"", &shown->buffer);
    hidden->hide();
    EdtPoint pos{0, 0}, found, other;
    int n = 0;
    bool scrolledRight = false;
    while (shown->FindText(u"motor", pos, EDT_FIND_MATCH_CASE, false, found)) {
        ASSERT_TRUE(hidden->FindText(u"motor", pos, EDT_FIND_MATCH_CASE, false, other));
        ASSERT_EQ(found, other);
        shown->HighlightText(found, 5, false);
        hidden->HighlightText(found, 5, false);
        const EdtPoint caret = shown->GetCursorPos();
        EXPECT_EQ(caret, hidden->GetCursorPos());
        EXPECT_EQ(caret, (EdtPoint{found.ch + 5, found.line}));
        EdtPoint s1, e1, s2, e2;
        shown->GetSelection(s1, e1);
        hidden->GetSelection(s2, e2);
        EXPECT_EQ(s1, found);
        EXPECT_EQ(e1, caret);
        EXPECT_EQ(s2, s1);
        EXPECT_EQ(e2, e1);
        EXPECT_EQ(shown->ScrollPos().topSubLine, hidden->ScrollPos().topSubLine);
        EXPECT_EQ(shown->ScrollPos().offsetChar, hidden->ScrollPos().offsetChar);
        scrolledRight = scrolledRight || shown->ScrollPos().offsetChar > 0;
        // The two tabs reach the second tab stop.
        const int column = caret.ch - 3 + 2 * shown->GetTabSize();
        const QPoint p = shown->TextToClient(caret);
        EXPECT_EQ(p, hidden->TextToClient(caret));
        const EdtScrollPos& top = shown->ScrollPos();
        EXPECT_EQ(p.x(), shown->GetMarginWidth() +
                             (column - top.offsetChar) * shown->Renderer().GetCharWidth());
        EXPECT_EQ(p.y(), (caret.line - top.topSubLine) * shown->Renderer().GetLineHeight());
        pos = caret;
        ++n;
    }
    EXPECT_EQ(n, expected);
    EXPECT_TRUE(scrolledRight);
    hidden->show();
    PumpEvents();
    EXPECT_EQ(hidden->inputMethodQuery(Qt::ImCursorRectangle).toRect().topLeft(),
              shown->TextToClient(shown->GetCursorPos()));
}

// Find next and previous in a block against the search as it was: line by
// line, upwards the last match of searches restarted one position after
// each match's start that ends by the start.  Position, length, the
// match's text and its groups.
namespace {

struct RefFound
{
    EdtPoint at;
    std::u16string line;
    int groups[REGEXP_GROUP_ENTRIES];
};

bool RefFind(const std::vector<std::u16string>& lines, const RegExp* re, EdtPoint start,
             EdtPoint blockStart, EdtPoint blockEnd, bool up, uint32_t rf, RefFound& out)
{
    int g[REGEXP_GROUP_ENTRIES];
    const int step = up ? -1 : 1;
    const int stop = up ? blockStart.line : blockEnd.line;
    for (int l = start.line; up ? l >= stop : l <= stop; l += step) {
        const std::u16string& t = lines[size_t(l)];
        const int n = int(t.size());
        bool any = false;
        if (!up) {
            const int begin = l == start.line ? start.ch : 0;
            const int limit = l == blockEnd.line ? blockEnd.ch : n;
            any = RegExpSearchSimulated(re, t.data(), n, begin, g, rf) &&
                  g[REGEXP_MAX_GROUPS] <= limit;
            if (any)
                std::copy(g, g + REGEXP_GROUP_ENTRIES, out.groups);
        } else {
            const int limit = l == start.line ? start.ch : n;
            int at = l == blockStart.line ? blockStart.ch : 0;
            while (at <= n && RegExpSearchSimulated(re, t.data(), n, at, g, rf)) {
                if (g[0] > limit)
                    break;
                if (g[REGEXP_MAX_GROUPS] <= limit) {
                    std::copy(g, g + REGEXP_GROUP_ENTRIES, out.groups);
                    any = true;
                }
                at = g[0] + 1;
            }
        }
        if (any) {
            out.at = {out.groups[0], l};
            out.line = t;
            return true;
        }
    }
    return false;
}

} // namespace

TEST(Find, NextAndPreviousInBlocksAreTheSearchesOfBefore)
{
    const char16_t* const expressions[] = {
        u"a+", u"\\w+", u"[A-Z]\\w*_\\d+:", u"(a)(b)?", u"x*", u"<\\w", u"\\w>", u"a|ab",
        u"(a|b)*b", u"$", u"^a", u"b*", u"(\\w)(\\w*)", u"{a}|{ab}c", u"(a*)+b", u"a@b",
    };
    const char16_t alphabet[] = u"aabbcA_1: x";
    std::mt19937 rng(5150);
    auto v = MakeEditView(u"");
    int found = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::u16string> lines(1 + rng() % 4);
        std::u16string text;
        for (size_t l = 0; l < lines.size(); ++l) {
            const int len = int(rng() % 26);
            for (int i = 0; i < len; ++i)
                lines[l].push_back(alphabet[rng() % (std::size(alphabet) - 1)]);
            text += (l ? u"\r\n" : u"") + lines[l];
        }
        SetText(v->buffer, text);
        const char16_t* e = expressions[rng() % std::size(expressions)];
        RegExp* re = RegExpCompile(e);
        ASSERT_NE(re, nullptr);
        auto point = [&](int line) {
            return EdtPoint{int(rng() % (lines[size_t(line)].size() + 1)), line};
        };
        const int a = int(rng() % lines.size());
        const int b = a + int(rng() % (lines.size() - size_t(a)));
        EdtPoint bs = point(a), be = point(b);
        if (a == b && be.ch < bs.ch)
            std::swap(bs, be);
        if (bs == be)
            be = {int(lines[size_t(b)].size()), b};
        if (bs == be) {
            RegExpFree(re);
            continue;
        }
        // A start inside the block.
        const int sl = a + int(rng() % (b - a + 1));
        EdtPoint st = point(sl);
        if (sl == a)
            st.ch = std::max(st.ch, bs.ch);
        if (sl == b)
            st.ch = std::min(st.ch, be.ch);
        const uint32_t flags = EDT_FIND_REGEXP | (rng() % 2 ? EDT_FIND_MATCH_CASE : 0) |
                               (rng() % 2 ? EDT_FIND_WHOLE_WORD : 0) | (rng() % 2 ? EDT_FIND_UP : 0);
        const bool up = flags & EDT_FIND_UP;
        const uint32_t rf = flags & EDT_FIND_MATCH_CASE ? REGEXP_CASE_SENSITIVE : 0;
        RefFound ref{};
        const bool want = RefFind(lines, re, st, bs, be, up, rf, ref);
        EdtPoint at;
        const bool got = v->FindTextInBlock(e, st, bs, be, flags, false, at);
        const std::string what = QString::fromStdU16String(e).toStdString() + " in \"" +
                                 QString::fromStdU16String(text).toStdString() + "\" from " +
                                 std::to_string(st.line) + ":" + std::to_string(st.ch) +
                                 " flags " + std::to_string(flags);
        ASSERT_EQ(got, want) << what;
        if (got) {
            ++found;
            ASSERT_EQ(at, ref.at) << what;
            const int len = ref.groups[REGEXP_MAX_GROUPS] - ref.groups[0];
            ASSERT_EQ(v->Finder().GetLastMatchLength(), len) << what;
            std::u16string_view matched;
            const int* groups = nullptr;
            ASSERT_TRUE(v->Finder().GetLastRegExpMatch(matched, groups)) << what;
            // The match's text and every group's, by the groups kept.
            for (int g = 0; g < REGEXP_MAX_GROUPS; ++g) {
                const int s = ref.groups[g], t = ref.groups[REGEXP_MAX_GROUPS + g];
                if (s < 0) {
                    ASSERT_EQ(groups[g], -1) << what << " group " << g;
                    continue;
                }
                ASSERT_EQ(matched.substr(size_t(groups[g]), size_t(groups[REGEXP_MAX_GROUPS + g] - groups[g])),
                          std::u16string_view(ref.line).substr(size_t(s), size_t(t - s)))
                    << what << " group " << g;
            }
        }
        RegExpFree(re);
    }
    EXPECT_GT(found, 100);
}

TEST(Find, MultiLineMatchesMapByLineLengths)
{
    // Line 0 holds a lone LF, which the buffer keeps inside the line.
    auto v = MakeEditView(u"");
    int el, ec;
    v->buffer.InsertText(nullptr, 0, 0, u"p\nq x\r\ny z", el, ec, 0);
    EdtPoint f;
    ASSERT_TRUE(v->FindText(u"x\\ny", {0, 0}, EDT_FIND_REGEXP, false, f));
    EXPECT_EQ(f, (EdtPoint{4, 0}));
    // U+0000 and lone surrogates are searched like other characters.
    SetText(v->buffer, std::u16string(u"a\0b\xD800" u"c", 5));
    ASSERT_TRUE(v->FindText(std::u16string(u"\0b\xD800", 3), {0, 0}, 0, false, f));
    EXPECT_EQ(f, (EdtPoint{1, 0}));
}

TEST(Find, DialogFindNextPreviousAndFindFlags)
{
    auto v = MakeEditView(u"alpha beta\r\nbeta gamma\r\nbeta");
    v->SetCursorPos({0, 0});
    OnNextModal<CFindTextDlg>([](CFindTextDlg* d) {
        auto* combo = FindChild<CHistoryCombo>(d, QStringLiteral("c8605"));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->currentText(), QStringLiteral("alpha"));  // the word at the caret
        combo->setEditText(QString());
        EXPECT_FALSE(FindChild<QPushButton>(d, QStringLiteral("c1"))->isEnabled());
        combo->setEditText(QStringLiteral("beta"));
        // The regular-expression box clears and disables whole word.
        auto* word = FindChild<QCheckBox>(d, QStringLiteral("c8603"));
        word->setChecked(true);
        FindChild<QCheckBox>(d, QStringLiteral("c8606"))->setChecked(true);
        EXPECT_FALSE(word->isChecked());
        EXPECT_FALSE(word->isEnabled());
        FindChild<QCheckBox>(d, QStringLiteral("c8606"))->setChecked(false);
        word->setChecked(true);
        Click(FindChild<QPushButton>(d, QStringLiteral("c1")));
    });
    PressKey(v.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("beta"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{10, 0}));
    uint32_t flags = 0;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"FindFlags", flags));
    EXPECT_EQ(flags, EDT_FIND_WHOLE_WORD);
    PressKey(v.get(), Qt::Key_F3);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{4, 1}));
    // Find previous searches upwards once and keeps the stored direction.
    PressKey(v.get(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{6, 0}));
    PressKey(v.get(), Qt::Key_F3);  // from the caret: the same match again
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{10, 0}));
    // Not found: the message.
    PromptScript prompts({ui::IDOK});
    auto w = MakeEditView(u"nothing here");
    OnNextModal<CFindTextDlg>([](CFindTextDlg* d) {
        FindChild<CHistoryCombo>(d, QStringLiteral("c8605"))->setEditText(QStringLiteral("zzz"));
        Click(FindChild<QPushButton>(d, QStringLiteral("c1")));
        // The dialog stays open after the message.
        EXPECT_TRUE(d->isVisible());
        Click(FindChild<QPushButton>(d, QStringLiteral("c2")));
    });
    RunCmd(*w, ID_EDIT_FIND);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Nemohu najít řetězec \"zzz\""));
}

TEST(Find, IncrementalSearchWithStatusTexts)
{
    ui::MainFrameBase frame;
    frame.CreateStatusBar({0, ID_EDT_INDICATOR_POSITION});
    ResetSourceTypes();
    auto* v = new TestEditView;
    SetText(v->buffer, u"xx a yy\r\nabc");
    v->AttachToBuffer();
    v->SetFont(TestFont());
    frame.setCentralWidget(v);
    frame.resize(500, 300);
    frame.show();
    v->setFocus();
    PumpEvents();
    v->SetSelection({0, 0}, {2, 0});
    v->SetCursorPos({2, 0});
    // Commands go straight to the view (no application routes them here);
    // typed keys pass the frame.
    RunCmd(*v, ID_EDT_INCREMENTAL_FORWARD);
    EXPECT_TRUE(v->Finder().IsIncrementalSearch());
    TypeText(v, QStringLiteral("a"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{4, 0}));
    const int beeps = ui::BeepCount();
    TypeText(v, QStringLiteral("b"));  // "ab" is on the next line
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 1}));
    TypeText(v, QStringLiteral("x"));  // "abx" fails
    EXPECT_FALSE(v->Finder().IsIncrementalFound());
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    TypeText(v, QStringLiteral("c"));  // ignored with a beep
    EXPECT_EQ(v->Finder().GetIncrementalText(), u"abx");
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    ui::CmdUI pane(ID_EDT_INDICATOR_POSITION);
    v->UpdateCommand(pane);
    EXPECT_EQ(frame.GetStatusBar()->GetPaneText(0), QStringLiteral("Přírůstkové hledání neuspělo: abx"));
    RunCmd(*v, ID_EDT_DELETE_BACK);
    EXPECT_EQ(v->Finder().GetIncrementalText(), u"ab");
    v->UpdateCommand(pane);
    EXPECT_EQ(frame.GetStatusBar()->GetPaneText(0), QStringLiteral("Přírůstkové hledání: ab"));
    // Esc restores the selection and caret from before Ctrl+I; the idle
    // text comes back once.
    PressKey(v, Qt::Key_Escape);
    EXPECT_FALSE(v->Finder().IsIncrementalSearch());
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 0}));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("xx"));
    v->UpdateCommand(pane);
    EXPECT_EQ(frame.GetStatusBar()->GetPaneText(0), frame.GetStatusBar()->IdleText());
    // Backwards, and any other editor command ends it.
    v->SetCursorPos({3, 1});
    RunCmd(*v, ID_EDT_INCREMENTAL_BACKWARD);
    TypeText(v, QStringLiteral("a"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{1, 1}));  // the match selected, caret at its end
    v->UpdateCommand(pane);
    EXPECT_EQ(frame.GetStatusBar()->GetPaneText(0), QStringLiteral("Zpětné přírůstkové hledání: a"));
    RunCmd(*v, ID_EDT_CARET_HOME);
    EXPECT_FALSE(v->Finder().IsIncrementalSearch());
}

TEST(Find, StornoAndAChangeUnderTheSearchCancelIt)
{
    edt::SetSearchProgressDelay(0);
    std::u16string big;
    for (int i = 0; i < 60000; ++i)
        big += u"some ordinary line of text without the word\r\n";
    auto v = MakeEditView(big);
    PromptScript prompts;  // no message may appear
    // Storno of the progress dialog: not found, no message.
    QTimer::singleShot(0, [] {
        if (QWidget* d = QApplication::activeModalWidget())
            if (auto* b = d->findChild<QPushButton*>(QStringLiteral("c2")))
                b->click();
    });
    v->Finder().SetLastSearch(u"needle", 0);
    RunCmd(*v, ID_EDIT_REPEAT);
    EXPECT_TRUE(v->Finder().LastFindCancelled());
    // A reload posted so that it runs while the dialog is up.
    testsupport::TempDir dir;
    dir.Write("x.txt", "short\r\nfile\r\n");
    // The line count below shows that the reload took place.
    QTimer::singleShot(0, [&] {
        (void)v->buffer.LoadFromFile(QString::fromStdString(dir / "x.txt").toStdU16String());
    });
    RunCmd(*v, ID_EDIT_REPEAT);
    EXPECT_TRUE(v->Finder().LastFindCancelled());
    EXPECT_EQ(v->GetLineCount(), 3);
    EXPECT_TRUE(prompts.Texts().empty());
    edt::SetSearchProgressDelay(500);
}

namespace {

struct Hit
{
    EdtPoint at;
    int length;
    bool operator==(const Hit&) const = default;
};

// Every match line by line with the engine alone, each search from the
// end of the match before (the next line after an empty match at a line
// end).
std::vector<Hit> MatchesByLines(CEdtTextView& v, std::u16string_view e, uint32_t flags)
{
    std::vector<Hit> out;
    RegExp* re = RegExpCompile(e);
    const uint32_t rf = (flags & EDT_FIND_MATCH_CASE) ? REGEXP_CASE_SENSITIVE : 0;
    int groups[REGEXP_GROUP_ENTRIES];
    for (int l = 0; l < v.GetLineCount(); ++l) {
        const std::u16string line(v.GetLineChars(l), size_t(v.GetLineLength(l)));
        int at = 0;
        while (at <= int(line.size()) &&
               RegExpSearch(re, line.data(), int(line.size()), at, groups, rf)) {
            const int s = groups[0], len = groups[REGEXP_MAX_GROUPS] - s;
            out.push_back({{s, l}, len});
            at = s + std::max(len, 1);
        }
    }
    RegExpFree(re);
    return out;
}

} // namespace

TEST(Find, RegularExpressionsOverALoadedFileScanItsMemory)
{
    // A loaded file keeps its lines in one piece of memory, which the
    // search scans for the literals every match contains; changed,
    // inserted and removed lines break it into pieces.  Every match is
    // the one the engine finds line by line, downwards and upwards.
    std::string file;
    for (int i = 0; i < 4000; ++i) {
        if (i % 97 == 5)
            file += "  LD Motor_" + std::to_string(i) + ": AND Door\r\n";
        else if (i % 131 == 7)
            file += "Motor_ Pump MOTOR_12: coolant 7\r\n";
        else if (i % 50 == 0)
            file += "\r\n";
        else
            file += "ST %MW100 := Lube Home " + std::to_string(i) + "\r\n";
    }
    file += "Motor_9:"; // the last line, without a line end
    testsupport::TempDir dir;
    dir.Write("big.txt", file);
    auto v = MakeEditView(u"");
    ASSERT_TRUE(v->buffer.LoadFromFile(QString::fromStdString(dir / "big.txt").toStdU16String()));
    int el = 0, ec = 0;
    ASSERT_TRUE(v->buffer.InsertText(nullptr, 201, 3, u"Motor_77:", el, ec, EDT_ACTION_TYPING));
    ASSERT_TRUE(v->buffer.InsertText(nullptr, 1000, 0, u"x Motor_5: y\r\nDoor4\r\n", el, ec,
                                     EDT_ACTION_PASTE));
    ASSERT_TRUE(v->buffer.DeleteText(nullptr, 1500, 0, 1503, 0, EDT_ACTION_DELETE));
    ASSERT_TRUE(v->buffer.DeleteText(nullptr, 2003, 4, 2003, 8, EDT_ACTION_DELETE));
    const std::pair<const char16_t*, uint32_t> searches[] = {
        {u"Motor_\\d+:", EDT_FIND_MATCH_CASE},
        {u"motor_\\d+:", 0},
        {u"{Pump}|{Door}\\d?", EDT_FIND_MATCH_CASE},
        {u"coolant 7", 0},
        {u"<Home>", EDT_FIND_MATCH_CASE},
        // Upwards this one also finds the shorter matches inside a match
        // (a search from each match start + 1): downwards only.
        {u"[A-Z]\\w*_\\d+:", EDT_FIND_MATCH_CASE},
    };
    for (const auto& [e, flags] : searches) {
        SCOPED_TRACE(QString::fromStdU16String(e).toStdString());
        const std::vector<Hit> expected = MatchesByLines(*v, e, flags);
        ASSERT_GT(expected.size(), 20u);
        std::vector<Hit> down;
        EdtPoint pos{0, 0}, f;
        const RegExpPathStats before = RegExpStats();
        while (v->FindText(e, pos, flags | EDT_FIND_REGEXP, false, f)) {
            down.push_back({f, v->Finder().GetLastMatchLength()});
            pos = {f.ch + v->Finder().GetLastMatchLength(), f.line};
        }
        EXPECT_EQ(down, expected);
        // The engine saw the lines the scan named, not all 4,000.
        const RegExpPathStats& after = RegExpStats();
        const uint64_t searches = (after.automaton - before.automaton) +
                                  (after.prefiltered - before.prefiltered) +
                                  (after.fallbacks - before.fallbacks);
        if (e[0] != u'[') {
            EXPECT_LT(searches, 3 * expected.size() + 10);
        }
        if (e[0] == u'[')
            continue;
        std::vector<Hit> up;
        pos = {kLineEndTest, v->GetLineCount() - 1};
        while (v->FindText(e, pos, flags | EDT_FIND_REGEXP | EDT_FIND_UP, false, f)) {
            up.push_back({f, v->Finder().GetLastMatchLength()});
            pos = f;
        }
        std::reverse(up.begin(), up.end());
        EXPECT_EQ(up, expected);
    }
    // A block that ends inside a match's line: not that match.
    EdtPoint f;
    const std::vector<Hit> all = MatchesByLines(*v, u"Motor_\\d+:", EDT_FIND_MATCH_CASE);
    const Hit& third = all[2];
    EXPECT_FALSE(v->FindTextInBlock(u"Motor_\\d+:", {0, all[1].at.line + 1}, {0, 0},
                                    {third.at.ch + third.length - 1, third.at.line},
                                    EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE, false, f));
    EXPECT_TRUE(v->FindTextInBlock(u"Motor_\\d+:", {0, all[1].at.line + 1}, {0, 0},
                                   {third.at.ch + third.length, third.at.line},
                                   EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE, false, f));
    EXPECT_EQ(f, third.at);
}

TEST(Find, StornoEndsARegularExpressionSearchOverAScannedFile)
{
    edt::SetSearchProgressDelay(0);
    std::string file;
    for (int i = 0; i < 60000; ++i)
        file += "some ordinary line of text without the word\r\n";
    testsupport::TempDir dir;
    dir.Write("big.txt", file);
    auto v = MakeEditView(u"");
    ASSERT_TRUE(v->buffer.LoadFromFile(QString::fromStdString(dir / "big.txt").toStdU16String()));
    PromptScript prompts;
    QTimer::singleShot(0, [] {
        if (QWidget* d = QApplication::activeModalWidget())
            if (auto* b = d->findChild<QPushButton*>(QStringLiteral("c2")))
                b->click();
    });
    v->Finder().SetLastSearch(u"needle\\d", EDT_FIND_REGEXP);
    RunCmd(*v, ID_EDIT_REPEAT);
    EXPECT_TRUE(v->Finder().LastFindCancelled());
    EXPECT_TRUE(prompts.Texts().empty());
    edt::SetSearchProgressDelay(500);
}
