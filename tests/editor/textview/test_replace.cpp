// The replace command: the dialog over a selection and the whole file, the
// replacing loops with their scopes, group references, failed
// substitutions, moving blocks, one undo group for Replace all and the
// remembered flags.

#include "EditViewTest.h"

#include "editor/settings/EdtRegistry.h"
#include "editor/dialogs/EdtReplaceDlg.h"
#include "editor/dialogs/HistoryCombo.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

void SetCombo(QWidget* d, const char* id, const QString& text)
{
    FindChild<CHistoryCombo>(d, QString::fromLatin1(id))->setEditText(text);
}

void ClickId(QWidget* d, const char* id)
{
    Click(FindChild<QPushButton>(d, QString::fromLatin1(id)));
}

std::u16string Lines(int n, const std::u16string& text)
{
    std::u16string s;
    for (int i = 0; i < n; ++i)
        s += (i ? u"\r\n" : u"") + text;
    return s;
}

} // namespace

TEST(Replace, DialogInTheSelectedLinesRestoresTheSelection)
{
    auto v = MakeEditView(Lines(9, u"x a x"));
    // Lines 3 to 7.
    v->SetSelection({0, 3}, {5, 7});
    v->SetCursorPos({5, 7});
    PromptScript prompts({ui::IDOK});
    OnNextModal<CEditReplaceDlg>([](CEditReplaceDlg* d) {
        auto* inSel = FindChild<QRadioButton>(d, QStringLiteral("c8613"));
        EXPECT_TRUE(inSel->isEnabled());
        EXPECT_TRUE(inSel->isChecked());
        SetCombo(d, "c8605", QStringLiteral("a"));
        SetCombo(d, "c8609", QStringLiteral("bbb"));
        ClickId(d, "c8608");
        ClickId(d, "c2");
    });
    PressKey(v.get(), Qt::Key_H, Qt::ControlModifier);
    for (int l = 0; l < 9; ++l)
        EXPECT_EQ(std::u16string(v->GetLineChars(l), size_t(v->GetLineLength(l))),
                  l >= 3 && l <= 7 ? u"x bbb x" : u"x a x")
            << l;
    // The saved selection moved with the longer text on its last line.
    EdtPoint a, b;
    v->GetSelection(a, b);
    EXPECT_EQ(a, (EdtPoint{0, 3}));
    EXPECT_EQ(b, (EdtPoint{7, 7}));
    ASSERT_EQ(prompts.Texts().size(), 1u);  // the run ends with "not found"
    // One Undo reverts Replace all.
    PressKey(v.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), Lines(9, u"x a x"));
}

TEST(Replace, OneLineSelectionIsTheTextAndFlagsAreRemembered)
{
    auto v = MakeEditView(u"foo bar foo");
    v->SetSelection({0, 0}, {3, 0});
    PromptScript prompts({ui::IDOK, ui::IDOK});
    OnNextModal<CEditReplaceDlg>([](CEditReplaceDlg* d) {
        EXPECT_EQ(FindChild<CHistoryCombo>(d, QStringLiteral("c8605"))->currentText(), QStringLiteral("foo"));
        EXPECT_TRUE(FindChild<QRadioButton>(d, QStringLiteral("c8614"))->isChecked());
        EXPECT_FALSE(FindChild<QRadioButton>(d, QStringLiteral("c8613"))->isEnabled());
        FindChild<QCheckBox>(d, QStringLiteral("c8604"))->setChecked(true);
        SetCombo(d, "c8609", QStringLiteral("X"));
        // Enter runs Find next, then Replace once a match is selected.
        auto* find = FindChild<CHistoryCombo>(d, QStringLiteral("c8605"));
        find->setFocus();
        PressKey(find, Qt::Key_Return);
        EXPECT_TRUE(FindChild<QPushButton>(d, QStringLiteral("c8607"))->isDefault());
        PressKey(find, Qt::Key_Return);
        ClickId(d, "c2");
    });
    RunCmd(*v, ID_EDIT_REPLACE);
    EXPECT_EQ(AllText(*v), u"X bar foo");  // from the caret at (0, 0)
    uint32_t flags = 0;
    ASSERT_TRUE(EdtReg::LoadNumber(HKEY_CURRENT_USER, EDT_SETTINGS_KEY, u"ReplaceFlags", flags));
    EXPECT_EQ(flags, EDT_FIND_MATCH_CASE);
    // The same view remembers them; a new one reads "ReplaceFlags".
    auto w = MakeEditView(u"text");
    OnNextModal<CEditReplaceDlg>([](CEditReplaceDlg* d) {
        EXPECT_TRUE(FindChild<QCheckBox>(d, QStringLiteral("c8604"))->isChecked());
        ClickId(d, "c2");
    });
    RunCmd(*w, ID_EDIT_REPLACE);
}

TEST(Replace, LoopsGroupsFailuresAndOnePass)
{
    auto v = MakeEditView(u"a a\r\na");
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    // "a" by "ba" ends: one pass, text it inserted is never searched.
    CEdtEditView::ReplaceState& r = v->Replace();
    r = {};
    r.scope = 1;
    r.start = {2, 0};
    EXPECT_EQ(v->ReplaceAll(u"a", u"ba", 0), 3);
    EXPECT_EQ(AllText(*v), u"ba ba\r\nba");
    // \1 takes group 1 of each match.
    SetText(v->buffer, u"key=1 val=22");
    r = {};
    EXPECT_EQ(v->ReplaceAll(u"(\\w+)=\\d+", u"\\1", EDT_FIND_REGEXP), 2);
    EXPECT_EQ(AllText(*v), u"key val");
    // A substitution that fails changes nothing, beeps and stops.
    SetText(v->buffer, u"ab ab");
    r = {};
    const int beeps = ui::BeepCount();
    EXPECT_EQ(v->ReplaceAll(u"a(x)?b", u"\\1", EDT_FIND_REGEXP), 0);
    EXPECT_EQ(AllText(*v), u"ab ab");
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("ab"));
    // A replacement with a line break inside the selection's block keeps
    // the block on the right lines.
    SetText(v->buffer, u"x\r\nm m\r\nm\r\ny m");
    r = {};
    r.scope = 0;
    r.blockBegin = r.start = {0, 1};
    r.blockEnd = {1, 2};
    EXPECT_EQ(v->ReplaceAll(u"m", u"1\r\n2", 0), 3);
    EXPECT_EQ(AllText(*v), u"x\r\n1\r\n2 1\r\n2\r\n1\r\n2\r\ny m");
    // Replace all with no match: the message once, nothing changed.
    const size_t shown = prompts.Texts().size();
    SetText(v->buffer, u"abc");
    r = {};
    EXPECT_EQ(v->ReplaceAll(u"zz", u"y", 0), 0);
    EXPECT_EQ(prompts.Texts().size(), shown + 1);
    EXPECT_EQ(AllText(*v), u"abc");
}

TEST(Replace, SingleReplaceSteps)
{
    auto v = MakeEditView(u"one two one\r\none");
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    CEdtEditView::ReplaceState& r = v->Replace();
    r = {};
    r.scope = 1;
    EXPECT_TRUE(v->ReplaceFindNext(u"one", EDT_FIND_WHOLE_WORD));
    EXPECT_TRUE(v->ReplaceCurrent(u"one", u"three", EDT_FIND_WHOLE_WORD));
    EXPECT_EQ(AllText(*v), u"three two one\r\none");
    EXPECT_EQ(v->GetReplacementLength(), 5);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("one"));
    // A single Replace is its own undo group.
    EXPECT_TRUE(v->ReplaceCurrent(u"one", u"1", EDT_FIND_WHOLE_WORD));
    EdtPoint c;
    ASSERT_TRUE(v->buffer.Undo(c));
    EXPECT_EQ(AllText(*v), u"three two one\r\none");
    // Group references take the groups of the match found, wherever it
    // stands in its line (and across lines), after text before it.
    const std::u16string pad(3000, u'.');
    SetText(v->buffer, pad + u" key=1 val=22\r\nab\r\ncd");
    r = {};
    r.scope = 1;
    const uint32_t rx = EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE;
    ASSERT_TRUE(v->ReplaceFindNext(u"(\\w+)=(\\d+)", rx));
    EXPECT_TRUE(v->ReplaceCurrent(u"(\\w+)=(\\d+)", u"\\2:\\1", rx));
    EXPECT_EQ(AllText(*v), pad + u" 1:key val=22\r\nab\r\ncd");
    EXPECT_FALSE(v->ReplaceCurrent(u"(\\w+)=(\\d+)", u"<\\1>", rx)); // no match after it
    EXPECT_EQ(AllText(*v), pad + u" 1:key <val>\r\nab\r\ncd");
    r = {};
    r.scope = 1;
    ASSERT_TRUE(v->ReplaceFindNext(u"(b)\\n(c)", rx));
    EXPECT_FALSE(v->ReplaceCurrent(u"(b)\\n(c)", u"\\2\\1", rx));
    EXPECT_EQ(AllText(*v), pad + u" 1:key <val>\r\nacbd");
}
