// The find and replace dialogs by keyboard: Alt or Ctrl with a letter
// types nothing into their fields, and the edit view keeps its own keys.
#include "EditViewTest.h"

#include "editor/dialogs/EdtFindDlg.h"
#include "editor/dialogs/EdtReplaceDlg.h"
#include "editor/dialogs/HistoryCombo.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"

#include <gtest/gtest.h>

using namespace testsupport::ui;

TEST(DialogKeys, FindTypedWithAltLettersThatNameNothingSearchesTheTypedText)
{
    auto v = MakeEditView(u"begin\r\nstart here\r\nend");
    v->SetCursorPos({0, 0});
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    int beeps = 0;
    OnNextModal<CFindTextDlg>([&beeps](CFindTextDlg* d) {
        auto* combo = FindChild<CHistoryCombo>(d, QStringLiteral("c8605"));
        ASSERT_NE(combo, nullptr);
        ASSERT_TRUE(
            WaitFor([combo] { return combo->hasFocus(); }, 5000, "the find text has the focus"));
        PostKey(Qt::Key_A, Qt::ControlModifier);
        for (Qt::Key k : {Qt::Key_S, Qt::Key_T, Qt::Key_A, Qt::Key_R, Qt::Key_T})
            PostKey(k);
        beeps = ui::BeepCount();
        PostKey(Qt::Key_Q, Qt::AltModifier);
        PostKey(Qt::Key_X, Qt::AltModifier);
        EXPECT_EQ(combo->currentText(), QStringLiteral("start"));
        beeps = ui::BeepCount() - beeps;
        PostKey(Qt::Key_Return);
    });
    RunCmd(*v, ID_EDIT_FIND);
    EXPECT_EQ(PendingModals(), 0);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("start"));
    EXPECT_EQ(prompts.Texts(), std::vector<QString>());

    // The view's own keys with Alt and Ctrl: Alt+Q types nothing, Ctrl+Z
    // and Ctrl+Y undo and redo what was typed.
    v->SetSelection({0, 0}, {0, 0});
    v->SetCursorPos({0, 0});
    PressKey(v.get(), Qt::Key_X);
    PressKey(v.get(), Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(AllText(*v), u"xbegin\r\nstart here\r\nend");
    PressKey(v.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"begin\r\nstart here\r\nend");
    PressKey(v.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"xbegin\r\nstart here\r\nend");
}

TEST(DialogKeys, AltAndCtrlWithAnyLetterTypeNothingInTheFindAndReplaceFields)
{
    auto v = MakeEditView(u"alpha beta");
    OnNextModal<CFindTextDlg>([](CFindTextDlg* d) {
        EXPECT_EQ(KeysThatType(FindChild<QWidget>(d, QStringLiteral("c8605"))), QStringList());
        d->reject();
    });
    RunCmd(*v, ID_EDIT_FIND);
    OnNextModal<CEditReplaceDlg>([](CEditReplaceDlg* d) {
        for (const char* id : {"c8605", "c8609"})
            EXPECT_EQ(KeysThatType(FindChild<QWidget>(d, QString::fromLatin1(id))), QStringList())
                << id;
        d->reject();
    });
    RunCmd(*v, ID_EDIT_REPLACE);
    EXPECT_EQ(PendingModals(), 0);
    EXPECT_EQ(AllText(*v), u"alpha beta");
}
