// The find and replace dialogs act on exactly the text their fields show:
// the history combos complete nothing (histories with prefixes, suffixes
// and other cases of the typed text), Down walks the history, and a replace
// acts only on a match found for the find text and options now set.  The
// dialogs are driven by key events.

#include "EditViewTest.h"

#include "editor/dialogs/EdtFindDlg.h"
#include "editor/dialogs/EdtReplaceDlg.h"
#include "editor/dialogs/HistoryCombo.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

// The key to the control with the focus, through the event loop's routing.
void Key(Qt::Key key, Qt::KeyboardModifiers m = {})
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, key, m);
}

void Type(const QString& text)
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClicks(w, text);
}

// Fills a named history (newest first in the end: the last given).
void History(const QString& name, const QStringList& texts)
{
    CHistoryCombo c;
    c.SetHistoryName(name);
    for (const QString& t : texts)
        c.AddToHistory(t);
    c.setEditText(QString());  // its destructor stores nothing more
}

CHistoryCombo* Combo(QWidget* d, const char* id)
{
    return FindChild<CHistoryCombo>(d, QString::fromLatin1(id));
}

// A dialog the old behaviour left open is closed so the test goes on.
void CloseIfOpen(QDialog* d)
{
    if (d->isVisible())
        d->reject();
}

} // namespace

TEST(TypedText, FindEnterSearchesTheTextShown)
{
    History(QStringLiteral("FindText"), {QStringLiteral("Poznamka")});
    auto v = MakeEditView(u"one qxPoznamka two Poznamka");
    v->SetCursorPos({6, 0});
    bool closedByFirstEnter = false;
    OnNextModal<CFindTextDlg>([&](CFindTextDlg* d) {
        CHistoryCombo* combo = Combo(d, "c8605");
        EXPECT_EQ(combo->currentText(), QStringLiteral("qxPoznamka"));
        Key(Qt::Key_Return);
        closedByFirstEnter = !d->isVisible();
        CloseIfOpen(d);
    });
    PressKey(v.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(closedByFirstEnter);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("qxPoznamka"));
    EXPECT_EQ(CHistoryCombo::GetHistory(QStringLiteral("FindText")).value(0), QStringLiteral("qxPoznamka"));
}

TEST(TypedText, ReplaceFieldTakesWhatWasTypedNotTheHistoryEntry)
{
    History(QStringLiteral("ReplaceText"), {QStringLiteral("ZZZ1")});
    auto v = MakeEditView(u"abc xyz abc");
    v->SetCursorPos({0, 0});
    PromptScript prompts({ui::IDOK});
    prompts.AllowUnexpected(true);
    OnNextModal<CEditReplaceDlg>([&](CEditReplaceDlg* d) {
        Combo(d, "c8605")->setEditText(QStringLiteral("xyz"));
        Combo(d, "c8609")->setFocus();
        Combo(d, "c8609")->lineEdit()->clear();
        Type(QStringLiteral("ZZ"));
        EXPECT_EQ(Combo(d, "c8609")->currentText(), QStringLiteral("ZZ"));
        EXPECT_FALSE(Combo(d, "c8609")->lineEdit()->hasSelectedText());
        Combo(d, "c8605")->setFocus();
        Key(Qt::Key_Return);  // finds "xyz"
        Key(Qt::Key_Return);  // replaces it
        Key(Qt::Key_Escape);
        CloseIfOpen(d);
    });
    PressKey(v.get(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"abc ZZ abc");
}

TEST(TypedText, MatchCaseSearchesTheTypedCaseWithAFullHistoryOfNearMatches)
{
    // 64 entries: prefixes, suffixes and other cases of "BE", newest last.
    QStringList near;
    for (int i = 0; near.size() < CHistoryCombo::kMaxEntries - 3; ++i)
        near << QStringLiteral("BE%1").arg(i) << QStringLiteral("x%1BE").arg(i) << QStringLiteral("be%1").arg(i);
    near = near.mid(0, CHistoryCombo::kMaxEntries - 3);
    near << QStringLiteral("be") << QStringLiteral("Be") << QStringLiteral("BetaBE");
    History(QStringLiteral("FindText"), near);
    ASSERT_EQ(CHistoryCombo::GetHistory(QStringLiteral("FindText")).size(), CHistoryCombo::kMaxEntries);
    auto v = MakeEditView(u"BetaBE be BE");
    v->SetCursorPos({0, 0});
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    QString shown;
    QString walked;
    OnNextModal<CEditReplaceDlg>([&](CEditReplaceDlg* d) {
        FindChild<QCheckBox>(d, QStringLiteral("c8604"))->setChecked(true);
        CHistoryCombo* find = Combo(d, "c8605");
        find->setFocus();
        find->lineEdit()->clear();
        // Down walks the history: the newest entry first.
        Key(Qt::Key_Down);
        walked = find->currentText();
        find->lineEdit()->clear();
        Type(QStringLiteral("BE"));
        shown = find->currentText();
        Key(Qt::Key_Return);  // finds the first "BE" of the typed case
        Key(Qt::Key_Escape);
        CloseIfOpen(d);
    });
    PressKey(v.get(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(walked, QStringLiteral("BetaBE"));
    EXPECT_EQ(shown, QStringLiteral("BE"));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("BE"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{6, 0}));  // in "BetaBE", not the whole entry
    EXPECT_TRUE(prompts.Texts().empty());
}

TEST(TypedText, ReplaceLeavesAMatchOfAnEarlierFindTextAlone)
{
    auto v = MakeEditView(u"alpha gamma delta");
    v->SetCursorPos({0, 0});
    PromptScript prompts({ui::IDOK, ui::IDOK});
    prompts.AllowUnexpected(true);
    OnNextModal<CEditReplaceDlg>([&](CEditReplaceDlg* d) {
        CHistoryCombo* find = Combo(d, "c8605");
        find->setEditText(QStringLiteral("delta"));
        Combo(d, "c8609")->setEditText(QString());
        find->setFocus();
        Key(Qt::Key_Return);  // finds "delta"; the default button is now "Nahradit"
        EXPECT_TRUE(FindChild<QPushButton>(d, QStringLiteral("c8607"))->isDefault());
        find->lineEdit()->selectAll();
        Type(QStringLiteral("alp"));
        EXPECT_FALSE(FindChild<QPushButton>(d, QStringLiteral("c8607"))->isDefault());
        Key(Qt::Key_Return);  // searches "alp" from "delta": not found
        // "Nahradit" after the find text changed finds first too.
        find->lineEdit()->selectAll();
        Type(QStringLiteral("delta"));
        Key(Qt::Key_Return);  // from the start: finds "delta"
        find->lineEdit()->selectAll();
        Type(QStringLiteral("gam"));
        Click(FindChild<QPushButton>(d, QStringLiteral("c8607")));
        Key(Qt::Key_Escape);
        CloseIfOpen(d);
    });
    PressKey(v.get(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"alpha gamma delta");
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Nemohu najít řetězec \"alp\""));
    EXPECT_EQ(prompts.Texts()[1], QStringLiteral("Nemohu najít řetězec \"gam\""));
}
