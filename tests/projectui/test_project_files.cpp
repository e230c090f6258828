// The project document over the hand-written fixtures: re-saving, the
// conversion, bad files, the workspace step, copying a template, adding
// files and a save whose write fails.
#include "ProjectTest.h"

#include <QRegularExpression>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using namespace core;
using namespace doctest;

namespace {

const QString kUnexpected = QStringLiteral("Neočekávaný formát souboru.");

std::vector<std::string> FolderEntries(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The files that the v6 fixture lists, in a template folder.
void WriteTemplateFiles(const testsupport::TempDir& t)
{
    t.Write("Main.plc", "main");
    t.Write("src/Osy.plc", "osy");
    t.Write("Defs.inc", "defs");
    t.Write("data/obraz.bin", std::string("\0\1\2", 3));
    t.Write("texty.txt", "texty");
}

void Replace(std::string& s, const std::string& from, const std::string& to)
{
    const size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    s.replace(at, from.size(), to);
}

} // namespace

TEST_F(DocTest, FixturesAreResavedByteIdentical)
{
    for (const char* sub : {"v6", "v5"}) {
        CopyFixture(dir, sub);
        ui::ScriptedPrompts prompts; // the conversion question takes its default, No
        auto doc = NewDoc();
        ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp"))) << sub;
        EXPECT_TRUE(prompts.Asked().empty());
        ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
        EXPECT_EQ(prompts.Asked().size(), std::string(sub) == "v5" ? 1u : 0u);
        EXPECT_EQ(dir.Read("Lis.kxp"), ReadFixture(sub, "Lis.kxp")) << sub;
        EXPECT_EQ(dir.Read("Lis.kxw"), ReadFixture(sub, "Lis.kxw")) << sub;
        doc->OnCloseDocument();
    }
    // Format 5 converted with Yes.
    CopyFixture(dir, "v5");
    ui::ScriptedPrompts prompts({ui::IDYES});
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_EQ(doc->Data().FormatVersion, 6);
    EXPECT_EQ(dir.Read("Lis.kxp"), ReadFixture("v5-yes", "Lis.kxp"));
    EXPECT_EQ(dir.Read("Lis.kxw"), ReadFixture("v5-yes", "Lis.kxw"));
    doc->OnCloseDocument();
}

TEST_F(DocTest, EveryBadFixtureIsAFormatErrorAndStaysUntouched)
{
    const QString newer =
        QStringLiteral("Projekt byl vytvořen v novější verzi aplikace Strandwork!");
    const std::vector<std::string> names = FolderEntries(FixtureDir("bad"));
    ASSERT_GE(names.size(), 15u);
    for (const std::string& name : names) {
        const std::string bytes = ReadFixture("bad", name);
        dir.Write(name, bytes);
        ui::ScriptedPrompts prompts;
        auto doc = NewDoc();
        EXPECT_FALSE(doc->OnOpenDocument(Q(dir / name))) << name;
        const bool isNewer = name == "version-7.kxp" || name == "version-negative.kxp";
        // The framework's text, then the file and what is wrong with it.
        const std::vector<QString> texts = Texts(prompts);
        ASSERT_EQ(texts.size(), isNewer ? 2u : 1u) << name;
        if (isNewer) {
            EXPECT_EQ(texts[0], newer);
        }
        EXPECT_TRUE(texts.back() == BadFormat(dir / name, 0) ||
                    texts.back().contains(QRegularExpression(
                        QStringLiteral("^%1\n%2: řádek \\d+ nemá očekávaný tvar$")
                            .arg(QRegularExpression::escape(kUnexpected),
                                 QRegularExpression::escape(Q(dir / name))))))
            << name << ": " << texts.back().toStdString();
        if (isNewer) {
            EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Strandwork")); // the default
        }
        EXPECT_EQ(host.open, nullptr);
        EXPECT_FALSE(doc->IsOpenProject());
        EXPECT_EQ(dir.Read(name), bytes) << name;
    }
    // No workspace file was made for any of them.
    for (const std::string& n : FolderEntries(dir.Path()))
        EXPECT_TRUE(n.ends_with(".kxp")) << n;
}

TEST_F(DocTest, MissingWorkspaceKeepsTheDefaults)
{
    CopyFixture(dir, "v6");
    ::unlink((dir / "Lis.kxw").c_str());
    RecordingPort port;
    host.port = &port;
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_EQ(Texts(prompts), std::vector<QString>{QStringLiteral("Soubor ") + Q(dir / "Lis.kxw") +
                                                   QStringLiteral(" nebyl nalezen.")});
    ProjectData defaults;
    SetProjectDefaults(defaults, 0);
    EXPECT_EQ(doc->Data().WatchPlaques, defaults.WatchPlaques);
    EXPECT_EQ(doc->Data().Config, u"Default");
    EXPECT_EQ(doc->Data().OlnkConnectionString, defaults.OlnkConnectionString);
    EXPECT_EQ(doc->Data().SourceFiles.size(), 2u);
    ASSERT_EQ(port.applied.size(), 1u); // nothing to reopen
    EXPECT_EQ(port.applied[0], WorkspaceDocuments{});
    doc->OnCloseDocument();
}

TEST_F(DocTest, WorkspaceCutAfterBreakpointsKeepsWhatWasRead)
{
    CopyFixture(dir, "v6");
    const std::string kxw = dir.Read("Lis.kxw");
    dir.Write("Lis.kxw", kxw.substr(0, kxw.find("WatchInterval")));
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_EQ(Texts(prompts), std::vector<QString>{BadWorkspace(dir / "Lis.kxw", 0)});
    EXPECT_TRUE(doc->IsOpenProject());
    ASSERT_EQ(doc->Data().WatchPlaques.size(), 2u);
    EXPECT_EQ(doc->Data().WatchPlaques[1].Name, u"Vstupy a výstupy");
    EXPECT_EQ(doc->Data().SelectedPlaque, 1);
    EXPECT_EQ(doc->Data().Breakpoints, (std::vector<uint32_t>{12, 250, 1024}));
    EXPECT_EQ(doc->Data().WatchInterval, 1000);
    doc->OnCloseDocument();
}

TEST_F(DocTest, CopyProjectFilesFromATemplate)
{
    testsupport::TempDir tmpl, dest;
    tmpl.Write("Lis.kxp", ReadFixture("v6", "Lis.kxp"));
    tmpl.Write("Lis.kxw", ReadFixture("v6", "Lis.kxw"));
    WriteTemplateFiles(tmpl);
    ui::DocManager manager;
    std::vector<QString> recent;
    manager.SetRecentFileHook([&](const QString& p) { recent.push_back(p); });
    RecordingPort port;
    host.port = &port;

    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->CopyProjectFiles(Q(tmpl / "Lis.kxp"), Q(dest.Path())));
    EXPECT_TRUE(prompts.Asked().empty());
    EXPECT_TRUE(recent.empty());
    EXPECT_TRUE(port.applied.empty()); // the template's documents are not reopened
    EXPECT_EQ(doc->WorkspaceSection(), WorkspaceDocuments{});
    EXPECT_EQ(doc->Data().Breakpoints, (std::vector<uint32_t>{12, 250, 1024}));
    EXPECT_EQ(
        FolderEntries(dest.Path()),
        (std::vector<std::string>{"Defs.inc", "Main.plc", "Osy.plc", "obraz.bin", "texty.txt"}));
    EXPECT_EQ(dest.Read("Osy.plc"), "osy");
    EXPECT_EQ(dest.Read("obraz.bin"), std::string("\0\1\2", 3));
    EXPECT_EQ(doc->Data().SourceFiles[1].FilePath, u"Osy.plc");
    EXPECT_EQ(doc->Data().SupportFiles[0].FilePath, u"obraz.bin");
    EXPECT_EQ(doc->Data().SupportFiles[0].DestPath, u"\\PLC\\obraz.bin");
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(Q(dest.Path())).canonicalPath());
    doc->OnCloseDocument();

    // A template without a workspace file copies without a message.
    ::unlink((tmpl / "Lis.kxw").c_str());
    testsupport::TempDir dest2;
    auto doc2 = NewDoc();
    ASSERT_TRUE(doc2->CopyProjectFiles(Q(tmpl / "Lis.kxp"), Q(dest2.Path())));
    EXPECT_TRUE(prompts.Asked().empty());
    doc2->OnCloseDocument();
}

TEST_F(DocTest, CopyProjectFilesRefusesCollisionsAndReportsFailures)
{
    testsupport::TempDir tmpl, dest;
    WriteTemplateFiles(tmpl);
    tmpl.Write("inc/MAIN.PLC", "other");
    std::string kxp = ReadFixture("v6", "Lis.kxp");
    Replace(kxp, "FileName = Defs.inc\r\nFilePath = Defs.inc\r\n",
            "FileName = MAIN.PLC\r\nFilePath = inc\\MAIN.PLC\r\n");
    tmpl.Write("Lis.kxp", kxp);
    tmpl.Write("Lis.kxw", ReadFixture("v6", "Lis.kxw"));

    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    EXPECT_FALSE(doc->CopyProjectFiles(Q(tmpl / "Lis.kxp"), Q(dest.Path())));
    EXPECT_EQ(Texts(prompts),
              std::vector<QString>{QStringLiteral("Soubor %1 se nepodařilo zkopírovat do %2!")
                                       .arg(Q(tmpl / "inc/MAIN.PLC"), Q(dest / "MAIN.PLC"))});
    EXPECT_TRUE(FolderEntries(dest.Path()).empty()); // nothing copied
    doc->OnCloseDocument();

    // A listed file that is missing: the copy stops there.
    tmpl.Write("Lis.kxp", ReadFixture("v6", "Lis.kxp"));
    ::unlink((tmpl / "Defs.inc").c_str());
    ui::ScriptedPrompts prompts2;
    auto doc2 = NewDoc();
    EXPECT_FALSE(doc2->CopyProjectFiles(Q(tmpl / "Lis.kxp"), Q(dest.Path())));
    EXPECT_EQ(Texts(prompts2),
              std::vector<QString>{QStringLiteral("Soubor %1 se nepodařilo zkopírovat do %2!")
                                       .arg(Q(tmpl / "Defs.inc"), Q(dest / "Defs.inc"))});
    EXPECT_EQ(FolderEntries(dest.Path()), (std::vector<std::string>{"Main.plc", "Osy.plc"}));
    EXPECT_EQ(doc2->Data().SourceFiles[1].FilePath, u"Osy.plc"); // copied ones keep new paths
    EXPECT_EQ(doc2->Data().HeaderFiles[0].FilePath, u"Defs.inc");
    doc2->OnCloseDocument();
}

TEST_F(DocTest, AddingFilesComparesNamesOverCodePageLetters)
{
    CopyFixture(dir, "v6");
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    host.hints.clear();

    EXPECT_TRUE(doc->AddExistingSourceFile(Q(dir / "Řízení.plc")));
    EXPECT_FALSE(doc->AddExistingSourceFile(Q(dir / "jiny/řÍZENÍ.PLC")));
    EXPECT_EQ(Texts(prompts).back().left(15), QStringLiteral("Zdrojový soubor"));
    EXPECT_FALSE(doc->AddExistingHeaderFile(Q(dir / "x/DEFS.INC")));
    EXPECT_EQ(Texts(prompts).back().left(18), QStringLiteral("Hlavičkový soubor "));
    EXPECT_FALSE(doc->AddExistingSupportFile(Q(dir / "Obraz.BIN")));
    EXPECT_EQ(Texts(prompts).back().left(17), QStringLiteral("Podpůrný soubor s"));
    EXPECT_EQ(doc->Data().SourceFiles.size(), 3u);
    EXPECT_EQ(doc->Data().HeaderFiles.size(), 1u);
    EXPECT_EQ(doc->Data().SupportFiles.size(), 2u);
    // A letter outside ASCII and the code page is compared as it is.
    EXPECT_TRUE(doc->AddExistingHeaderFile(Q(dir / "Ωmega.inc")));
    EXPECT_TRUE(doc->AddExistingHeaderFile(Q(dir / "ωmega.inc")));

    // A new file that cannot be created is not added.
    const size_t before = Texts(prompts).size();
    doc->AddNewSourceFile(Q(dir / "missing/folder/n.plc"));
    ASSERT_EQ(Texts(prompts).size(), before + 1);
    EXPECT_EQ(
        Texts(prompts).back(),
        QStringLiteral("Soubor %1 se nepodařilo vytvořit!").arg(Q(dir / "missing/folder/n.plc")));
    EXPECT_EQ(doc->Data().SourceFiles.size(), 3u);
    doc->OnCloseDocument();
}

TEST_F(DocTest, FailedSaveLeavesTheOldFiles)
{
    CopyFixture(dir, "v6");
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    doc->Data().PLCComment = u"changed";
    doc->Data().Breakpoints.push_back(7);

    // The save runs in a child whose files may not grow beyond 100 bytes
    // (the write fails with EFBIG instead of a signal).
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const bool saved = doc->OnSaveDocument(doc->GetPathName());
        const std::vector<QString> t = Texts(prompts);
        // Each names the file and the cause on a line of its own.
        const bool reported =
            t == std::vector<QString>{ui::WithFileCause(QStringLiteral("Chyba při ukládání pracovního prostoru "
                                                                       "projektu."),
                                                        Q(dir / "Lis.kxw"), EFBIG),
                                      ui::WithFileCause(QStringLiteral("Dokument se nepodařilo uložit."),
                                                        Q(dir / "Lis.kxp"), EFBIG)};
        ::_exit(saved ? 1 : reported ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dir.Read("Lis.kxp"), ReadFixture("v6", "Lis.kxp"));
    EXPECT_EQ(dir.Read("Lis.kxw"), ReadFixture("v6", "Lis.kxw"));
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"Lis.kxp", "Lis.kxw"}));

    // The same save without the limit succeeds.
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_NE(dir.Read("Lis.kxp").find("PLCComment = changed\r\n"), std::string::npos);
    EXPECT_NE(dir.Read("Lis.kxw").find("BrkLine = 7\r\n"), std::string::npos);
    doc->OnCloseDocument();
}
