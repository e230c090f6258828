// The project document over real files in a temporary folder, with a test
// host and scripted prompts.
#include "ProjectTest.h"
#include "core/projfile/ProjectFormat.h"
#include "platform/sys/CodePage.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace core;
using doctest::DocTest;

namespace {

using namespace doctest;

// A format 6 project with its workspace file, written by the writers.
void WriteSample(const testsupport::TempDir& dir, const std::string& name = "Lis")
{
    ProjectData d;
    SetProjectDefaults(d, 1'100'000'000);
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
    d.PLCComment = u"Řízení";
    d.Breakpoints = {3, 9};
    d.Config = u"Lis";
    KxpArchive ar(true, u"");
    WriteProjectHeader(ar, 6);
    WriteProjectBodyV6(ar, d);
    dir.Write(name + ".kxp", ar.Bytes());
    KxpArchive ws(true, u"");
    WorkspaceDocuments docs;
    WorkspaceFrame f;
    f.placement = {1, -1, -1, -1, -1, 0, 0, 300, 200};
    f.carets = {{2, 5}};
    docs.lists[WorkspaceDocuments::PlcSource].push_back(
        {{}, Q(dir / "Main.plc").toStdU16String(), {f}});
    WriteWorkspace(ws, d, docs, 6, Q(dir.Path() + "/").toStdU16String());
    dir.Write(name + ".kxw", ws.Bytes());
}

} // namespace

TEST_F(DocTest, OpensProjectAndWorkspace)
{
    WriteSample(dir);
    RecordingPort port;
    host.port = &port;
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_TRUE(prompts.Asked().empty());
    EXPECT_EQ(host.open, doc.get());
    EXPECT_TRUE(doc->IsOpenProject());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->Data().PLCComment, u"Řízení");
    EXPECT_EQ(doc->Data().SettingsModificationTime, 1'100'000'000);
    EXPECT_EQ(doc->Data().Breakpoints, (std::vector<uint32_t>{3, 9}));
    EXPECT_EQ(doc->Data().Config, u"Lis");
    EXPECT_EQ(doc->GetProjectDir(), Q(dir.Path() + "/"));
    EXPECT_EQ(host.hints, std::vector<long>{0});
    ASSERT_EQ(port.applied.size(), 1u);
    ASSERT_EQ(port.applied[0].lists[WorkspaceDocuments::PlcSource].size(), 1u);
    EXPECT_EQ(port.applied[0].lists[WorkspaceDocuments::PlcSource][0].path,
              Q(dir / "Main.plc").toStdU16String());
    EXPECT_EQ(QDir(port.cwdAtApply).canonicalPath(), QDir(Q(dir.Path())).canonicalPath());

    // Closing forgets the open project.
    doc->OnCloseDocument();
    EXPECT_EQ(host.open, nullptr);
    EXPECT_FALSE(doc->IsOpenProject());
}

TEST_F(DocTest, WorkspaceFailuresDoNotFailTheProject)
{
    WriteSample(dir);
    ::unlink((dir / "Lis.kxw").c_str());
    {
        ui::ScriptedPrompts prompts;
        auto doc = NewDoc();
        ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
        ASSERT_EQ(prompts.Asked().size(), 1u);
        EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Soubor ") + Q(dir / "Lis.kxw") +
                                               QStringLiteral(" nebyl nalezen."));
        EXPECT_EQ(doc->Data().WatchPlaques.size(), 1u);
        EXPECT_TRUE(doc->Data().Breakpoints.empty());
        doc->OnCloseDocument();
    }
    // Cut after the breakpoints: what was read before the cut stays, and
    // the port gets the (empty) documents read so far.
    WriteSample(dir);
    std::string ws = dir.Read("Lis.kxw");
    dir.Write("Lis.kxw", ws.substr(0, ws.find("WatchInterval")));
    RecordingPort port;
    host.port = &port;
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_EQ(Texts(prompts), std::vector<QString>{BadWorkspace(dir / "Lis.kxw", 0)});
    EXPECT_EQ(doc->Data().Breakpoints, (std::vector<uint32_t>{3, 9}));
    EXPECT_EQ(port.applied.size(), 1u);
    doc->OnCloseDocument();
}

TEST_F(DocTest, BadProjectFiles)
{
    struct Case
    {
        std::string bytes;
        std::vector<QString> texts;
    };
    // The file and what is wrong with it: the line, or the end that came
    // too early.
    const QString line1 = BadFormat(dir / "Bad.kxp", 1), line2 = BadFormat(dir / "Bad.kxp", 2),
                  early = BadFormat(dir / "Bad.kxp", 0);
    const QString newer =
        QStringLiteral("Projekt byl vytvořen v novější verzi aplikace Strandwork!");
    std::vector<Case> cases = {
        {"Strandwork project\r\nProjectFormatVersion = 7\r\n", {newer, line2}},
        {"Strandwork project\r\nProjectFormatVersion = -1\r\n", {newer, line2}},
        {"Strandwork project\r\nProjectFormatVersion = 0\r\n", {line2}},
        {"\xEF\xBB\xBFStrandwork project\r\nProjectFormatVersion = 6\r\n", {line1}},
        // (Line 3 is the settings' time.)
        {"Strandwork project\r\nProjectFormatVersion = 6\r\nPLCSourceFilesCount = 0\r\n",
         {BadFormat(dir / "Bad.kxp", 3)}},
        {"Strandwork project\rProjectFormatVersion = 6\nx\r\n", {BadFormat(dir / "Bad.kxp", 3)}},
        {"Strandwork project\r\nProjectFormatVersion = 6\r\n", {early}},
    };
    for (const Case& c : cases) {
        dir.Write("Bad.kxp", c.bytes);
        ui::ScriptedPrompts prompts;
        auto doc = NewDoc();
        const int clears = host.clears;
        EXPECT_FALSE(doc->OnOpenDocument(Q(dir / "Bad.kxp")));
        EXPECT_EQ(Texts(prompts), c.texts) << c.bytes;
        EXPECT_EQ(host.open, nullptr);
        EXPECT_EQ(host.clears, clears + 1);
        EXPECT_FALSE(doc->IsOpenProject());
        // The file is untouched.
        EXPECT_EQ(dir.Read("Bad.kxp"), c.bytes);
    }
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    EXPECT_FALSE(doc->OnOpenDocument(Q(dir / "Missing.kxp")));
    EXPECT_EQ(Texts(prompts),
              std::vector<QString>{QStringLiteral("Soubor ") + Q(dir / "Missing.kxp") +
                                   QStringLiteral(" nebyl nalezen.")});
}

TEST_F(DocTest, SaveRoundTripKeepsWorkspaceSection)
{
    WriteSample(dir);
    const std::string kxw = dir.Read("Lis.kxw");
    ::chmod((dir / "Lis.kxp").c_str(), 0640);
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    doc->SetSettingsModified();
    EXPECT_TRUE(doc->IsModified());
    ui::CmdUI cmd(ID_FILE_SAVE);
    EXPECT_TRUE(doc->UpdateCommand(cmd));
    doc->Data().SettingsModificationTime = 1'100'000'000;
    host.hints.clear();
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_TRUE(prompts.Asked().empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(host.hints, std::vector<long>{0});
    // Without a port the documents section is written back as it was read.
    EXPECT_EQ(dir.Read("Lis.kxw"), kxw);
    struct stat st
    {
    };
    ASSERT_EQ(::stat((dir / "Lis.kxp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Saved under a new name that holds a symbolic link: the user's file,
    // written where the link leads, as a source is; the link stays.
    dir.Write("real/Copy.kxp", "old");
    ASSERT_EQ(::symlink((dir / "real/Copy.kxp").c_str(), (dir / "Copy.kxp").c_str()), 0);
    ASSERT_TRUE(doc->OnSaveDocument(Q(dir / "Copy.kxp")));
    ASSERT_EQ(::lstat((dir / "Copy.kxp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.Read("real/Copy.kxp"), dir.Read("Lis.kxp"));
    EXPECT_EQ(dir.Read("Copy.kxw"), kxw);
    doc->OnCloseDocument();
}

TEST_F(DocTest, LossyCharactersWarnOncePerSave)
{
    WriteSample(dir);
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    doc->Data().PLCComment = u"Lis \u4E2D";
    doc->Data().WatchPlaques[0].Name = u"\u4E00";
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text,
              QStringLiteral("Některé znaky nelze uložit v kódové stránce 1250 a byly nahrazeny "
                             "znakem „?“: Lis \u4E2D"))
        << prompts.Asked()[0].text.toStdString();
    EXPECT_NE(dir.Read("Lis.kxp").find("PLCComment = Lis ?\r\n"), std::string::npos);
    doc->OnCloseDocument();
}

TEST_F(DocTest, ConversionQuestion)
{
    WriteSample(dir);
    std::string kxp = dir.Read("Lis.kxp");
    kxp.replace(kxp.find("Version = 6"), 11, "Version = 5");
    dir.Write("Lis.kxp", kxp);
    dir.Write("Lis.kxw", dir.Read("Lis.kxw").substr(dir.Read("Lis.kxw").find("PlaquesCount")));
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_TRUE(prompts.Asked().empty());
    EXPECT_EQ(doc->Data().FormatVersion, 5);
    // The default answer (an unattended run) is No: format 5 is kept.
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Převést projekt?"));
    EXPECT_EQ(ui::DefaultAnswer(prompts.Asked()[0].style), ui::IDNO);
    EXPECT_EQ(dir.Read("Lis.kxp").find("ProjectFormatVersion = 5\r\n"), 20u);
    EXPECT_EQ(dir.Read("Lis.kxw").rfind("PlaquesCount", 0), 0u);
    prompts.Add(ui::IDYES);
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_EQ(doc->Data().FormatVersion, 6);
    EXPECT_EQ(dir.Read("Lis.kxw").rfind("Config = ", 0), 0u);
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_EQ(prompts.Asked().size(), 2u); // no question once converted
    doc->OnCloseDocument();
}

TEST_F(DocTest, OpeningWhileAnotherProjectIsOpen)
{
    WriteSample(dir, "A");
    WriteSample(dir, "B");
    ui::ScriptedPrompts prompts({ui::IDNO});
    auto a = NewDoc();
    ASSERT_TRUE(a->OnOpenDocument(Q(dir / "A.kxp")));
    auto b = NewDoc();
    EXPECT_FALSE(b->OnOpenDocument(Q(dir / "B.kxp")));
    EXPECT_EQ(host.open, a.get());
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text,
              QStringLiteral("Má se projekt \"%1\" uzavřít?").arg(Q(dir / "A.kxp")));
    // Yes closes the old project; the new one becomes the open project.
    prompts.Add(ui::IDYES);
    EXPECT_TRUE(b->OnOpenDocument(Q(dir / "B.kxp")));
    EXPECT_EQ(host.open, b.get());
    EXPECT_EQ(host.closeCalls, 1);
    // A refused close keeps the open project.
    host.allowClose = false;
    prompts.Add(ui::IDYES);
    auto c = NewDoc();
    EXPECT_FALSE(c->OnOpenDocument(Q(dir / "A.kxp")));
    EXPECT_EQ(host.open, b.get());
    b->OnCloseDocument();
}

TEST_F(DocTest, OldTimeLineOpensWithLoadTime)
{
    WriteSample(dir);
    std::string kxp = dir.Read("Lis.kxp");
    size_t at = kxp.find("ProjectSettingsModificationTime");
    kxp.replace(at, kxp.find("\r\n", at) - at,
                "ProjectSettingsModificationTime = 0. 0. 0, -1:-1:-1");
    dir.Write("Lis.kxp", kxp);
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    const int64_t before = std::time(nullptr);
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_GE(doc->Data().SettingsModificationTime, before);
    EXPECT_FALSE(doc->IsModified());
    doc->OnCloseDocument();
}

TEST_F(DocTest, AddingFiles)
{
    WriteSample(dir);
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    const int64_t time = doc->Data().SettingsModificationTime;
    host.hints.clear();

    // Same name in another folder and case: refused.
    EXPECT_FALSE(doc->AddExistingSourceFile(Q(dir / "sub/MAIN.PLC")));
    EXPECT_EQ(Texts(prompts).back().left(30), QStringLiteral("Zdrojový soubor PLC se nepodař"));
    EXPECT_EQ(doc->Data().SourceFiles.size(), 1u);
    EXPECT_FALSE(doc->IsModified());

    // A header of the same name is fine; a sibling folder is stored with "..".
    testsupport::TempDir other;
    EXPECT_TRUE(doc->AddExistingHeaderFile(Q(dir / "sub/../sub/main.plc")));
    ASSERT_EQ(doc->Data().HeaderFiles.size(), 1u);
    EXPECT_EQ(doc->Data().HeaderFiles[0].FileName, u"main.plc");
    EXPECT_EQ(doc->Data().HeaderFiles[0].FilePath, u".\\sub\\main.plc");
    std::string parent = dir.Path().substr(0, dir.Path().rfind('/'));
    EXPECT_TRUE(doc->AddExistingSourceFile(Q(parent + "/x/y.plc")));
    EXPECT_EQ(doc->Data().SourceFiles.back().FilePath, u"..\\x\\y.plc");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(host.hints, std::vector<long>{});

    // A new file over an existing one: asks, and empties it only on Yes.
    dir.Write("New.inc", "content");
    prompts.Add(ui::IDNO);
    doc->AddNewHeaderFile(Q(dir / "New.inc"));
    EXPECT_EQ(dir.Read("New.inc"), "content");
    EXPECT_EQ(doc->Data().HeaderFiles.size(), 1u);
    prompts.Add(ui::IDYES);
    doc->AddNewHeaderFile(Q(dir / "New.inc"));
    EXPECT_EQ(dir.Read("New.inc"), "");
    EXPECT_EQ(doc->Data().HeaderFiles.size(), 2u);
    doc->AddNewSourceFile(Q(dir / "Fresh.plc"));
    EXPECT_EQ(dir.Read("Fresh.plc"), "");

    // A support file leaves the settings modification time.
    doc->Data().SettingsModificationTime = time;
    EXPECT_TRUE(doc->AddExistingSupportFile(Q(dir / "data.bin")));
    EXPECT_EQ(doc->Data().SettingsModificationTime, time);
    EXPECT_EQ(doc->Data().SupportFiles.back(),
              (SupportFileEntry{u"data.bin", u".\\data.bin", u"", 0, 0, 0}));
    doc->OnCloseDocument();
}

TEST_F(DocTest, ClosingGuardSkipsOwnClose)
{
    WriteSample(dir);
    ui::ScriptedPrompts prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    doc->RequestBuildStop();
    EXPECT_TRUE(doc->IsBuildStopRequested());
    EXPECT_FALSE(doc->IsBuilding());
    EXPECT_FALSE(doc->IsDebugging());
    doc->OnCloseDocument();
    EXPECT_EQ(host.open, nullptr);
}

TEST_F(DocTest, SaveCommandIsEnabledExactlyWhileModified)
{
    auto doc = NewDoc();
    ui::CmdUI save(ID_FILE_SAVE);
    ASSERT_TRUE(doc->UpdateCommand(save));
    EXPECT_FALSE(save.Enabled());
    doc->SetSettingsModified();
    ui::CmdUI again(ID_FILE_SAVE);
    ASSERT_TRUE(doc->UpdateCommand(again));
    EXPECT_TRUE(again.Enabled());
    doc->SetModifiedFlag(false);
    ui::CmdUI cleared(ID_FILE_SAVE);
    ASSERT_TRUE(doc->UpdateCommand(cleared));
    EXPECT_FALSE(cleared.Enabled());
}

namespace {

class RecordingView : public ui::View
{
public:
    void OnUpdate(ui::View*, long hint, QObject*) override { hints.push_back(hint); }
    std::vector<long> hints;
};

class RecordingSink : public OutputSink
{
public:
    void AppendText(std::u16string_view) override {}
    void AppendTaggedLine(std::u16string_view, std::u16string_view, int, int, std::u16string_view,
                          std::u16string_view, std::u16string_view) override
    {
    }
    void ClearAll() override { ++clears; }
    int clears = 0;
};

std::unique_ptr<ui::DocTemplate> PlainTemplate(uint32_t id, const char* ext)
{
    return std::make_unique<ui::DocTemplate>(
        id, QStringLiteral("\nDoc\nDoc\nDoc (*%1)\n%1\n\n").arg(QLatin1String(ext)),
        [] { return new ui::Document; }, nullptr, nullptr);
}

} // namespace

TEST_F(DocTest, HintsReachTheViewsAndThePlcViews)
{
    auto doc = NewDoc();
    RecordingView view;
    doc->AddView(&view);
    for (long hint = HINT_ALL; hint <= HINT_LINE_REGS_WATCH; ++hint)
        doc->BroadcastUpdate(nullptr, hint);
    EXPECT_EQ(view.hints.size(), 15u);
    EXPECT_EQ(host.hints, (std::vector<long>{0, 6, 10, 11, 13, 14}));
    // The sender's own view is skipped; the PLC views still get the hint.
    view.hints.clear();
    doc->BroadcastUpdate(&view, HINT_BREAKPOINT);
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(host.hints.back(), HINT_BREAKPOINT);
    doc->RemoveView(&view);
}

TEST_F(DocTest, OpeningWithOnlyTextDocumentsOpen)
{
    WriteSample(dir);
    ui::DocManager manager;
    manager.AddDocTemplate(PlainTemplate(1, ".txt"));
    manager.AddDocTemplate(PlainTemplate(2, ".bin"));
    std::vector<QString> recent;
    manager.SetRecentFileHook([&](const QString& p) { recent.push_back(p); });
    RecordingSink sink;
    host.output = &sink;
    ui::Document* text = manager.Template(0)->CreateNewDocument();
    ui::DocTemplate* textTemplate = manager.Template(0);

    // No keeps the documents and opens nothing.
    ui::ScriptedPrompts prompts({ui::IDNO});
    auto doc = NewDoc();
    EXPECT_FALSE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text,
              QStringLiteral("Uzavřít všechny otevřené dokumenty a otevřít projekt?"));
    EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Uzavřít dokumenty?"));
    EXPECT_EQ(textTemplate->GetDocumentCount(), 1);
    EXPECT_EQ(host.open, nullptr);
    EXPECT_EQ(sink.clears, 0);

    // A modified document whose save is cancelled keeps everything.
    text->SetModifiedFlag(true);
    prompts.Add(ui::IDYES);
    prompts.Add(ui::IDCANCEL);
    EXPECT_FALSE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_EQ(textTemplate->GetDocumentCount(), 1);
    EXPECT_EQ(host.open, nullptr);

    // Yes (and No to saving the text) closes the documents, the project
    // opens; the project document in its own template is not closed with
    // them.
    manager.AddDocTemplate(std::make_unique<ui::DocTemplate>(
        6, QStringLiteral("\nProjekt\nProjekt\nProjekt (*.kxp)\n.kxp\n\n"),
        [] { return new CStrandworkDoc; }, nullptr, nullptr));
    auto* project = static_cast<CStrandworkDoc*>(manager.Template(2)->CreateNewDocument());
    prompts.Add(ui::IDYES);
    prompts.Add(ui::IDNO);
    EXPECT_TRUE(project->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_EQ(textTemplate->GetDocumentCount(), 0);
    EXPECT_EQ(manager.Template(2)->GetDocumentCount(), 1);
    EXPECT_EQ(host.open, project);
    EXPECT_TRUE(project->IsOpenProject());
    EXPECT_EQ(sink.clears, 1);
    EXPECT_TRUE(recent.empty()); // the framework adds it after the open
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // With only a binary document open nothing is asked.
    project->OnCloseDocument();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    manager.Template(1)->CreateNewDocument();
    ui::ScriptedPrompts quiet;
    auto again = NewDoc();
    EXPECT_TRUE(again->OnOpenDocument(Q(dir / "Lis.kxp")));
    EXPECT_TRUE(quiet.Asked().empty());
    again->OnCloseDocument();
}
