// The settings sheet by keyboard alone: keys with Alt or Ctrl type nothing
// into any field, and walking through every control of every page changes
// nothing in the project.
#include "tests/projectui/ui/SettingsTest.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QTabBar>

using namespace settingstest;

namespace {

struct SettingsKeys : SettingsTest
{
    // The sheet shown and active, so that the keys reach it as the
    // keyboard's do.
    ui::PropertySheet* ActiveSheet(int page = 0)
    {
        Sheet(page);
        sheet->activateWindow();
        QApplication::setActiveWindow(sheet.get());
        tui::WaitFor([this] { return QApplication::activeWindow() == sheet.get(); }, 5000,
                     "the sheet is active");
        return sheet.get();
    }
    // The fields of a page that take typed text.
    static QList<QWidget*> Fields(QWidget* page)
    {
        QList<QWidget*> fields;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisible() || !w->isEnabled())
                continue;
            auto* edit = qobject_cast<QLineEdit*>(w);
            if (edit && !edit->isReadOnly() && !qobject_cast<QComboBox*>(w->parentWidget()) &&
                !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                fields << w;
            if (auto* c = qobject_cast<QComboBox*>(w); c && c->isEditable())
                fields << w;
            if (qobject_cast<QAbstractSpinBox*>(w))
                fields << w;
        }
        return fields;
    }
    QWidget* Focus() const { return QApplication::focusWidget(); }
};

} // namespace

TEST_F(SettingsKeys, AltAndCtrlWithAnyLetterTypeNothingInAnyFieldOfAnyPage)
{
    // A field that checks its value on leaving would complain of a typed
    // letter.
    tui::PromptScript prompts;
    prompts.AllowUnexpected(true);
    ActiveSheet();
    int checked = 0;
    for (int page = 0; page < sheet->GetPageCount(); ++page) {
        if (!Show(page)) {
            ADD_FAILURE() << "page " << page << " refused to show";
            continue;
        }
        tui::PumpEvents();
        for (QWidget* field : Fields(Page(page))) {
            EXPECT_EQ(tui::KeysThatType(field), QStringList())
                << "page " << page << ", " << field->objectName().toStdString();
            ++checked;
        }
    }
    EXPECT_GE(checked, 30);
    EXPECT_EQ(prompts.Texts(), std::vector<QString>());
    sheet->reject();
    sheet.reset();
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(SettingsKeys, AltWithALetterThatNamesNothingLeavesTheTextAsItWas)
{
    // "Konfigurace": End, Alt+X, Alt+Q, Alt+W, Enter.
    ActiveSheet(General);
    QLineEdit* config = Ctl<QLineEdit>(General, 2104);
    config->setFocus();
    ASSERT_TRUE(tui::WaitFor([&] { return config->hasFocus(); }, 5000, "the field has the focus"));
    const int beeps = ui::BeepCount();
    tui::PostKey(Qt::Key_End);
    for (Qt::Key k : {Qt::Key_X, Qt::Key_Q, Qt::Key_W})
        tui::PostKey(k, Qt::AltModifier);
    EXPECT_EQ(config->text(), QStringLiteral("Lis2"));
    EXPECT_EQ(ui::BeepCount(), beeps + 3);
    EXPECT_TRUE(config->hasFocus());
    // An access key still moves to its control: Alt+C to "Cíl".
    tui::PostKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(Focus(), Ctl<QComboBox>(General, 2105));
    EXPECT_EQ(ui::BeepCount(), beeps + 3);
    tui::PostKey(Qt::Key_Return);
    ASSERT_TRUE(tui::WaitFor([this] { return !sheet->isVisible(); }, 5000, "the sheet closes"));
    EXPECT_EQ(doc->Data().Config, u"Lis2");

    // The Tarvane page: Alt+R with the map name selected keeps it.
    ActiveSheet(Compiler);
    QLineEdit* map = Ctl<QLineEdit>(Compiler, 2183);
    map->setFocus();
    map->selectAll();
    ASSERT_TRUE(tui::WaitFor([&] { return map->hasFocus(); }, 5000, "the field has the focus"));
    tui::PostKey(Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(map->text(), QStringLiteral("LOD_KAP.MAP"));
    EXPECT_EQ(map->selectedText(), QStringLiteral("LOD_KAP.MAP"));
    // Ctrl's own keys still work: Ctrl+A, Ctrl+X, Ctrl+V.
    tui::PostKey(Qt::Key_End);
    tui::PostKey(Qt::Key_A, Qt::ControlModifier);
    tui::PostKey(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(map->text(), QString());
    tui::PostKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(map->text(), QStringLiteral("LOD_KAP.MAP"));
    sheet->reject();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(Hints().empty());
}

TEST_F(SettingsKeys, WalkingThroughEveryControlOfEveryPageChangesNothing)
{
    const std::string before = dir.Read("Lis.kxp");
    const auto time = doc->Data().SettingsModificationTime;
    ActiveSheet(General);
    QPushButton* apply = sheet->Buttons()->button(QDialogButtonBox::Apply);
    int visited = 0;
    for (int page = 0; page < sheet->GetPageCount(); ++page) {
        if (page > 0)
            tui::PostKey(Qt::Key_Tab, Qt::ControlModifier);
        ASSERT_EQ(sheet->GetActiveIndex(), page);
        // Tab round the whole sheet, back to where it started.
        QWidget* start = Focus();
        ASSERT_NE(start, nullptr) << "page " << page;
        for (int n = 0; n < 100; ++n) {
            tui::PostKey(Qt::Key_Tab);
            ++visited;
            EXPECT_FALSE(apply->isEnabled())
                << "page " << page << " after " << tui::detail::Describe(Focus()).toStdString();
            if (Focus() == start)
                break;
        }
        EXPECT_EQ(Focus(), start) << "page " << page;
    }
    EXPECT_GE(visited, 60);
    // "Cíl" and "Verze překladače" reached by their access keys, then left.
    ASSERT_TRUE(sheet->SetActivePage(General));
    tui::PostKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(Focus(), Ctl<QComboBox>(General, 2105));
    tui::PostKey(Qt::Key_Tab);
    ASSERT_TRUE(sheet->SetActivePage(Compiler));
    tui::PostKey(Qt::Key_V, Qt::AltModifier);
    EXPECT_EQ(Focus(), Ctl<QComboBox>(Compiler, 2180));
    tui::PostKey(Qt::Key_Tab);
    EXPECT_FALSE(apply->isEnabled());
    // Enter on the tab row presses OK.
    sheet->Tabs()->tabBar()->setFocus();
    tui::PostKey(Qt::Key_Return);
    ASSERT_TRUE(tui::WaitFor([this] { return !sheet->isVisible(); }, 5000, "the sheet closes"));
    EXPECT_EQ(sheet->result(), int(QDialog::Accepted));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->Data().SettingsModificationTime, time);
    EXPECT_TRUE(Hints().empty());
    // "Uložit všechny" saves what is modified: the file stays byte for byte.
    if (doc->IsModified()) {
        ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    }
    EXPECT_EQ(dir.Read("Lis.kxp"), before);
}
