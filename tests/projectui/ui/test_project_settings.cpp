// The project settings sheet: its tabs, the rules all pages share, and the
// pages other than the file lists and the link.
#include "core/projfile/ProjectSettingsRules.h"
#include "tests/projectui/ui/SettingsTest.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTabBar>

#include <sys/stat.h>

using namespace settingstest;

TEST_F(SettingsTest, TenTabsInOrderAndReopeningOnTheLastPage)
{
    Sheet();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Nastavení projektu"));
    const QStringList captions{"Obecné", "Zdrojové soubory PLC", "Hlavičkové soubory PLC", "Podpůrné soubory",
                               "Hardware", "Assembler/Linker", "Tarvane", "Make.knf", "Spojení OLNK", "Ladění"};
    ASSERT_EQ(sheet->GetPageCount(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(sheet->Tabs()->tabText(i), captions[i]);
    EXPECT_NE(Page<CPPProjectLink>(Link), nullptr);
    sheet.reset();

    EXPECT_EQ(doc->SettingsPageIndex(), 0);
    tui::OnNextModal<ui::PropertySheet>([](ui::PropertySheet* s) {
        EXPECT_EQ(s->GetActiveIndex(), 0);
        s->SetActivePage(Debug);
        s->reject();
    });
    doc->EditProjectSettings(nullptr);
    EXPECT_EQ(doc->SettingsPageIndex(), int(Debug));
    tui::OnNextModal<ui::PropertySheet>([](ui::PropertySheet* s) {
        EXPECT_EQ(s->GetActiveIndex(), int(Debug));
        s->accept();
    });
    doc->EditProjectSettings(nullptr);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(Hints().empty());
}

TEST_F(SettingsTest, AllTenTabsShowWithoutArrowsAndEveryPageFitsTheDefaultSize)
{
    Sheet();
    tui::PumpEvents();
    QTabBar* bar = sheet->Tabs()->tabBar();
    EXPECT_LE(bar->sizeHint().width(), bar->width());
    for (int i = 0; i < bar->count(); ++i)
        EXPECT_TRUE(bar->rect().contains(bar->tabRect(i))) << "tab " << i;
    // The sheet keeps its size from page to page, and no text of a page is
    // cut at it.
    const QSize size = sheet->size();
    for (int i = 0; i < sheet->GetPageCount(); ++i) {
        ASSERT_TRUE(Show(i));
        tui::PumpEvents();
        EXPECT_EQ(sheet->size(), size) << "page " << i;
        EXPECT_EQ(tui::ClippedTexts(Page(i)), QStringList()) << "page " << i;
    }
    // It cannot be made narrower than its tabs; made very small otherwise,
    // nothing breaks.
    EXPECT_GE(sheet->minimumSizeHint().width(), bar->sizeHint().width());
    sheet->resize(10, 10);
    tui::PumpEvents();
    EXPECT_GE(sheet->width(), bar->sizeHint().width());
    (void)tui::Render(sheet.get());
}

TEST_F(SettingsTest, EditsSurviveTabSwitchesAndCancelReloads)
{
    Sheet(General);
    Type(General, 2104, QStringLiteral("Zkouška"));
    EXPECT_TRUE(Page(General)->IsModified());
    EXPECT_TRUE(sheet->Buttons()->button(QDialogButtonBox::Apply)->isEnabled());
    ASSERT_TRUE(Show(Hardware));
    ASSERT_TRUE(Show(General));
    EXPECT_EQ(Ctl<QLineEdit>(General, 2104)->text(), QStringLiteral("Zkouška"));

    sheet->reject();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->Data().Config, u"Lis2");
    EXPECT_EQ(Ctl<QLineEdit>(General, 2104)->text(), QStringLiteral("Lis2"));
    EXPECT_FALSE(Page(General)->IsModified());
    EXPECT_TRUE(Hints().empty());
}

TEST_F(SettingsTest, EnterInAFieldPressesOk)
{
    Sheet(General);
    Type(General, 2104, QStringLiteral("Lis3"));
    // As the keyboard gives it: through the event loop to the field.
    QLineEdit* field = Ctl<QLineEdit>(General, 2104);
    field->setFocus();
    QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
    tui::WaitFor([&] { return !sheet->isVisible(); }, 5000, "the sheet closes");
    EXPECT_EQ(sheet->result(), int(QDialog::Accepted));
    EXPECT_EQ(doc->Data().Config, u"Lis3");
}

TEST_F(SettingsTest, ApplyThenOkWritesOnceAndUntouchedPagesWriteNothing)
{
    MarkTime();
    Sheet(Hardware);
    ASSERT_TRUE(Show(General)); // activated, never changed
    ASSERT_TRUE(Show(Hardware));
    Type(Hardware, 2161, QStringLiteral("66"));
    Type(Hardware, 2164, QStringLiteral("VQ12"));
    ASSERT_TRUE(sheet->Apply());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_HARDWARE});
    EXPECT_EQ(doc->Data().Clock, u"66"); // not in the list: stored as typed
    EXPECT_EQ(doc->Data().Axis, u"VQ12");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(TimeStamped());
    EXPECT_FALSE(sheet->Buttons()->button(QDialogButtonBox::Apply)->isEnabled());
    sheet->accept();
    EXPECT_EQ(Hints(), std::vector<long>{HINT_HARDWARE});

    // The saved file keeps it.
    tui::PromptScript prompts;
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_NE(dir.Read("Lis.kxp").find("\r\nClock = 66\r\n"), std::string::npos);

    // Apply, then Cancel: what Apply wrote stays.
    Sheet(Hardware);
    Type(Hardware, 2161, QStringLiteral("100"));
    ASSERT_TRUE(sheet->Apply());
    sheet->reject();
    EXPECT_EQ(doc->Data().Clock, u"100");
}

TEST_F(SettingsTest, GeneralPage)
{
    // Only the configuration: modified, the settings time stays.
    MarkTime();
    Sheet(General);
    Type(General, 2104, QStringLiteral("Lis3"));
    sheet->accept();
    EXPECT_EQ(doc->Data().Config, u"Lis3");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(TimeStamped());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_GENERAL});

    // A typed target is stored as typed, and the version numbers follow it.
    ASSERT_EQ(doc->Data().PelmarVer, 632);
    Sheet(General);
    Type(General, 2105, QStringLiteral("Hal dor 2"));
    sheet->accept();
    EXPECT_EQ(doc->Data().Target, u"Hal dor 2");
    EXPECT_TRUE(TimeStamped());
    EXPECT_EQ(doc->Data().PelmarVer, 0);
    EXPECT_EQ(doc->Data().TarvaneVerMajor, 632);

    // Format entry 5, then a save that keeps the format.
    Sheet(General);
    EXPECT_EQ(Ctl<QComboBox>(General, 2103)->currentIndex(), 5);
    Choose(General, 2103, 4);
    sheet->accept();
    EXPECT_EQ(doc->Data().FormatVersion, 5);
    tui::PromptScript prompts({ui::IDNO});
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_TRUE(dir.Read("Lis.kxp").starts_with("Strandwork project\r\nProjectFormatVersion = 5\r\n"));
}

namespace {
void MakeDirs(const testsupport::TempDir& dir, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        ::mkdir((dir / n).c_str(), 0755);
}
// Answers the next folder picker with a folder.
void PickFolder(const QString& folder)
{
    tui::OnNextModal<QFileDialog>([folder](QFileDialog* d) {
        tui::ChooseInFileDialog(d, folder);
    });
}
QStringList Items(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out.append(c->itemText(i));
    return out;
}
} // namespace

TEST_F(SettingsTest, CompilerPageScansAndStoresTheFolder)
{
    MakeDirs(dir, {"app", "app/PLC5100", "app/PLC6031", "app/PLC6032", "app/PLC6300", "app/PLC7000", "own",
                   "own/PLC6400", "own/Pelmar0632"});
    host.settings.PathTarvane = W(dir / "app/");
    doc->Data().Target = u"DOS";
    Sheet(Compiler);
    auto* versions = Ctl<QComboBox>(Compiler, 2180);
    auto* folder = Ctl<QComboBox>(Compiler, 2187);
    EXPECT_EQ(folder->currentText(), QString::fromStdU16String(std::u16string(core::kAppFolderPlaceholder)));
    EXPECT_EQ(Items(versions), (QStringList{"6.300", "6.32", "7.0"}));
    EXPECT_EQ(versions->currentText(), QStringLiteral("632")); // the text stays
    EXPECT_FALSE(Ctl<QLineEdit>(Compiler, 2181)->isEnabled());  // 632 reads as 632.0

    // A typed folder rescans; the list entry goes back to the application's.
    Type(Compiler, 2187, Q(dir / "own"));
    EXPECT_EQ(Items(versions), QStringList{"6.400"});
    EXPECT_EQ(versions->currentText(), QStringLiteral("632"));
    Choose(Compiler, 2187, 0);
    EXPECT_EQ(Items(versions), (QStringList{"6.300", "6.32", "7.0"}));

    // Versions drive the name of the linked program.
    Choose(Compiler, 2180, 1); // 6.32
    EXPECT_EQ(doc->PendingTarvaneVer(), u"6.32");
    EXPECT_TRUE(Ctl<QLineEdit>(Compiler, 2181)->isEnabled());
    Type(Compiler, 2180, QStringLiteral("6.349"));
    EXPECT_FALSE(Ctl<QLineEdit>(Compiler, 2181)->isEnabled());
    Type(Compiler, 2180, QStringLiteral("6.348"));
    EXPECT_TRUE(Ctl<QLineEdit>(Compiler, 2181)->isEnabled());
    sheet->accept();
    EXPECT_EQ(doc->Data().PathTarvane, u"");
    EXPECT_EQ(doc->Data().TarvaneVer, u"6.348");
    EXPECT_EQ(doc->Data().TarvaneVerMajor, 6);
    EXPECT_EQ(doc->Data().TarvaneVerMinor, 348);
    EXPECT_EQ(Hints(), std::vector<long>{HINT_COMPILER});

    // The placeholder typed by hand is the application's folder too.
    doc->Data().PathTarvane = W(dir / "own/");
    Sheet(Compiler);
    Type(Compiler, 2187, QString::fromStdU16String(std::u16string(core::kAppFolderPlaceholder)));
    sheet->accept();
    EXPECT_EQ(doc->Data().PathTarvane, u"");

    // "..." with the same folder in other letters changes nothing.
    doc->Data().PathTarvane = W(dir / "OWN/");
    doc->SetModifiedFlag(false);
    Sheet(Compiler);
    folder = Ctl<QComboBox>(Compiler, 2187);
    versions = Ctl<QComboBox>(Compiler, 2180);
    PickFolder(Q(dir / "own"));
    ClickButton(Compiler, 2083);
    EXPECT_FALSE(Page(Compiler)->IsModified());
    EXPECT_EQ(folder->currentText(), Q(dir / "OWN/"));
    // Another folder is taken with a trailing separator and rescanned.
    PickFolder(Q(dir / "app"));
    ClickButton(Compiler, 2083);
    EXPECT_EQ(folder->currentText(), Q(dir / "app/"));
    EXPECT_EQ(Items(versions), (QStringList{"6.300", "6.32", "7.0"}));
    EXPECT_TRUE(Page(Compiler)->IsModified());
}

TEST_F(SettingsTest, CompilerVersionSwitchesTheToolsBeforeOk)
{
    doc->Data().Target = u"DOS";
    Sheet(Compiler);
    Type(Compiler, 2180, QStringLiteral("6.299"));
    ASSERT_TRUE(Show(AsmLinker));
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2134)->isVisible());
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2120)->isVisible());
    EXPECT_FALSE(Ctl<QWidget>(AsmLinker, 2137)->isVisible());
    EXPECT_FALSE(Ctl<QWidget>(AsmLinker, 2140)->isVisible());
    ASSERT_TRUE(Show(Compiler));
    Type(Compiler, 2180, QStringLiteral("6.300"));
    ASSERT_TRUE(Show(AsmLinker));
    EXPECT_FALSE(Ctl<QWidget>(AsmLinker, 2134)->isVisible());
    EXPECT_FALSE(Ctl<QWidget>(AsmLinker, 2132)->isVisible());
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2137)->isVisible());
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2139)->isVisible());
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2089)->isVisible());
    EXPECT_EQ(doc->Data().TarvaneVer, u"632"); // nothing written yet
}

TEST_F(SettingsTest, AssemblerAndLinkerPage)
{
    MakeDirs(dir, {"bin", "other"});
    dir.Write("bin/TASM.EXE", "");
    dir.Write("other/tlink.exe", "");
    host.settings.PathBorlandBin = W(dir / "bin/");
    doc->Data().PathBorland = W(dir / "other/");
    doc->Data().TarvaneVer = u"6.200";
    Sheet(AsmLinker);
    EXPECT_TRUE(Ctl<QWidget>(AsmLinker, 2123)->isVisible());
    EXPECT_EQ(Ctl<QComboBox>(AsmLinker, 2134)->currentText(), Q(dir / "other/"));

    // A linker differing only in letter case changes nothing.
    tui::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        tui::ChooseInFileDialog(d, Q(dir / "other/tlink.exe"));
    });
    ClickButton(AsmLinker, 2129);
    EXPECT_FALSE(Page(AsmLinker)->IsModified());
    EXPECT_EQ(Ctl<QLineEdit>(AsmLinker, 2128)->text(), QStringLiteral("Tlink.exe"));

    // The assembler in the application's folder: back to the list entry
    // (the name differs only in case and stays).
    tui::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        tui::ChooseInFileDialog(d, Q(dir / "bin/TASM.EXE"));
    });
    ClickButton(AsmLinker, 2124);
    EXPECT_TRUE(Page(AsmLinker)->IsModified());
    EXPECT_EQ(Ctl<QLineEdit>(AsmLinker, 2123)->text(), QStringLiteral("Tasm.exe")); // same name in any case
    EXPECT_EQ(Ctl<QComboBox>(AsmLinker, 2134)->currentText(),
              QString::fromStdU16String(std::u16string(core::kAppFolderPlaceholder)));
    // The library folder's list entry typed by hand.
    Type(AsmLinker, 2135, QString::fromStdU16String(std::u16string(core::kAppFolderPlaceholder)));
    sheet->accept();
    EXPECT_EQ(doc->Data().PathBorland, u"");
    EXPECT_EQ(doc->Data().PathLib, u"");
    EXPECT_EQ(doc->Data().NameTasm, u"Tasm.exe");
    EXPECT_EQ(Hints(), std::vector<long>{HINT_ASM_LINK});
}

TEST_F(SettingsTest, DebugPeriodsAreValidated)
{
    Sheet(Debug);
    tui::PromptScript prompts({ui::IDOK, ui::IDOK});
    Type(Debug, 2250, QStringLiteral("1x5"));
    EXPECT_FALSE(Show(General));
    EXPECT_EQ(sheet->GetActiveIndex(), int(Debug));
    Type(Debug, 2250, QStringLiteral("65536"));
    sheet->accept(); // refused: the page stays
    EXPECT_EQ(sheet->GetActiveIndex(), int(Debug));
    EXPECT_EQ(prompts.Texts(), (std::vector<QString>{QStringLiteral("Zadejte prosím celé kladné číslo."),
                                                     QStringLiteral("Zadejte prosím celé číslo v rozsahu od 0 do 65535.")}));
    EXPECT_FALSE(doc->IsModified());

    Type(Debug, 2250, QStringLiteral("65535"));
    tui::Click(Ctl<QCheckBox>(Debug, 2253), QPoint(8, 8)); // on the box, however wide the page
    MarkTime();
    sheet->accept();
    EXPECT_EQ(doc->Data().WatchInterval, 65535);
    EXPECT_EQ(doc->Data().DisplayAsHex, 0);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(TimeStamped());
    EXPECT_EQ(Hints(), std::vector<long>{HINT_DEBUG_DISPLAY});
}

TEST_F(SettingsTest, MakeKnfKeywords)
{
    doc->Data().ExtraKeywords = {{u"A", u"1"}, {u"B", u"2"}, {u"C", u"3"}};
    Sheet(MakeKnf);
    auto* list = Ctl<QListWidget>(MakeKnf, 2270);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentRow(), 0);
    list->setCurrentRow(1);
    Type(MakeKnf, 2274, QStringLiteral("22"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("B = 22"));
    EXPECT_EQ(list->currentRow(), 1);

    ClickButton(MakeKnf, 2271);
    ClickButton(MakeKnf, 2271);
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("KlíčovéSlovo = Hodnota"));
    EXPECT_EQ(list->item(4)->text(), QStringLiteral("KlíčovéSlovo = Hodnota"));

    // A keyword that the project file keeps for itself is refused on leaving
    // and on OK.
    Type(MakeKnf, 2273, QStringLiteral(" target"));
    list->setCurrentRow(0);
    tui::PromptScript prompts({ui::IDOK, ui::IDOK});
    EXPECT_FALSE(Show(General));
    sheet->accept();
    EXPECT_EQ(prompts.Texts(),
              std::vector<QString>(2, QStringLiteral("Klíčové slovo  target je vyhrazeno pro nastavení projektu. "
                                                     "Zvolte jiné klíčové slovo.")));
    EXPECT_EQ(list->currentRow(), 4);
    EXPECT_EQ(sheet->GetActiveIndex(), int(MakeKnf));
    EXPECT_FALSE(doc->IsModified());

    Type(MakeKnf, 2273, QStringLiteral("Optimize"));
    const int beeps = ui::BeepCount();
    ClickButton(MakeKnf, 2272); // deletes line 5
    EXPECT_FALSE(Ctl<QLineEdit>(MakeKnf, 2273)->isEnabled());
    ClickButton(MakeKnf, 2272); // nothing selected
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    sheet->accept();
    EXPECT_EQ(doc->Data().ExtraKeywords,
              (std::vector<core::KeywordPair>{{u"A", u"1"}, {u"B", u"22"}, {u"C", u"3"}, {u"KlíčovéSlovo", u"Hodnota"}}));
    EXPECT_EQ(Hints(), std::vector<long>{HINT_SOURCE_LIST});
}

TEST_F(SettingsTest, EachPageMarksTheProjectAndSendsItsHint)
{
    struct Case
    {
        Tab tab;
        int id;
        long hint;
        bool stamps;
    };
    for (const Case& c : {Case{General, 2100, HINT_GENERAL, true}, Case{AsmLinker, 2126, HINT_ASM_LINK, true},
                          Case{Hardware, 2160, HINT_HARDWARE, true}, Case{Compiler, 2182, HINT_COMPILER, true},
                          Case{Debug, 2251, HINT_DEBUG_DISPLAY, false}, Case{Sources, 2206, HINT_SOURCE_LIST, true},
                          Case{Headers, 2207, HINT_HEADER_LIST, true}, Case{Support, 2226, HINT_SUPPORT_LIST, false}}) {
        view->hints.clear();
        doc->SetModifiedFlag(false);
        MarkTime();
        Sheet(c.tab);
        Type(c.tab, c.id, QStringLiteral("7"));
        sheet->accept();
        EXPECT_EQ(Hints(), std::vector<long>{c.hint}) << c.tab;
        EXPECT_TRUE(doc->IsModified()) << c.tab;
        EXPECT_EQ(TimeStamped(), c.stamps) << c.tab;
    }
}
