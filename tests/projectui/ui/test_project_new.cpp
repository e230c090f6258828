// A new project through the real dialog: empty, from a template and from a
// compiler configuration file, and every way it can stop; the dialog's own
// behaviour.
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Dialog.h"
#include "projectui/NewProjectDlg.h"
#include "res/StringTable.h"
#include "tests/projectui/ProjectTest.h"
#include "tests/support/ui/UiTest.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <map>

#include <sys/stat.h>

using namespace doctest;
namespace tui = testsupport::ui;

namespace {

// Fills the dialog once it is shown: the entry, the name and the location
// (typed as a user would), then OK.
void FillNewProject(int entry, const QString& name, const QString& location)
{
    tui::OnNextModal<CNewProjectDlg>([=](CNewProjectDlg* dlg) {
        auto* tree = tui::FindChild<QTreeWidget>(dlg, QStringLiteral("c1236"));
        auto* nameEdit = tui::FindChild<QLineEdit>(dlg, QStringLiteral("c1232"));
        auto* loc = tui::FindChild<QLineEdit>(dlg, QStringLiteral("c1234"));
        if (!tree || !nameEdit || !loc)
            return dlg->reject();
        tree->setCurrentItem(tree->topLevelItem(entry));
        tui::TypeText(nameEdit, name);
        loc->clear();
        tui::TypeText(loc, location);
        tui::Click(tui::FindChild<QPushButton>(dlg, QStringLiteral("c1")));
    });
}

// The new project ends in the project settings sheet: closed with Cancel.
void CancelSettingsSheet()
{
    tui::OnNextModal<ui::PropertySheet>([](ui::PropertySheet* sheet) { sheet->reject(); });
}

struct NewTest : DocTest
{
    ui::DocManager manager;
    std::vector<QString> recent;
    NewTest()
    {
        manager.SetRecentFileHook([this](const QString& p) { recent.push_back(p); });
    }
    QString Path(const std::string& rel) const { return Q(dir / rel); }
    bool Exists(const std::string& rel) const
    {
        struct stat st;
        return ::stat((dir / rel).c_str(), &st) == 0;
    }
};

} // namespace

TEST_F(NewTest, EmptyProjectInAMissingNestedFolder)
{
    tui::PromptScript prompts;
    FillNewProject(0, QStringLiteral("Lis"), Path("a/b/Lis"));
    CancelSettingsSheet();
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnNewDocument());
    EXPECT_TRUE(Exists("a/b/Lis/Lis.kxp"));
    EXPECT_TRUE(Exists("a/b/Lis/Lis.kxw"));
    EXPECT_EQ(doc->GetPathName(), Path("a/b/Lis/Lis.kxp"));
    EXPECT_EQ(doc->Data().FormatVersion, 6);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(host.open, doc.get());
    EXPECT_EQ(recent, std::vector<QString>{Path("a/b/Lis/Lis.kxp")});
    EXPECT_EQ(QDir::currentPath(), Path("a/b/Lis"));
    EXPECT_EQ(sys::Profile::GetString(u"Settings", u"NewProjectLocation"),
              sys::AnsiToWide(dir / "a/b"));
    EXPECT_TRUE(prompts.Texts().empty());
    EXPECT_TRUE(dir.Read("a/b/Lis/Lis.kxp").starts_with("Strandwork project\r\nProjectFormatVersion = 6\r\n"));
    doc->OnCloseDocument();
}

TEST_F(NewTest, StopsBeforeWritingAProject)
{
    // Cancel.
    tui::OnNextModal<CNewProjectDlg>([](CNewProjectDlg* dlg) { dlg->reject(); });
    auto doc = NewDoc();
    EXPECT_FALSE(doc->OnNewDocument());
    EXPECT_EQ(host.open, nullptr);

    // A folder that is not empty (a hidden entry counts), answered No.
    dir.Write("Lis/.hidden", "x");
    {
        tui::PromptScript prompts({ui::IDNO});
        FillNewProject(0, QStringLiteral("Lis"), Path("Lis"));
        EXPECT_FALSE(NewDoc()->OnNewDocument());
        EXPECT_EQ(prompts.Texts(),
                  std::vector<QString>{QStringLiteral("Adresář ") + Path("Lis") +
                                       QStringLiteral(" není prázdný a některé soubory mohou být "
                                                      "přepsány. Pokračovat?")});
        EXPECT_FALSE(Exists("Lis/Lis.kxp"));
    }
    // A folder that cannot be created: a file stands where a folder must be.
    dir.Write("file", "x");
    {
        tui::PromptScript prompts({ui::IDOK});
        FillNewProject(0, QStringLiteral("Lis"), Path("file/sub/Lis"));
        EXPECT_FALSE(NewDoc()->OnNewDocument());
        EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral("Adresář ") +
                                                        Path("file/sub/Lis") +
                                                        QStringLiteral(" se nepodařilo vytvořit!")});
    }
    EXPECT_TRUE(recent.empty());
}

TEST_F(NewTest, FromTemplates)
{
    // A format 6 template with its files, and a format 3 one whose
    // documents section names an existing file.
    CopyFixture(dir, "v6");
    for (const char* f : {"Main.plc", "src/Osy.plc", "Defs.inc", "data/obraz.bin", "texty.txt"})
        dir.Write(std::string("tpl/A/") + f, f);
    dir.Write("tpl/A/Lis.kxp", ReadFixture("v6", "Lis.kxp"));
    dir.Write("tpl/A/Lis.kxw", ReadFixture("v6", "Lis.kxw"));
    dir.Write("tpl/A/poznamky.txt", "notes");
    std::string v3 = ReadFixture("v3", "Lis.kxp");
    v3.replace(v3.find("PLCComment = "), 13, "PLCComment = Stará ");
    for (const char* f : {"Main.plc", "src/Osy.plc", "Defs.inc", "data/obraz.bin", "texty.txt"})
        dir.Write(std::string("tpl/B/") + f, f);
    dir.Write("tpl/B/Old.kxp", v3);
    dir.Write("tpl/B/poznamky.txt", "notes");
    const std::string templateBytes = dir.Read("tpl/A/Lis.kxp");
    host.settings.PathTemplates = sys::AnsiToWide(dir / "tpl/A") + u";" + sys::AnsiToWide(dir / "tpl/B");

    tui::PromptScript prompts;
    FillNewProject(2, QStringLiteral("Novy"), Path("Novy"));
    CancelSettingsSheet();
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnNewDocument());
    EXPECT_EQ(dir.Read("Novy/Osy.plc"), "src/Osy.plc");
    EXPECT_EQ(dir.Read("Novy/obraz.bin"), "data/obraz.bin");
    EXPECT_EQ(doc->Data().SourceFiles[1].FilePath, u"Osy.plc");
    EXPECT_EQ(doc->Data().FormatVersion, 6);
    EXPECT_EQ(dir.Read("tpl/A/Lis.kxp"), templateBytes);
    EXPECT_EQ(recent, std::vector<QString>{Path("Novy/Novy.kxp")});
    EXPECT_TRUE(prompts.Texts().empty());
    doc->OnCloseDocument();

    // The format 3 template: no conversion question, no document.
    FillNewProject(3, QStringLiteral("Stary"), Path("Stary"));
    CancelSettingsSheet();
    auto old = NewDoc();
    ASSERT_TRUE(old->OnNewDocument());
    EXPECT_EQ(old->Data().FormatVersion, 6);
    EXPECT_EQ(old->WorkspaceSection(), WorkspaceDocuments{});
    EXPECT_NE(dir.Read("Stary/Stary.kxw").find("TXTDocumentsCount = 0\r\n"), std::string::npos);
    EXPECT_TRUE(prompts.Texts().empty());
    old->OnCloseDocument();
}

TEST_F(NewTest, ImportOfAConfigurationFile)
{
    // Sources above and beside the configuration folder (the fixture).
    const QString knf = Q(FixtureDir("knf") + "/PLC6300/System/Lis.knf");
    tui::PromptScript prompts;
    auto doc = NewDoc();
    doc->SetProjectDefaults();
    dir.Write("Lis/.keep", "");
    ASSERT_EQ(doc->ImportKnf(knf, Path("Lis")), 1);
    const ProjectData& d = doc->Data();
    EXPECT_EQ(d.PLCComment, u"Řízení lisu; druhá řada");
    EXPECT_EQ(d.CPU, u"PENTIUM");
    EXPECT_EQ(d.SourceFiles,
              (std::vector<ProjectFileEntry>{{u"MAIN.plc", u"MAIN.plc"}, {u"osy.plc", u"osy.plc"}}));
    EXPECT_EQ(d.ExtraKeywords, (std::vector<KeywordPair>{{u"MyKey", u"5"}}));
    EXPECT_EQ(d.TarvaneVer, u"6.300");
    EXPECT_EQ(d.TarvaneVerMajor, 6);
    EXPECT_EQ(d.TarvaneVerMinor, 300);
    EXPECT_EQ(dir.Read("Lis/MAIN.plc"), "; hlavni modul\r\nEND\r\n");
    EXPECT_EQ(dir.Read("Lis/osy.plc"), "; osy\r\nEND\r\n");
    EXPECT_TRUE(prompts.Texts().empty());
}

// Chooses the configuration file in the import's file dialog.
void ChooseKnf(const QString& path)
{
    tui::OnNextModal<QFileDialog>([=](QFileDialog* d) {
        auto* edit = tui::FindChild<QLineEdit>(d, QStringLiteral("fileNameEdit"));
        if (!edit)
            return d->reject();
        edit->setText(path);
        tui::PressKey(edit, Qt::Key_Return);
    });
}

// Every file and folder below the test folder with its bytes.
std::map<std::string, std::string> Snapshot(const testsupport::TempDir& dir)
{
    std::map<std::string, std::string> all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
        const std::string rel = std::filesystem::relative(e.path(), dir.Path()).string();
        all[rel] = e.is_directory() ? std::string("<folder>") : dir.Read(rel);
    }
    return all;
}

// With a project open, an import and a template ask to close it before
// they create the folder or copy a file: No leaves the disk as it was, Yes
// asks once and makes the project.
TEST_F(NewTest, AnImportAndATemplateAskEveryQuestionBeforeTheyWriteAnything)
{
    dir.Write("cfg/Lis.knf", "FilePlc = main.plc\r\n");
    dir.Write("cfg/main.plc", "END\r\n");
    for (const char* f : {"Main.plc", "src/Osy.plc", "Defs.inc", "data/obraz.bin", "texty.txt"})
        dir.Write(std::string("tpl/A/") + f, f);
    dir.Write("tpl/A/Lis.kxp", ReadFixture("v6", "Lis.kxp"));
    host.settings.PathTemplates = sys::AnsiToWide(dir / "tpl/A");

    for (int entry : {1, 2}) {
        SCOPED_TRACE(entry == 1 ? "import" : "template");
        const std::string folder = entry == 1 ? "New" : "Novy";
        auto old = NewDoc();
        host.open = old.get();
        const auto before = Snapshot(dir);
        {
            tui::PromptScript prompts({ui::IDNO});
            FillNewProject(entry, QStringLiteral("Lis"), Path(folder + "/Lis"));
            if (entry == 1)
                ChooseKnf(Path("cfg/Lis.knf"));
            EXPECT_FALSE(NewDoc()->OnNewDocument());
            ASSERT_EQ(prompts.Texts().size(), 1u);
            EXPECT_EQ(prompts.Texts()[0], FormatResString(IDS_PRJ_CLOSE_PROJECT, old->GetPathName()));
            EXPECT_FALSE(Exists(folder));
            EXPECT_EQ(Snapshot(dir), before);
            EXPECT_EQ(host.open, old.get());
        }
        {
            tui::PromptScript prompts({ui::IDYES});
            FillNewProject(entry, QStringLiteral("Lis"), Path(folder + "/Lis"));
            if (entry == 1)
                ChooseKnf(Path("cfg/Lis.knf"));
            CancelSettingsSheet();
            auto doc = NewDoc();
            ASSERT_TRUE(doc->OnNewDocument());
            EXPECT_EQ(prompts.Texts().size(), 1u); // asked once, also by the template's open
            if (entry == 1) {
                EXPECT_EQ(dir.Read("New/Lis/main.plc"), "END\r\n");
            } else {
                EXPECT_EQ(dir.Read("Novy/Lis/Main.plc"), "Main.plc");
                EXPECT_EQ(dir.Read("Novy/Lis/Osy.plc"), "src/Osy.plc");
                EXPECT_EQ(dir.Read("Novy/Lis/obraz.bin"), "data/obraz.bin");
            }
            EXPECT_TRUE(Exists(folder + "/Lis/Lis.kxp"));
            EXPECT_EQ(host.open, doc.get());
            doc->OnCloseDocument();
        }
    }
}

TEST_F(NewTest, ImportFindsSourcesInOrderAndReportsAMissingOne)
{
    // "PathUser" first, then above, then beside the configuration.
    dir.Write("user/a.plc", "user a");
    dir.Write("cfg/a.plc", "beside a");
    dir.Write("b.src", "above b");
    dir.Write("cfg/b.src", "beside b");
    dir.Write("cfg/sub/c.plc", "beside c");
    dir.Write("cfg/Lis.knf", "PathUser = " + (dir / "user") +
                                 "\r\nTarget = Haldor\r\nFilePlc = a.plc\r\nFilePlcExt = b.src\r\n"
                                 "FilePlcExt = sub/c.plc\r\n");
    {
        tui::PromptScript prompts;
        auto doc = NewDoc();
        doc->SetProjectDefaults();
        dir.Write("P1/.keep", "");
        ASSERT_EQ(doc->ImportKnf(Path("cfg/Lis.knf"), Path("P1")), 1);
        EXPECT_EQ(dir.Read("P1/a.plc"), "user a");
        EXPECT_EQ(dir.Read("P1/b.plc"), "above b");
        EXPECT_EQ(dir.Read("P1/c.plc"), "beside c");
        EXPECT_EQ(doc->Data().TarvaneVer, u"632"); // "cfg" names no version
        EXPECT_EQ(doc->Data().PelmarVer, 632);
    }
    // A source found nowhere: 4395 with the last candidate, no project.
    dir.Write("cfg/Bad.knf", "FilePlc = gone.plc\r\n");
    {
        tui::PromptScript prompts({ui::IDOK});
        dir.Write("P2/.keep", "");
        auto doc = NewDoc();
        doc->SetProjectDefaults();
        EXPECT_EQ(doc->ImportKnf(Path("cfg/Bad.knf"), Path("P2")), 0);
        EXPECT_EQ(prompts.Texts(),
                  std::vector<QString>{QStringLiteral("Soubor ") + Path("cfg/gone.plc") +
                                       QStringLiteral(" nebyl nalezen, nebo se nepodařilo jeho "
                                                      "kopírování do ") +
                                       Path("P2/gone.plc") + QStringLiteral("!")});
        EXPECT_FALSE(Exists("P2/P2.kxp"));
    }
    // Two records with one destination: nothing is copied.
    dir.Write("cfg/Twice.knf", "FilePlc = a.plc\r\nFilePlcExt = sub/A.PLC\r\n");
    {
        tui::PromptScript prompts({ui::IDOK});
        dir.Write("P3/.keep", "");
        auto doc = NewDoc();
        doc->SetProjectDefaults();
        EXPECT_EQ(doc->ImportKnf(Path("cfg/Twice.knf"), Path("P3")), 0);
        EXPECT_EQ(prompts.Texts().size(), 1u);
        EXPECT_FALSE(Exists("P3/a.plc"));
    }
    // A configuration that cannot be opened.
    {
        tui::PromptScript prompts({ui::IDOK});
        auto doc = NewDoc();
        EXPECT_EQ(doc->ImportKnf(Path("cfg/none.knf"), Path("P4")), 0);
        EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral("Soubor ") +
                                                        Path("cfg/none.knf") +
                                                        QStringLiteral(" se nepodařilo otevřít!")});
    }
    // The configuration chosen is the file of exactly that name, never
    // another spelling beside it.
    dir.Write("cfg/lower.knf", "FilePlc = a.plc\r\n");
    {
        tui::PromptScript prompts({ui::IDOK});
        dir.Write("P5/.keep", "");
        auto doc = NewDoc();
        doc->SetProjectDefaults();
        EXPECT_EQ(doc->ImportKnf(Path("cfg/LOWER.knf"), Path("P5")), 0);
        EXPECT_EQ(prompts.Texts().size(), 1u);
        EXPECT_FALSE(Exists("P5/a.plc"));
    }
}

TEST_F(NewTest, ImportInTheFolderThatHoldsTheConfiguration)
{
    dir.Write("Lis/Lis.knf", "FilePlc = MAIN.plc\r\n");
    dir.Write("Lis/MAIN.plc", "the only copy");
    tui::PromptScript prompts;
    auto doc = NewDoc();
    doc->SetProjectDefaults();
    ASSERT_EQ(doc->ImportKnf(Path("Lis/Lis.knf"), Path("Lis")), 1);
    EXPECT_EQ(dir.Read("Lis/MAIN.plc"), "the only copy");
    EXPECT_EQ(doc->Data().SourceFiles, (std::vector<ProjectFileEntry>{{u"MAIN.plc", u"MAIN.plc"}}));
}

TEST_F(NewTest, TheDialogItself)
{
    sys::Profile::WriteString(u"Settings", u"NewProjectLocation", u"/home/u");
    tui::PromptScript prompts;
    prompts.AllowUnexpected(true);
    CNewProjectDlg dlg;
    dir.Write("t/x.kxp", "Strandwork project\r\nProjectFormatVersion = 6\r\nPLCComment = Vzor\r\n");
    dlg.ScanTemplates(Path("t"), true);
    dlg.OnInitDialog();
    dlg.show();
    auto* name = tui::FindChild<QLineEdit>(&dlg, QStringLiteral("c1232"));
    auto* loc = tui::FindChild<QLineEdit>(&dlg, QStringLiteral("c1234"));
    auto* tree = tui::FindChild<QTreeWidget>(&dlg, QStringLiteral("c1236"));
    auto* info = tui::FindChild<QLabel>(&dlg, QStringLiteral("c1110"));
    ASSERT_TRUE(name && loc && tree && info);
    EXPECT_TRUE(tui::WaitFor([&] { return name->hasFocus(); }, 2000, "focus in the name"));
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), QStringLiteral("Vzor"));

    // Name and location in step.
    tui::TypeText(name, QStringLiteral("Lis"));
    EXPECT_EQ(loc->text(), QStringLiteral("/home/u/Lis"));
    loc->clear();
    tui::TypeText(loc, QStringLiteral("/data/Work/Lis"));
    EXPECT_EQ(dlg.GetBaseLocation(), QStringLiteral("/data/Work"));
    loc->clear();
    tui::TypeText(loc, QStringLiteral("C:\\Work\\Lis"));
    EXPECT_EQ(dlg.GetBaseLocation(), QStringLiteral("C:\\Work"));

    // Info text.
    tree->setCurrentItem(tree->topLevelItem(2));
    EXPECT_EQ(info->text(), Path("t/x.kxp"));
    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_EQ(info->text(), QStringLiteral("-"));

    // OK: a relative location and bad names are refused.
    dlg.OnOK();
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{QStringLiteral("Umístění „C:\\Work“ není "
                                                                   "úplná cesta ke složce.")});
    loc->clear();
    tui::TypeText(loc, QStringLiteral("/data/Lis"));
    for (const QString& bad : {QStringLiteral(" "), QStringLiteral(".."), QStringLiteral("a/b"),
                               QStringLiteral("a:b"), QStringLiteral("Lis."),
                               QStringLiteral(" Lis"), QStringLiteral("a\tb")})
        EXPECT_FALSE(CNewProjectDlg::IsValidProjectName(bad)) << bad.toStdString();
    EXPECT_TRUE(CNewProjectDlg::IsValidProjectName(QStringLiteral("Lis 2.a")));
    name->clear();
    tui::TypeText(name, QStringLiteral("a?"));
    dlg.OnOK();
    EXPECT_EQ(prompts.Texts().back(), QStringLiteral("Název projektu „a?“ nelze použít jako "
                                                     "název souboru a složky."));
    EXPECT_TRUE(dlg.isVisible());

    // Pieces missing: nothing happens.
    name->clear();
    tui::TypeText(name, QStringLiteral(" "));
    tui::PressKey(name, Qt::Key_Backspace);
    const size_t asked = prompts.Texts().size();
    dlg.OnOK();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(prompts.Texts().size(), asked);

    // Double-click is OK.
    tui::TypeText(name, QStringLiteral("Lis"));
    QTreeWidgetItem* item = tree->topLevelItem(0);
    tui::Click(tree->viewport(), tree->visualItemRect(item).center());
    tui::DoubleClick(tree->viewport(), tree->visualItemRect(item).center());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetSelected().Kind, 0);
    EXPECT_EQ(dlg.GetProjectName(), QStringLiteral("Lis"));
    EXPECT_EQ(dlg.GetProjectFolder(), QStringLiteral("/data/Lis"));
}
