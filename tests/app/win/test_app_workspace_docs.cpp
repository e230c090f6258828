// The workspace file's documents in the running program: the placement
// clamp, reopening the fixture's documents with frames, splitters and
// carets, skipping what is missing, reporting what is there but cannot be
// opened (its entry kept), activating what is open, collecting them again,
// and a start-up that clamps once the window shows.
#include "app/AppWorkspaceDocuments.h"
#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "core/projfile/Workspace.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Splitter.h"
#include "plcviews/HexEditView.h"
#include "plcviews/StructuredTextDoc.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QFileInfo>
#include <QMdiArea>

#include <cerrno>
#include <filesystem>
#include <functional>

using namespace testsupport::ui;

namespace {

ui::WindowPlacement Wp(int show, int l, int t, int r, int b)
{
    ui::WindowPlacement wp;
    wp.showCmd = show;
    wp.left = l;
    wp.top = t;
    wp.right = r;
    wp.bottom = b;
    return wp;
}

struct Started
{
    testsupport::TempDir dir;
    std::unique_ptr<CStrandworkApp> app;

    // prepare changes the copy of the fixture before the start.
    bool Start(const std::function<void()>& prepare = {})
    {
        std::filesystem::copy(std::string(std::getenv("SW_FIXTURES")) + "/app/workspace", dir.Path(),
                              std::filesystem::copy_options::recursive);
        if (prepare)
            prepare();
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
        if (!app->InitInstance() || !app->GetProjectDoc())
            return false;
        app->MainFrame()->resize(1000, 760);
        PumpEvents(50);
        return true;
    }
    ui::Document* Doc(int order, const char* name) const
    {
        for (ui::Document* d : app->Template(order)->Documents())
            if (d->GetPathName().endsWith(QString::fromUtf8(name)))
                return d;
        return nullptr;
    }
};

QRect Viewport(ui::ChildFrame* f) { return f->mdiArea()->viewport()->rect(); }

} // namespace

TEST(AppWorkspaceDocs, ClampTable)
{
    const QSize area(800, 600);
    struct Case
    {
        ui::WindowPlacement in;
        ui::WindowPlacement out;
    } cases[] = {
        {Wp(1, 10, 20, 310, 220), Wp(1, 10, 20, 310, 220)},        // inside: unchanged
        {Wp(0, 10, 20, 310, 220), Wp(1, 10, 20, 310, 220)},        // hidden: normal
        {Wp(7, 10, 20, 310, 220), Wp(1, 10, 20, 310, 220)},        // unknown: normal
        {Wp(2, 10, 20, 310, 220), Wp(2, 10, 20, 310, 220)},        // minimised
        {Wp(3, 10, 20, 310, 220), Wp(3, 10, 20, 310, 220)},        // maximised
        {Wp(1, 5000, 4000, 5400, 4300), Wp(1, 400, 300, 800, 600)}, // far out: moved in
        {Wp(1, -50, -70, 150, 30), Wp(1, 0, 0, 200, 100)},           // above and left
        {Wp(1, 0, 0, 2000, 1000), Wp(1, 0, 0, 800, 600)},            // too big: cut
        {Wp(1, 100, 100, 100, 300), Wp(1, 100, 100, 100, 300)},      // no width: as read
        {Wp(1, 100, 100, 50, 80), Wp(1, 100, 100, 50, 80)},          // negative size: as read
    };
    for (const Case& c : cases) {
        const ui::WindowPlacement r = ClampPlacement(c.in, area);
        EXPECT_EQ(r.showCmd, c.out.showCmd);
        EXPECT_EQ(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)),
                  QRect(QPoint(c.out.left, c.out.top), QPoint(c.out.right, c.out.bottom)))
            << c.in.left << "," << c.in.top;
    }
    // Without an area only the show state changes.
    const ui::WindowPlacement r = ClampPlacement(Wp(0, 5000, 4000, 5400, 4300), QSize());
    EXPECT_EQ(r.showCmd, 1);
    EXPECT_EQ(r.left, 5000);
}

TEST(AppWorkspaceDocs, OpeningRestoresFramesSplitsAndCarets)
{
    Started s;
    ASSERT_TRUE(s.Start());
    CStrandworkApp& app = *s.app;

    // The missing file is skipped; the rest opens.
    EXPECT_EQ(app.Template(0)->Documents().size(), 2u);
    EXPECT_EQ(s.Doc(0, "chybi.txt"), nullptr);
    ui::Document* notes = s.Doc(0, "poznamky.txt");
    ui::Document* osy = s.Doc(3, "Osy.plc");
    ui::Document* bin = s.Doc(1, "obraz.bin");
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(osy, nullptr);
    ASSERT_NE(bin, nullptr);
    ASSERT_NE(s.Doc(0, "texty.txt"), nullptr);

    // poznamky.txt: two frames, the first split 2 x 2 with its carets; the
    // one beyond the text is clamped to its last line.
    const std::vector<ui::ChildFrame*> frames = notes->Frames();
    ASSERT_EQ(frames.size(), 2u);
    ui::SplitterWnd* split = frames[0]->Splitter();
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->GetRowCount(), 2);
    EXPECT_EQ(split->GetColumnCount(), 2);
    auto caret = [](ui::View* v) { return qobject_cast<CEdtTextView*>(v)->GetCursorPos(); };
    EXPECT_EQ(caret(split->GetPane(0, 1)), (EdtPoint{5, 10}));
    EXPECT_EQ(caret(split->GetPane(1, 0)), (EdtPoint{0, 40}));
    EXPECT_EQ(caret(split->GetPane(1, 1)).line, 60); // the empty line after the last CR LF
    EXPECT_EQ(frames[1]->Splitter()->GetRowCount(), 1);
    EXPECT_EQ(caret(frames[1]->Splitter()->GetPane(0, 0)), (EdtPoint{3, 7}));

    // The binary document: 1 x 2 with its caret positions and areas.
    ui::SplitterWnd* bsplit = bin->Frames().at(0)->Splitter();
    ASSERT_NE(bsplit, nullptr);
    EXPECT_EQ(bsplit->GetColumnCount(), 2);
    EXPECT_EQ(bsplit->GetRowCount(), 1);
    auto* left = qobject_cast<CBinView*>(bsplit->GetPane(0, 0));
    auto* right = qobject_cast<CBinView*>(bsplit->GetPane(0, 1));
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->GetCaretPos(), 16);
    EXPECT_EQ(left->GetCaretArea(), 1);
    EXPECT_EQ(right->GetCaretPos(), 128);
    EXPECT_EQ(right->GetCaretArea(), 3);

    // The placement far out lies inside the area once the window has shown;
    // show state 0 came back as a normal window.
    ui::ChildFrame* osyFrame = osy->Frames().at(0);
    EXPECT_TRUE(WaitFor([&] { return Viewport(osyFrame).contains(osyFrame->geometry()); }, 3000, "the clamp"));
    ui::ChildFrame* textyFrame = s.Doc(0, "texty.txt")->Frames().at(0);
    EXPECT_TRUE(textyFrame->isVisible());
    EXPECT_FALSE(textyFrame->isMinimized());

    // Collected again: what was read, without the skipped entries.
    WorkspaceDocumentsPort* port = app.GetWorkspaceDocumentsPort();
    ASSERT_NE(port, nullptr);
    const core::WorkspaceDocuments got = port->Collect(s.app->GetProjectDoc()->GetProjectDir());
    ASSERT_EQ(got.lists[core::WorkspaceDocuments::Text].size(), 2u);
    const core::WorkspaceDocument& n = got.lists[core::WorkspaceDocuments::Text][0];
    ASSERT_EQ(n.frames.size(), 2u);
    EXPECT_EQ(n.frames[0].columns, 2);
    EXPECT_EQ(n.frames[0].rows, 2);
    EXPECT_NEAR(n.frames[0].column0Width, 150, 12);
    EXPECT_NEAR(n.frames[0].row0Height, 100, 12);
    ASSERT_EQ(n.frames[0].carets.size(), 4u);
    EXPECT_EQ(n.frames[0].carets[1], (std::pair<int32_t, int32_t>{5, 10}));
    EXPECT_EQ(n.frames[0].placement[5], 0);
    EXPECT_EQ(n.frames[0].placement[7], 400);
    EXPECT_EQ(n.frames[1].carets.at(0), (std::pair<int32_t, int32_t>{3, 7}));
    const core::WorkspaceDocument& b = got.lists[core::WorkspaceDocuments::Binary].at(0);
    EXPECT_EQ(b.frames.at(0).carets, (std::vector<std::pair<int32_t, int32_t>>{{16, 1}, {128, 3}}));
    EXPECT_EQ(got.lists[core::WorkspaceDocuments::PlcSource].size(), 1u);

    // Applied once more: everything is open already and only activated.
    core::WorkspaceDocuments again;
    core::WorkspaceDocument entry;
    entry.path = notes->GetPathName().toStdU16String();
    entry.frames.resize(1);
    again.lists[core::WorkspaceDocuments::PlcSource].push_back(entry); // another kind, same file
    port->Apply(again);
    EXPECT_EQ(notes->Frames().size(), 2u);
    EXPECT_EQ(app.Template(3)->Documents().size(), 1u);
    EXPECT_EQ(app.Template(0)->Documents().size(), 2u);
}

TEST(AppWorkspaceDocs, SavedRightAfterOpeningReadsBackTheSame)
{
    Started s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.app->GetProjectDoc();
    auto read = [&] {
        core::KxpArchive ar(false, QString::fromStdString(s.dir / "Lis.kxw").toStdU16String(), s.dir.Read("Lis.kxw"));
        core::ProjectData data;
        core::WorkspaceDocuments docs;
        core::ReadWorkspace(ar, data, docs, 6, doc->GetProjectDir().toStdU16String());
        return docs;
    };
    const core::WorkspaceDocuments before = read();
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    const core::WorkspaceDocuments after = read();
    ASSERT_EQ(after.lists[0].size(), 2u); // chybi.txt is gone
    const core::WorkspaceDocument& b0 = before.lists[0][0];
    const core::WorkspaceDocument& a0 = after.lists[0][0];
    auto same = [](const std::u16string& a, const std::u16string& b) {
        return QFileInfo(QString::fromStdU16String(a)).canonicalFilePath() ==
               QFileInfo(QString::fromStdU16String(b).replace(QLatin1Char('\\'), QLatin1Char('/'))).canonicalFilePath();
    };
    EXPECT_TRUE(same(a0.path, b0.path));
    ASSERT_EQ(a0.frames.size(), b0.frames.size());
    EXPECT_EQ(a0.frames[0].placement, b0.frames[0].placement);
    EXPECT_EQ(a0.frames[0].carets[0], b0.frames[0].carets[0]);
    EXPECT_EQ(a0.frames[0].carets[2], b0.frames[0].carets[2]);
    EXPECT_EQ(a0.frames[0].carets[3].second, 60); // clamped
    EXPECT_EQ(a0.frames[1].placement, b0.frames[1].placement);
    EXPECT_EQ(a0.frames[1].carets, b0.frames[1].carets);
    EXPECT_TRUE(same(after.lists[0][1].path, before.lists[0][2].path));
    EXPECT_EQ(after.lists[3].at(0).frames.at(0).carets, before.lists[3].at(0).frames.at(0).carets);
    EXPECT_TRUE(same(after.lists[3].at(0).path, before.lists[3].at(0).path));
    EXPECT_TRUE(same(after.lists[1].at(0).path, before.lists[1].at(0).path));
}

TEST(AppWorkspaceDocs, ADocumentThatCannotBeOpenedIsReportedAndKeepsItsEntry)
{
    // texty.txt became a folder since the workspace file was written.
    Started s;
    PromptScript prompts({ui::IDOK});
    ASSERT_TRUE(s.Start([&] {
        std::filesystem::remove(s.dir / "texty.txt");
        std::filesystem::create_directory(s.dir / "texty.txt");
    }));
    const QString texty = QString::fromStdString(s.dir / "texty.txt");
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{ui::WithFileCause(ui::FrameworkText(ui::IDS_FAILED_TO_OPEN),
                                                                      texty, EISDIR)});
    EXPECT_EQ(s.Doc(0, "texty.txt"), nullptr);
    ASSERT_NE(s.Doc(0, "poznamky.txt"), nullptr);

    // Saved: its entry is written back as it was read, the missing file's is not.
    CStrandworkDoc* doc = s.app->GetProjectDoc();
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    const std::string kxw = s.dir.Read("Lis.kxw");
    EXPECT_NE(kxw.find("TXTDocumentsCount = 2\r\n"), std::string::npos) << kxw;
    EXPECT_NE(kxw.find("DocumentPath = texty.txt\r\nFrameCount = 1\r\nFramePlacement = 0, -1, -1, -1, -1, 40, 40, "
                       "340, 240\r\nSplitterConfig = 1, 1, 0, 0\r\nCursorPos = 2, 1\r\n"),
              std::string::npos)
        << kxw;
    EXPECT_EQ(kxw.find("chybi.txt"), std::string::npos) << kxw;
}

// The workspace file holds names in code page 1250: a document whose name
// has a byte that is no UTF-8 is left out, with a warning that names it,
// instead of coming back as "caf?.txt" or a look-alike.
TEST(AppWorkspaceDocs, ADocumentWhoseNameIsNoUtf8IsLeftOutAndNamed)
{
    Started s;
    ASSERT_TRUE(s.Start());
    s.dir.Write("caf\xE9.txt", "latin1\r\n");
    s.dir.Write("caf?.txt", "question mark\r\n");
    PromptScript prompts({ui::IDOK});
    ui::Document* latin1 = s.app->OpenDocumentFile(ui::LocalPathOfNative(s.dir / "caf\xE9.txt"));
    ASSERT_NE(latin1, nullptr);
    CStrandworkDoc* doc = s.app->GetProjectDoc();
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    const std::string kxw = s.dir.Read("Lis.kxw");
    EXPECT_EQ(kxw.find("caf"), std::string::npos) << kxw;
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_NE(prompts.Texts()[0].indexOf(QStringLiteral("caf\\xE9.txt")), -1) << prompts.Texts()[0].toStdString();
    // Told once in a run.
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_EQ(prompts.Texts().size(), 1u);

    // What counts is the name as the file stores it: relative to a project
    // folder whose own name is no UTF-8, a plain name is kept.
    s.dir.Write("d\xE9/notes.txt", "n\r\n");
    ASSERT_NE(s.app->OpenDocumentFile(ui::LocalPathOfNative(s.dir / "d\xE9/notes.txt")), nullptr);
    const core::WorkspaceDocuments got =
        s.app->GetWorkspaceDocumentsPort()->Collect(ui::LocalPathOfNative(s.dir / "d\xE9"));
    bool listed = false;
    for (const core::WorkspaceDocument& d : got.lists[core::WorkspaceDocuments::Text])
        listed = listed || QString::fromStdU16String(d.path).endsWith(QStringLiteral("/notes.txt"));
    EXPECT_TRUE(listed);
    EXPECT_EQ(prompts.Texts().size(), 1u);
}
