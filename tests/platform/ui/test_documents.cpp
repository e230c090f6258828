// Documents, views, frames and templates over a real QMdiArea, and the
// dynamic splitter.
#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/Splitter.h"

#include "tests/support/platform/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPointer>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

using namespace ui;

namespace {

// A document of text lines; "BAD" as the first line is a format error.
class TextDoc : public Document
{
public:
    QList<QByteArray> lines;
    bool refuseClose = false;
    void Serialize(Archive& ar) override
    {
        if (ar.IsStoring()) {
            for (const QByteArray& l : lines)
                ar.WriteString(l);
            return;
        }
        QByteArray l;
        while (ar.ReadString(l)) {
            if (l == "BAD")
                throw ArchiveException(ArchiveException::badFormat);
            lines.push_back(l);
        }
    }
    void DeleteContents() override { lines.clear(); }
    bool CanCloseDocument() override { return !refuseClose && Document::CanCloseDocument(); }
};

class HintView : public View
{
public:
    std::vector<long> hints;
    void OnUpdate(View*, long hint, QObject*) override { hints.push_back(hint); }
};

class SplitFrame : public SplitterChildFrame
{
};

struct World
{
    testsupport::TempDir dir;
    Application app;
    MainFrameBase main;
    std::vector<QString> recent;
    DocTemplate* txt;
    DocTemplate* plc;
    DocTemplate* project;

    World()
    {
        app.AddDocTemplate(std::make_unique<DocTemplate>(
            2, QStringLiteral("\nText\nTextový soubor\nTexttové soubory (*.txt)\n.txt\n\n"),
            [] { return new TextDoc; }, [] { return new ChildFrame; }, [] { return new HintView; }));
        app.AddDocTemplate(std::make_unique<DocTemplate>(
            5, QStringLiteral("\nPLC\nZdrojový soubor PLC\nZdrojové soubory PLC (*.plc)\n.plc\nPLCfile\nZdrojový soubor PLC"),
            [] { return new TextDoc; }, [] { return new SplitFrame; }, [] { return new HintView; }));
        // Documents of this template have no frame of their own.
        app.AddDocTemplate(std::make_unique<DocTemplate>(
            6, QStringLiteral("\nProjekt\nProjekt\nProjekty (*.kxp)\n.kxp\nKXPfile\n"), [] { return new TextDoc; },
            nullptr, nullptr));
        txt = app.Documents().Template(0);
        plc = app.Documents().Template(1);
        project = app.Documents().Template(2);
        app.Documents().SetRecentFileHook([this](const QString& p) { recent.push_back(p); });
        main.resize(900, 700);
        main.show();
    }

    QString File(const QString& name, const QByteArray& content)
    {
        QString p = QDir(QString::fromStdString(dir.Path())).filePath(name);
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return p;
    }
};

} // namespace

TEST(Documents, TemplatesRankPathsAndOpeningTwiceGivesTheSameDocument)
{
    World w;
    QString a = w.File(QStringLiteral("A.PLC"), "line 1\r\nline 2\r\n");
    QString t = w.File(QStringLiteral("b.txt"), "x\n");

    Document* match = nullptr;
    EXPECT_EQ(w.plc->MatchDocType(a, match), DocTemplate::yesAttemptNative);
    EXPECT_EQ(w.txt->MatchDocType(a, match), DocTemplate::yesAttemptForeign);
    EXPECT_EQ(w.txt->FileFilter(), QStringLiteral("Texttové soubory (*.txt)"));
    QString s;
    EXPECT_TRUE(w.plc->GetDocString(s, DocTemplate::regFileTypeId));
    EXPECT_EQ(s, QStringLiteral("PLCfile"));
    EXPECT_FALSE(w.txt->GetDocString(s, DocTemplate::regFileTypeId));

    Document* d1 = w.app.Documents().OpenDocumentFile(a);
    ASSERT_NE(d1, nullptr);
    EXPECT_EQ(d1->GetDocTemplate(), w.plc);
    EXPECT_EQ(static_cast<TextDoc*>(d1)->lines.size(), 2);
    EXPECT_EQ(d1->GetTitle(), QStringLiteral("A.PLC"));
    EXPECT_EQ(w.plc->MatchDocType(a, match), DocTemplate::yesAlreadyOpen);
    EXPECT_EQ(match, d1);
    Document* d2 = w.app.Documents().OpenDocumentFile(QStringLiteral("\"") + a + QStringLiteral("\""));
    EXPECT_EQ(d2, d1);
    EXPECT_EQ(w.plc->GetDocumentCount(), 1);
    // Another spelling of the same file (a link to it) is the same document:
    // two documents on one file would overwrite each other's saves.
    const QString link = QDir(QString::fromStdString(w.dir.Path())).filePath(QStringLiteral("link.plc"));
    ASSERT_TRUE(QFile::link(a, link));
    EXPECT_EQ(w.plc->MatchDocType(link, match), DocTemplate::yesAlreadyOpen);
    EXPECT_EQ(w.app.Documents().OpenDocumentFile(link), d1);
    EXPECT_EQ(w.plc->GetDocumentCount(), 1);

    // A forced template takes the file whatever its extension.
    Document* asText = w.app.Documents().OpenDocumentFile(t, 1);
    ASSERT_NE(asText, nullptr);
    EXPECT_EQ(asText->GetDocTemplate(), w.plc);
    EXPECT_EQ(w.recent.size(), 2u);

    // Opened without the recent list.
    Document* quiet = w.txt->OpenDocumentFile(w.File(QStringLiteral("c.txt"), "c\n"), true, false);
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(w.recent.size(), 2u);
    EXPECT_EQ(w.main.MdiArea()->subWindowList().size(), 3);
}

TEST(Documents, FailedOpensReportTheFrameworkTextsAndNeverReachTheRecentList)
{
    World w;
    ScriptedPrompts prompts;
    QString missing = QDir(QString::fromStdString(w.dir.Path())).filePath(QStringLiteral("none.txt"));
    EXPECT_EQ(w.app.Documents().OpenDocumentFile(missing), nullptr);
    EXPECT_EQ(w.app.Documents().OpenDocumentFile(w.File(QStringLiteral("bad.txt"), "BAD\n")), nullptr);
    // A FIFO without a writer is refused at once, never read.
    ASSERT_EQ(::mkfifo((w.dir / "fifo.txt").c_str(), 0600), 0);
    EXPECT_EQ(w.app.Documents().OpenDocumentFile(QString::fromStdString(w.dir / "fifo.txt")), nullptr);
    ASSERT_EQ(prompts.Asked().size(), 3u);
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Soubor ") +
                                           QDir::toNativeSeparators(missing) +
                                           QStringLiteral(" nebyl nalezen."));
    EXPECT_EQ(prompts.Asked()[1].text, QStringLiteral("Neočekávaný formát souboru."));
    EXPECT_EQ(prompts.Asked()[2].text,
              WithFileCause(FrameworkText(IDS_FAILED_TO_OPEN), QString::fromStdString(w.dir / "fifo.txt"), ENODEV));
    EXPECT_TRUE(w.recent.empty());
    EXPECT_EQ(w.txt->GetDocumentCount(), 0);
    EXPECT_TRUE(w.main.MdiArea()->subWindowList().isEmpty());
}

TEST(Documents, SaveAsCallsTheRecentHookAndSaveAllAsks)
{
    World w;
    Document* d = w.txt->OpenDocumentFile({});
    ASSERT_NE(d, nullptr);
    static_cast<TextDoc*>(d)->lines = {"abc"};
    d->SetModifiedFlag();
    QString target = QDir(QString::fromStdString(w.dir.Path())).filePath(QStringLiteral("new.txt"));
    ASSERT_TRUE(d->DoSave(target));
    EXPECT_EQ(w.recent, std::vector<QString>{target});
    EXPECT_FALSE(d->IsModified());
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("abc\r\n"));

    // Saving again under the same name is not a new recent entry.
    d->SetModifiedFlag();
    ASSERT_TRUE(d->DoFileSave());
    EXPECT_EQ(w.recent.size(), 1u);

    d->SetModifiedFlag();
    ScriptedPrompts prompts({IDCANCEL});
    EXPECT_FALSE(w.app.Documents().SaveAllModified());
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].style & MB_TYPEMASK, uint32_t(MB_YESNOCANCEL));
    EXPECT_TRUE(prompts.Asked()[0].text.contains(QLatin1String("new.txt")));
}

TEST(Documents, CloseAllStopsAtADocumentThatRefuses)
{
    World w;
    Document* a = w.txt->OpenDocumentFile(w.File(QStringLiteral("a.txt"), "a\n"));
    auto* b = static_cast<TextDoc*>(w.txt->OpenDocumentFile(w.File(QStringLiteral("b.txt"), "b\n")));
    Document* c = w.plc->OpenDocumentFile(w.File(QStringLiteral("c.plc"), "c\n"));
    ASSERT_TRUE(a && b && c);
    b->refuseClose = true;
    EXPECT_FALSE(w.app.Documents().CloseAllDocuments());
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::vector<Document*> left = w.app.Documents().Documents();
    EXPECT_EQ(left.size(), 2u); // a closed, b refused, c untouched
    EXPECT_EQ(left[0], b);
    EXPECT_EQ(left[1], c);
    b->refuseClose = false;
    EXPECT_TRUE(w.app.Documents().CloseAllDocuments());
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.app.Documents().Documents().empty());
    EXPECT_TRUE(w.main.MdiArea()->subWindowList().isEmpty());
}

TEST(Documents, UpdateAllViewsReachesEveryViewButTheSender)
{
    World w;
    Document* d = w.txt->OpenDocumentFile(w.File(QStringLiteral("a.txt"), "a\n"));
    ChildFrame* first = d->Frames().front();
    ChildFrame* second = w.txt->CreateNewFrame(d, first);
    ASSERT_NE(second, nullptr);
    w.txt->InitialUpdateFrame(second, d);
    ASSERT_EQ(d->Views().size(), 2u);
    auto* v1 = static_cast<HintView*>(d->Views()[0]);
    auto* v2 = static_cast<HintView*>(d->Views()[1]);
    v1->hints.clear();
    v2->hints.clear();
    d->UpdateAllViews(v1, 10);
    EXPECT_TRUE(v1->hints.empty());
    EXPECT_EQ(v2->hints, std::vector<long>{10});
    d->UpdateAllViews(nullptr, 0);
    EXPECT_EQ(v1->hints, std::vector<long>{0});

    // Closing one of two frames keeps the document.
    second->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.txt->GetDocumentCount(), 1);
    EXPECT_EQ(d->Views().size(), 1u);
}

TEST(Documents, ADocumentWithoutFramesLivesAndIsFoundByEnumeration)
{
    World w;
    Document* p = w.app.Documents().OpenDocumentFile(w.File(QStringLiteral("P.kxp"), "project\n"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetDocTemplate(), w.project);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(p->Frames().empty());
    EXPECT_TRUE(w.main.MdiArea()->subWindowList().isEmpty());
    std::vector<Document*> docs = w.app.Documents().Documents();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0], p);
    // A view elsewhere (a docking bar) shows it.
    auto* bar = new HintView;
    p->AddView(bar);
    EXPECT_EQ(bar->GetParentFrame(), nullptr);
    p->UpdateAllViews(nullptr, 7);
    EXPECT_EQ(bar->hints, std::vector<long>{7});
    delete bar; // the document's view list forgets it
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Documents, FramePlacementRoundTripsTheNineNumbers)
{
    World w;
    Document* d = w.txt->OpenDocumentFile(w.File(QStringLiteral("a.txt"), "a\n"));
    ChildFrame* f = d->Frames().front();
    WindowPlacement wp;
    wp.showCmd = SW_SHOWNORMAL;
    wp.left = 10;
    wp.top = 20;
    wp.right = 410;
    wp.bottom = 320;
    wp.minX = wp.minY = -1;
    f->SetWindowPlacement(wp);
    WindowPlacement got = f->GetWindowPlacement();
    EXPECT_EQ(got.showCmd, SW_SHOWNORMAL);
    EXPECT_EQ(got.left, 10);
    EXPECT_EQ(got.top, 20);
    EXPECT_EQ(got.right, 410);
    EXPECT_EQ(got.bottom, 320);

    wp.showCmd = SW_SHOWMAXIMIZED;
    f->SetWindowPlacement(wp);
    got = f->GetWindowPlacement();
    EXPECT_EQ(got.showCmd, SW_SHOWMAXIMIZED);
    EXPECT_EQ(got.right, 410); // the normal rectangle stays
}

TEST(Splitter, TwoByTwoReportsAndRestoresRowAndColumnSizes)
{
    World w;
    Document* d = w.plc->OpenDocumentFile(w.File(QStringLiteral("a.plc"), "a\n"));
    ChildFrame* f = d->Frames().front();
    f->resize(600, 500);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SplitterWnd* s = f->Splitter();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetRowCount(), 1);
    EXPECT_EQ(d->Views().size(), 1u);

    ASSERT_TRUE(s->SplitColumn(150));
    ASSERT_TRUE(s->SplitRow(120));
    EXPECT_FALSE(s->SplitRow(50)); // at most 2 x 2
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s->GetRowCount(), 2);
    EXPECT_EQ(s->GetColumnCount(), 2);
    EXPECT_EQ(d->Views().size(), 4u);
    int cur, min;
    s->GetColumnInfo(0, cur, min);
    EXPECT_EQ(cur, 150);
    s->GetRowInfo(0, cur, min);
    EXPECT_EQ(cur, 120);

    // Panes by (row, column) and by id.
    View* p11 = s->GetPane(1, 1);
    ASSERT_NE(p11, nullptr);
    EXPECT_EQ(s->PaneId(p11), 0xE911);
    EXPECT_EQ(SplitterWnd::RowFromId(0xE911), 1);
    EXPECT_EQ(SplitterWnd::ColFromId(0xE910), 0);
    EXPECT_EQ(s->GetPane(2, 0), nullptr);
    EXPECT_EQ(p11->GetParentFrame(), f);
    EXPECT_NE(s->RowScrollBar(1), nullptr);
    EXPECT_NE(s->RowScrollBar(1), s->RowScrollBar(0));
    EXPECT_EQ(s->ColumnScrollBar(2), nullptr);

    // Restoring other sizes.
    s->SetColumnInfo(0, 200, 10);
    s->SetRowInfo(0, 90, 10);
    s->RecalcLayout();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    s->GetColumnInfo(0, cur, min);
    EXPECT_EQ(cur, 200);
    EXPECT_EQ(min, 10);
    s->GetRowInfo(0, cur, min);
    EXPECT_EQ(cur, 90);
    int other;
    s->GetColumnInfo(0, other, min);
    EXPECT_EQ(other, 200); // both rows share the column widths

    EXPECT_TRUE(s->DeleteRow(1));
    EXPECT_EQ(s->GetRowCount(), 1);
    EXPECT_EQ(d->Views().size(), 2u);
}

namespace {

// A document whose new-document step gives it a path (and with it a
// title), as a new project does.
class NamedNewDoc : public TextDoc
{
public:
    QString path;
    bool OnNewDocument() override
    {
        if (!Document::OnNewDocument())
            return false;
        if (!path.isEmpty())
            SetPathName(path, false);
        return true;
    }
};

} // namespace

TEST(Documents, ATitleThatTheNewDocumentStepSetsStays)
{
    World w;
    QString nextPath = QStringLiteral("/tmp/Lis/Lis.kxp");
    w.app.AddDocTemplate(std::make_unique<DocTemplate>(
        7, QStringLiteral("\nNovy\nNovy\nNove (*.new)\n.new\n\n"),
        [&nextPath] {
            auto* d = new NamedNewDoc;
            d->path = nextPath;
            return d;
        },
        nullptr, nullptr));
    DocTemplate* t = w.app.Documents().Template(3);
    Document* named = t->OpenDocumentFile(QString(), true, true);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->GetTitle(), QStringLiteral("Lis.kxp"));
    nextPath.clear();
    Document* plain = t->OpenDocumentFile(QString(), true, true);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetTitle(), QStringLiteral("Novy"));
}

namespace {
// Records the active-menu changes of the frame.
class MenuFrame : public MainFrameBase
{
public:
    std::vector<Menu*> changes;

protected:
    void OnActiveMenuChanged(Menu* menu) override { changes.push_back(menu); }
};

void PressOn(QWidget* w, int key, Qt::KeyboardModifiers mods)
{
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
}
} // namespace

TEST(Documents, TemplateMenusSystemMenuAndTheSystemKeysOfDocumentWindows)
{
    World w;
    EXPECT_EQ(w.txt->GetSharedMenu(), nullptr); // no menus/2.menu
    ASSERT_NE(w.plc->GetSharedMenu(), nullptr);
    EXPECT_EQ(w.plc->GetSharedMenu()->Item(0)->text, QStringLiteral("&PLC"));

    ASSERT_TRUE(w.main.LoadFrame(9001));
    w.main.activateWindow();
    Document* a = w.app.OpenDocumentFile(w.File(QStringLiteral("a.txt"), "x\n"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(w.main.GetActiveMenu(), w.main.GetDefaultMenu());
    Document* b = w.app.OpenDocumentFile(w.File(QStringLiteral("b.plc"), "y\n"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(w.main.GetActiveMenu(), w.plc->GetSharedMenu());

    // The system menu follows the window's state.
    ChildFrame* child = w.main.MDIGetActive();
    ASSERT_NE(child, nullptr);
    std::unique_ptr<Menu> sys = child->GetSystemMenu();
    ASSERT_EQ(sys->ItemCount(), 9);
    EXPECT_EQ(sys->ItemId(0), SC_RESTORE);
    EXPECT_TRUE(sys->Item(0)->flags & MF_GRAYED);
    EXPECT_TRUE(sys->Item(1)->flags & MF_GRAYED); // Move
    EXPECT_TRUE(sys->Item(2)->flags & MF_GRAYED); // Size
    EXPECT_FALSE(sys->Item(4)->flags & MF_GRAYED);
    EXPECT_TRUE(sys->Item(6)->flags & MF_DEFAULT);
    EXPECT_EQ(sys->Item(6)->text, QStringLiteral("&Zavřít\tCtrl+F4"));
    child->SysCommand(SC_MAXIMIZE);
    EXPECT_TRUE(child->isMaximized());
    sys = child->GetSystemMenu();
    EXPECT_FALSE(sys->Item(0)->flags & MF_GRAYED);
    EXPECT_TRUE(sys->Item(4)->flags & MF_GRAYED);
    child->SysCommand(SC_RESTORE);
    EXPECT_FALSE(child->isMaximized());
    child->setWindowFlag(Qt::WindowCloseButtonHint, false);
    EXPECT_TRUE(child->GetSystemMenu()->Item(6)->flags & MF_GRAYED);
    child->setWindowFlag(Qt::WindowCloseButtonHint, true);

    // Ctrl+F6 goes to the next document window, Ctrl+F4 closes the active one.
    View* view = w.main.GetActiveView();
    ASSERT_NE(view, nullptr);
    PressOn(view, Qt::Key_F6, Qt::ControlModifier);
    EXPECT_NE(w.main.MDIGetActive(), child);
    ChildFrame* other = w.main.MDIGetActive();
    PressOn(other->GetActiveView(), Qt::Key_F4, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(w.app.Documents().Template(0)->GetDocumentCount() + w.plc->GetDocumentCount(), 1);

    // Replacing a template's shared menu is a change of the active menu.
    ASSERT_EQ(w.main.MDIGetActive(), child);
    w.plc->SetSharedMenu(Menu::Load(9001));
    EXPECT_EQ(w.main.GetActiveMenu(), w.plc->GetSharedMenu());
}

TEST(Documents, TheFrameIsToldOfEveryChangeOfTheActiveMenu)
{
    Application app;
    MenuFrame frame;
    ASSERT_TRUE(frame.LoadFrame(9001));
    ASSERT_NE(frame.GetDefaultMenu(), nullptr);
    EXPECT_EQ(frame.changes, std::vector<Menu*>{frame.GetDefaultMenu()});
    frame.UpdateActiveMenu();
    EXPECT_EQ(frame.changes.size(), 1u);
    frame.UpdateActiveMenu(true);
    EXPECT_EQ(frame.changes.size(), 2u);
}

TEST(Documents, AFrameClosesItsDocumentOnlyWhenNoViewLiesOutsideIt)
{
    World w;
    Document* doc = w.app.Documents().OpenDocumentFile(w.File(QStringLiteral("a.txt"), "one\n"));
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->Frames().size(), 1u);
    QPointer<ChildFrame> frame = doc->Frames().front();
    // A view in a docking bar: closing the last frame keeps the document,
    // and asks nothing even when it is modified.
    auto* bar = new HintView;
    doc->AddView(bar);
    doc->SetModifiedFlag(true);
    ScriptedPrompts prompts;
    EXPECT_TRUE(frame->close());
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(prompts.Asked().empty());
    ASSERT_EQ(w.txt->Documents().size(), 1u);
    EXPECT_EQ(doc->Views().size(), 1u);
    EXPECT_EQ(doc->FirstView(), bar);
    // Without the bar view the last frame closes the document.
    doc->SetModifiedFlag(false);
    ChildFrame* second = w.txt->CreateNewFrame(doc);
    ASSERT_NE(second, nullptr);
    w.txt->InitialUpdateFrame(second, doc, true);
    doc->SetAutoDelete(false);
    delete bar;
    doc->SetAutoDelete(true);
    QPointer<Document> watched(doc);
    EXPECT_TRUE(second->close());
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
    EXPECT_TRUE(w.txt->Documents().empty());
}
