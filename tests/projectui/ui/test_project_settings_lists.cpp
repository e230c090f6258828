// The file-list pages of the project settings sheet: real files, real
// file dialogs, scripted prompts and counted beeps.
#include "platform/ui/Beep.h"
#include "tests/projectui/ui/SettingsTest.h"

#include <QFileDialog>

#include <sys/stat.h>

using namespace settingstest;

namespace {

// Answers the next file prompt with a path.
void PickFile(const QString& path)
{
    tui::OnNextModal<QFileDialog>([path](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Otevřít"));
        tui::ChooseInFileDialog(d, path);
    });
}

struct ListTest : SettingsTest
{
    QListWidget* List(Tab tab) { return Ctl<QListWidget>(tab, tab == Support ? 2220 : 2200); }
    QStringList Lines(Tab tab)
    {
        QStringList out;
        for (int i = 0; i < List(tab)->count(); ++i)
            out.append(List(tab)->item(i)->text());
        return out;
    }
};

} // namespace

TEST_F(ListTest, DuplicateNamesAreRefusedInAnyCase)
{
    ::mkdir((dir / "other").c_str(), 0755);
    dir.Write("other/MAIN.PLC", "x");
    Sheet(Sources);
    tui::PromptScript prompts({ui::IDOK});
    PickFile(Q(dir / "other/MAIN.PLC"));
    ClickButton(Sources, 2202);
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral(
                                   "Zdrojový soubor PLC se nepodařilo přidat do projektu, neboť projekt již "
                                   "obsahuje soubor se stejným jménem")});
    EXPECT_EQ(Lines(Sources), (QStringList{"Main.plc", "Osy.plc"}));
    EXPECT_FALSE(Page(Sources)->IsModified());
}

TEST_F(ListTest, AddNewAndMoveWithinTheList)
{
    dir.Write("Extra.plc", "keep");
    Sheet(Sources);
    PickFile(Q(dir / "Extra.plc"));
    ClickButton(Sources, 2202);
    EXPECT_EQ(Lines(Sources), (QStringList{"Main.plc", "Osy.plc", "Extra.plc"}));
    EXPECT_EQ(Ctl<QLineEdit>(Sources, 2206)->text(), QStringLiteral(".\\Extra.plc"));
    EXPECT_EQ(dir.Read("Extra.plc"), "keep");

    // Up and down at the ends only beep.
    const int beeps = ui::BeepCount();
    ClickButton(Sources, 2205);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    ClickButton(Sources, 2204);
    EXPECT_EQ(Lines(Sources), (QStringList{"Main.plc", "Extra.plc", "Osy.plc"}));
    EXPECT_EQ(List(Sources)->currentRow(), 1);
    ClickButton(Sources, 2204);
    ClickButton(Sources, 2204);
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    EXPECT_EQ(Lines(Sources), (QStringList{"Extra.plc", "Main.plc", "Osy.plc"}));

    // A new file is created empty.
    PickFile(Q(dir / "Novy.plc"));
    ClickButton(Sources, 2201);
    EXPECT_EQ(dir.Read("Novy.plc"), "");
    EXPECT_EQ(List(Sources)->currentRow(), 3);

    MarkTime();
    sheet->accept();
    ASSERT_EQ(doc->Data().SourceFiles.size(), 4u);
    EXPECT_EQ(doc->Data().SourceFiles[0], (core::ProjectFileEntry{u"Extra.plc", u".\\Extra.plc"}));
    EXPECT_EQ(doc->Data().SourceFiles[2], (core::ProjectFileEntry{u"Osy.plc", u"src\\Osy.plc"}));
    EXPECT_EQ(doc->Data().SourceFiles[3], (core::ProjectFileEntry{u"Novy.plc", u".\\Novy.plc"}));
    EXPECT_TRUE(TimeStamped());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_SOURCE_LIST});
}

TEST_F(ListTest, NewHeaderOverAnExistingFileAsksFirst)
{
    dir.Write("Defs2.inc", "content");
    Sheet(Headers);
    tui::PromptScript prompts({ui::IDNO, ui::IDYES});
    PickFile(Q(dir / "Defs2.inc"));
    ClickButton(Headers, 2201);
    EXPECT_EQ(Lines(Headers), QStringList{"Defs.inc"});
    EXPECT_EQ(dir.Read("Defs2.inc"), "content");
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Soubor ") + Q(dir / "Defs2.inc") +
                                      QStringLiteral(" již existuje. \r\nPřepsat?"));

    PickFile(Q(dir / "Defs2.inc"));
    ClickButton(Headers, 2201);
    EXPECT_EQ(Lines(Headers), (QStringList{"Defs.inc", "Defs2.inc"}));
    EXPECT_EQ(dir.Read("Defs2.inc"), "");
    sheet->reject(); // the file stays emptied; the list does not change
    EXPECT_EQ(doc->Data().HeaderFiles.size(), 1u);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ListTest, RemovingTheOnlyRecordAndTheLocationEdit)
{
    Sheet(Headers);
    auto* location = Ctl<QLineEdit>(Headers, 2207);
    EXPECT_EQ(location->maxLength(), 259);
    EXPECT_EQ(location->text(), QStringLiteral("Defs.inc"));
    Type(Headers, 2207, QStringLiteral("inc\\Defs3.inc"));
    EXPECT_EQ(Lines(Headers), QStringList{"Defs3.inc"});
    EXPECT_EQ(List(Headers)->currentRow(), 0);
    ClickButton(Headers, 2203);
    EXPECT_TRUE(Lines(Headers).isEmpty());
    EXPECT_FALSE(location->isEnabled());
    EXPECT_FALSE(Ctl<QWidget>(Headers, 1164)->isEnabled());
    const int beeps = ui::BeepCount();
    ClickButton(Headers, 2203);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    sheet->accept();
    EXPECT_TRUE(doc->Data().HeaderFiles.empty());
}

TEST_F(ListTest, LocationButtonCreatesAMissingFileAndTooLongPathsAreRefused)
{
    Sheet(Support);
    EXPECT_EQ(Ctl<QComboBox>(Support, 2231)->currentText(), QStringLiteral("Ručně"));
    EXPECT_FALSE(Ctl<QWidget>(Support, 2230)->isEnabled());
    PickFile(Q(dir / "novy.bin"));
    ClickButton(Support, 2227);
    EXPECT_EQ(dir.Read("novy.bin"), "");
    EXPECT_EQ(Lines(Support), (QStringList{"novy.bin", "texty.txt"}));
    EXPECT_EQ(Ctl<QLineEdit>(Support, 2226)->text(), QStringLiteral(".\\novy.bin"));

    // A path whose stored form would be longer than 259 characters.
    std::string deep = "d";
    while (deep.size() < 250)
        deep += "/abcdefghij";
    ASSERT_EQ(std::system(("mkdir -p " + (dir / deep)).c_str()), 0);
    const QString full = Q(dir / (deep + "/soubor.bin"));
    tui::PromptScript prompts({ui::IDOK});
    PickFile(full);
    ClickButton(Support, 2221);
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral("Cestu k souboru ") + full +
                                                    QStringLiteral(" nelze uložit, je delší než 259 znaků.")});
    EXPECT_FALSE(QFileInfo::exists(full));
    EXPECT_EQ(Lines(Support).size(), 2);

    Choose(Support, 2231, 6);
    Type(Support, 2228, QStringLiteral("\\PLC\\novy.bin"));
    MarkTime();
    sheet->accept();
    ASSERT_EQ(doc->Data().SupportFiles.size(), 2u);
    EXPECT_EQ(doc->Data().SupportFiles[0],
              (core::SupportFileEntry{u"novy.bin", u".\\novy.bin", u"\\PLC\\novy.bin", 2, 6, 1}));
    EXPECT_FALSE(TimeStamped());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_SUPPORT_LIST});
}

// The new-file button makes the file of exactly the chosen name: beside
// novy.plc, "Novy.plc" and "novy.plc " are new files, made without a
// question, and novy.plc keeps its bytes.
TEST_F(ListTest, TheNewFileButtonMakesTheChosenNameExactly)
{
    dir.Write("novy.plc", "work");
    Sheet(Sources);
    tui::PromptScript prompts({ui::IDYES, ui::IDYES});
    for (const char* name : {"Novy.plc", "novy.plc "}) {
        SCOPED_TRACE(name);
        PickFile(Q(dir / name));
        ClickButton(Sources, 2201);
        EXPECT_TRUE(Lines(Sources).contains(QString::fromUtf8(name)));
        EXPECT_EQ(dir.Read(name), "");
    }
    EXPECT_TRUE(prompts.Texts().empty());
    EXPECT_EQ(dir.Read("novy.plc"), "work");
    sheet->reject();
}
