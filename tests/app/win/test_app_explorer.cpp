// The project explorer in its docking bar on a real project: the tree and
// its hints, the commands and keys, removing files, opening files (also a
// project file, which replaces the project the explorer shows), the context
// menu, and the project form that closes its own frame.
#include "app/AppWorkspaceDocuments.h"
#include "app/StrandworkApp.h"
#include "core/build/BuildOutput.h"
#include "core/projfile/Workspace.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "platform/ui/Prompt.h"
#include "plcviews/StructuredTextDoc.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "projectui/StrandworkView.h"
#include "res/CommandIds.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/StandInApp.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

using namespace testsupport::ui;
namespace fs = std::filesystem;

namespace {

// Records the add-existing commands that reach the route.
class AddRecorder : public ui::CommandTarget
{
public:
    AddRecorder()
    {
        MapCommandRange(ID_PROJECT_ADD_SOURCE, ID_PROJECT_ADD_SUPPORT, [this](uint32_t id) { ids.push_back(id); });
    }
    std::vector<uint32_t> ids;
};

class Explorer : public ProjectAppTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenProject());
        ASSERT_NE(View(), nullptr);
    }

    void TearDown() override
    {
        app->CloseProject(true);
        PumpEvents(20);
        app.reset();
        sys::RegistryStore::Reset();
    }

    CKXPExplorerView* View() const { return qobject_cast<CKXPExplorerView*>(bar->View()); }
    QTreeWidget* Tree() const { return View()->Tree(); }
    QTreeWidgetItem* Group(long hint) const { return View()->GroupItem(hint); }
    QStringList Names(long hint) const
    {
        QStringList out;
        for (int i = 0; i < Group(hint)->childCount(); ++i)
            out << Group(hint)->child(i)->text(0);
        return out;
    }
    bool Enabled(uint32_t id) const
    {
        ui::CmdUI cmd(id);
        EXPECT_TRUE(View()->UpdateCommand(cmd));
        return cmd.Enabled();
    }
    void Select(QTreeWidgetItem* item)
    {
        QWidget* top = Tree()->window();
        top->activateWindow();
        QApplication::setActiveWindow(top);
        Tree()->setFocus();
        Tree()->setCurrentItem(item);
    }
    QPoint Centre(QTreeWidgetItem* item) const
    {
        const QRect r = Tree()->visualItemRect(item);
        return QPoint(r.left() + 20, r.center().y());
    }
};

} // namespace

TEST_F(Explorer, TheTreeShowsTheProjectAndFollowsTheHintsOfOthers)
{
    QTreeWidgetItem* root = View()->RootItem();
    EXPECT_EQ(root->text(0), QStringLiteral("Lis.kxp"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(Tree()->header()->isVisible());
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Zdrojové soubory"));
    EXPECT_EQ(root->child(1)->text(0), QStringLiteral("Hlavičkové soubory"));
    EXPECT_EQ(root->child(2)->text(0), QStringLiteral("Podpůrné soubory"));
    for (long hint : {7L, 8L, 9L}) {
        EXPECT_TRUE(Group(hint)->isExpanded());
        EXPECT_FALSE(Group(hint)->icon(0).isNull());
    }
    EXPECT_EQ(Names(7), (QStringList{"Main.plc", "Io.plc"}));
    EXPECT_EQ(Names(8), QStringList{"Defs.inc"});
    EXPECT_EQ(Names(9), (QStringList{"texty.txt", "poznamky.txt"}));
    // The first file item has index 0 and is still a file item.
    EXPECT_EQ(CKXPExplorerView::KindOf(Group(7)->child(0)), CKXPExplorerView::KindFile);
    EXPECT_EQ(Group(7)->child(0)->data(0, CKXPExplorerView::IndexRole).toInt(), 0);
    // The project has no window of its own: its views are the explorer and
    // the debug bar's watch view.
    EXPECT_TRUE(doc->Frames().empty());
    EXPECT_EQ(doc->Views().size(), 2u);

    // Hint 10 and the view's own hints change nothing; others' hints 7, 8
    // and 9 rebuild their group and keep a collapsed group collapsed.
    doc->Data().SourceFiles.push_back({u"Nova.plc", u"Nova.plc"});
    doc->Data().HeaderFiles.push_back({u"Dalsi.inc", u"Dalsi.inc"});
    core::SupportFileEntry bin;
    bin.FileName = u"obraz.bin";
    bin.FilePath = u"data\\obraz.bin";
    doc->Data().SupportFiles.push_back(bin);
    doc->BroadcastUpdate(nullptr, 10);
    doc->BroadcastUpdate(View(), 7);
    EXPECT_EQ(Group(7)->childCount(), 2);
    Select(Group(8)->child(0));
    Group(8)->setExpanded(false);
    doc->BroadcastUpdate(nullptr, 7);
    doc->BroadcastUpdate(nullptr, 8);
    doc->BroadcastUpdate(nullptr, 9);
    EXPECT_EQ(Names(7), (QStringList{"Main.plc", "Io.plc", "Nova.plc"}));
    EXPECT_EQ(Names(8), (QStringList{"Defs.inc", "Dalsi.inc"}));
    EXPECT_EQ(Names(9), (QStringList{"texty.txt", "poznamky.txt", "obraz.bin"}));
    EXPECT_FALSE(Group(8)->isExpanded());
    EXPECT_EQ(Tree()->currentItem(), Group(8)->child(0));

    // Removing the last sources empties the source group only.
    doc->Data().SourceFiles.clear();
    doc->BroadcastUpdate(nullptr, 7);
    EXPECT_EQ(Group(7)->childCount(), 0);
    EXPECT_EQ(Group(8)->childCount(), 2);
    EXPECT_EQ(Group(9)->childCount(), 3);
}

TEST_F(Explorer, CommandsAndKeysFollowTheSelectedItem)
{
    AddRecorder recorder;
    ui::ScopedRouteFront front(&recorder);
    // The root: neither command, and Insert does nothing.
    Select(View()->RootItem());
    EXPECT_FALSE(Enabled(CKXPExplorerView::ID_INSERT_FILE));
    EXPECT_FALSE(Enabled(CKXPExplorerView::ID_REMOVE_FILE));
    PressKey(Tree(), Qt::Key_Insert);
    PressKey(Tree(), Qt::Key_Delete);
    EXPECT_TRUE(recorder.ids.empty());
    EXPECT_FALSE(doc->IsModified());
    // A group: insert only.
    Select(Group(7));
    EXPECT_TRUE(Enabled(CKXPExplorerView::ID_INSERT_FILE));
    EXPECT_FALSE(Enabled(CKXPExplorerView::ID_REMOVE_FILE));
    PressKey(Tree(), Qt::Key_Insert);
    // A file: both; Insert on a header file asks for an existing header,
    // ID_EXPLORER_INSERT_FILE on a support file for an existing file.
    Select(Group(8)->child(0));
    EXPECT_TRUE(Enabled(CKXPExplorerView::ID_INSERT_FILE));
    EXPECT_TRUE(Enabled(CKXPExplorerView::ID_REMOVE_FILE));
    PressKey(Tree(), Qt::Key_Insert);
    Select(Group(9)->child(1));
    EXPECT_TRUE(ui::SendCommand(CKXPExplorerView::ID_INSERT_FILE));
    EXPECT_EQ(recorder.ids, (std::vector<uint32_t>{ID_PROJECT_ADD_SOURCE, ID_PROJECT_ADD_HEADER, ID_PROJECT_ADD_SUPPORT}));
    // Other keys go to the tree: Down moves the selection.
    Select(Group(9)->child(0));
    PressKey(Tree(), Qt::Key_Down);
    EXPECT_EQ(Tree()->currentItem(), Group(9)->child(1));
}

TEST_F(Explorer, RemovingKeepsEveryPositionRight)
{
    ASSERT_TRUE(doc->AddExistingSourceFile(Path("Treti.plc")));
    doc->SetModifiedFlag(false);
    EXPECT_EQ(Names(7), (QStringList{"Main.plc", "Io.plc", "Treti.plc"}));
    // The second of three, then the new second: both times the file the
    // item shows leaves the list.
    Select(Group(7)->child(1));
    PressKey(Tree(), Qt::Key_Delete);
    EXPECT_EQ(Names(7), (QStringList{"Main.plc", "Treti.plc"}));
    ASSERT_EQ(doc->Data().SourceFiles.size(), 2u);
    EXPECT_EQ(doc->Data().SourceFiles[1].FileName, u"Treti.plc");
    EXPECT_EQ(Tree()->currentItem(), Group(7)->child(1));
    EXPECT_TRUE(doc->IsModified());
    PressKey(Tree(), Qt::Key_Delete);
    ASSERT_EQ(doc->Data().SourceFiles.size(), 1u);
    EXPECT_EQ(doc->Data().SourceFiles[0].FileName, u"Main.plc");
    // No row below: the row above.
    EXPECT_EQ(Tree()->currentItem(), Group(7)->child(0));
    ui::SendCommand(CKXPExplorerView::ID_REMOVE_FILE);
    EXPECT_TRUE(doc->Data().SourceFiles.empty());
    // An empty group: the group.
    EXPECT_EQ(Tree()->currentItem(), Group(7));
    // A support file marks the project modified as well.
    doc->SetModifiedFlag(false);
    Select(Group(9)->child(0));
    PressKey(Tree(), Qt::Key_Delete);
    ASSERT_EQ(doc->Data().SupportFiles.size(), 1u);
    EXPECT_EQ(doc->Data().SupportFiles[0].FileName, u"poznamky.txt");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(Explorer, SpaceEnterAndDoubleClickOpenTheFile)
{
    Select(Group(8)->child(0));
    PressKey(Tree(), Qt::Key_Space);
    // Posted: nothing is open before the event loop runs.
    EXPECT_TRUE(app->Template(2)->Documents().empty());
    ASSERT_TRUE(WaitFor([&] { return app->Template(2)->Documents().size() == 1; }, 5000, "Defs.inc open"));
    Select(Group(9)->child(0));
    PressKey(Tree(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return app->Template(0)->Documents().size() == 1; }, 5000, "texty.txt open"));
    EXPECT_TRUE(app->Template(0)->Documents().front()->GetPathName().endsWith(QStringLiteral("texty.txt")));
    // src\Io.plc through its relative path; twice gives one document.
    for (int i = 0; i < 2; ++i) {
        DoubleClick(Tree()->viewport(), Centre(Group(7)->child(1)), Qt::LeftButton);
        PumpEvents(50);
    }
    ASSERT_TRUE(WaitFor([&] { return app->Template(3)->Documents().size() == 1; }, 5000, "Io.plc open"));
    EXPECT_TRUE(app->Template(3)->Documents().front()->GetPathName().endsWith(QStringLiteral("src/Io.plc")));
    PumpEvents(50);
    EXPECT_EQ(app->Template(3)->Documents().size(), 1u);
}

TEST_F(Explorer, AProjectOpenedFromTheTreeReplacesTheOneItShows)
{
    fs::copy_file(dir / "Lis.kxp", dir / "Jiny.kxp");
    fs::copy_file(dir / "Lis.kxw", dir / "Jiny.kxw");
    ASSERT_TRUE(doc->AddExistingSupportFile(Path("Jiny.kxp")));
    ASSERT_TRUE(doc->DoFileSave());
    QPointer<CKXPExplorerView> first = View();
    PromptScript prompts({ui::IDYES});
    DoubleClick(Tree()->viewport(), Centre(Group(9)->child(2)), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(
        [&] {
            CStrandworkDoc* open = app->GetProjectDoc();
            return open && open->GetPathName().endsWith(QStringLiteral("Jiny.kxp"));
        },
        10000, "the other project"));
    ASSERT_EQ(prompts.Texts().size(), 1u);
    doc = app->GetProjectDoc();
    PumpEvents(50);
    // The old explorer went with its project; the new one shows the other.
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(View(), nullptr);
    EXPECT_EQ(View()->GetDocument(), doc);
    EXPECT_EQ(View()->RootItem()->text(0), QStringLiteral("Jiny.kxp"));
}

TEST_F(Explorer, TheRightButtonSelectsTheItemAndShowsTheContextMenu)
{
    QTreeWidgetItem* header = Group(8)->child(0);
    Select(Group(7));
    Tree()->clearFocus();
    Click(Tree()->viewport(), Centre(header), Qt::RightButton);
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() != nullptr; }, 2000, "context menu"));
    EXPECT_EQ(Tree()->currentItem(), header);
    EXPECT_TRUE(Tree()->hasFocus());
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    CKVTToolBar* items = popup->GetMenuBar();
    ASSERT_EQ(items->Items().Count(), 4);
    EXPECT_EQ(items->GetButton(0)->m_text, QStringLiteral("&Vložit soubor do složky..."));
    EXPECT_EQ(items->GetButton(3)->m_text, QStringLiteral("&Nastavení projektu..."));
    PressKey(popup, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() == nullptr; }, 2000, "menu closed"));

    // The empty rest of a row selects nothing; the menu still shows.
    const QRect row = Tree()->visualItemRect(Group(9)->child(0));
    Click(Tree()->viewport(), QPoint(row.right() - 2, row.center().y()), Qt::RightButton);
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() != nullptr; }, 2000, "context menu"));
    EXPECT_EQ(Tree()->currentItem(), header);
    PressKey(CKVTPopupMenu::ActivePopup(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() == nullptr; }, 2000, "menu closed"));

    // Shift+F10 below the selected item; "Odstranit soubor" reaches the
    // explorer along the route.
    PressKey(Tree(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() != nullptr; }, 2000, "keyboard menu"));
    popup = CKVTPopupMenu::ActivePopup();
    EXPECT_GT(popup->pos().y(), Tree()->viewport()->mapToGlobal(Centre(header)).y());
    EXPECT_FALSE(popup->GetMenuBar()->Items().Style(1) & TBBS_DISABLED);
    PressKey(popup, Qt::Key_Down);
    PressKey(popup, Qt::Key_Down);
    PressKey(popup, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return doc->Data().HeaderFiles.empty(); }, 2000, "the header removed"));
    EXPECT_EQ(Group(8)->childCount(), 0);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(Explorer, TheProjectFormClosesItsFrameAndTheProjectStays)
{
    ui::DocTemplate* tmpl = app->Template(4);
    auto* form = qobject_cast<CStrandworkView*>(tmpl->CreateView());
    ASSERT_NE(form, nullptr);
    auto* child = new ui::ChildFrame;
    doc->AddView(form);
    child->setWidget(form);
    frame->MdiArea()->addSubWindow(child);
    child->show();
    QPointer<ui::ChildFrame> watched(child);
    form->OnInitialUpdate();
    ASSERT_TRUE(WaitFor([&] { return watched.isNull(); }, 2000, "the form's frame closed"));
    PumpEvents(50);
    EXPECT_EQ(app->GetProjectDoc(), doc);
    EXPECT_EQ(doc->Views().size(), 2u);
    EXPECT_EQ(doc->FirstView(), View());
}

TEST_F(Explorer, AnEntryLongerThanAPathMayBeSaysWhyItDoesNotOpen)
{
    // A project file written elsewhere may hold an entry of any length: its
    // open names the file and the cause instead of doing nothing.
    const std::u16string name(4000, u'a');
    doc->Data().SourceFiles.push_back({name + u".plc", name + u".plc"});
    doc->BroadcastUpdate(nullptr, 7);
    const int count = Group(7)->childCount();
    ASSERT_GE(count, 1);
    PromptScript prompts({ui::IDOK});
    Select(Group(7)->child(count - 1));
    PressKey(Tree(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !prompts.Texts().empty(); }, 5000, "the message"));
    EXPECT_EQ(prompts.Texts(), std::vector<QString>{ui::WithFileCause(
                                   ui::FrameworkText(ui::IDS_FAILED_TO_OPEN),
                                   doc->GetProjectDir() + QString::fromStdU16String(name) + QStringLiteral(".plc"),
                                   ENAMETOOLONG)});
    EXPECT_TRUE(app->Template(3)->Documents().empty());
    doc->Data().SourceFiles.pop_back();
    doc->SetModifiedFlag(false);
}

namespace {

std::string ReadFile(const std::string& path)
{
    return sys::ReadWholeFile(path).value_or("(missing)");
}

// The documents open beside the project, closed.
std::vector<ui::Document*> TakeOpenDocuments(CStrandworkApp& app, ui::Document* project)
{
    std::vector<ui::Document*> out;
    for (int i = 0; i < app.Documents().TemplateCount(); ++i)
        for (ui::Document* d : app.Documents().Template(i)->Documents())
            if (d != project)
                out.push_back(d);
    return out;
}

} // namespace

// A name the user gives is the file used, whatever road it takes: nothing
// is cut from it and no other spelling is taken.  Beside a.plc and
// x/a.plc, each road writes a line into the file of exactly the given
// name; the others keep their bytes.  A "\" in a name cannot be stored in
// the project: adding it is refused and nothing is made.
TEST_F(Explorer, AGivenNameIsTheFileUsedOnEveryRoad)
{
    const char* const variants[] = {"a.plc ", " a.plc", "a.plc.", "A.plc", "x\\a.plc"};
    const char* const roads[] = {"command line", "open", "save", "add to project"};
    ui::ScriptedPrompts prompts;
    for (const char* road : roads)
        for (const std::string variant : variants) {
            SCOPED_TRACE(std::string(road) + " \"" + variant + "\"");
            dir.Write("a.plc", "kept\r\n");
            dir.Write("x/a.plc", "kept\r\n");
            fs::remove(dir / variant);
            if (variant != "A.plc" && variant != "x\\a.plc") // made by the road
                ASSERT_FALSE(fs::exists(dir / variant));
            else
                dir.Write(variant, "given\r\n");
            const QString given = Path(variant.c_str());
            ui::Document* d = nullptr;
            if (road == roads[0]) // main() hands the argument on; a drop is the same
                d = app->OpenDocumentFile(given);
            else if (road == roads[1]) // what the open dialog chose
                d = app->OpenDocumentWithTemplate(given, -1);
            else if (road == roads[2]) { // a new document saved under the chosen name
                d = app->Template(3)->OpenDocumentFile(QString(), true, true);
                ASSERT_NE(d, nullptr);
                ASSERT_TRUE(d->DoSave(given));
            } else {
                const size_t before = doc->Data().SourceFiles.size();
                doc->AddNewSourceFile(given);
                if (variant == "x\\a.plc") {
                    EXPECT_EQ(doc->Data().SourceFiles.size(), before);
                    EXPECT_FALSE(prompts.Asked().empty());
                    EXPECT_EQ(ReadFile(dir / variant), "given\r\n");
                    EXPECT_EQ(ReadFile(dir / "x/a.plc"), "kept\r\n");
                    continue;
                }
                ASSERT_EQ(doc->Data().SourceFiles.size(), before + 1);
                EXPECT_EQ(ReadFile(dir / variant), ""); // made empty, under its own name
                if (variant == "A.plc") {               // after the replace question naming it
                    EXPECT_TRUE(prompts.Asked().back().text.contains(given));
                }
                // The explorer opens the entry's file.
                const QString path = View()->FilePathOf(Group(7)->child(int(before)));
                EXPECT_EQ(path, given);
                d = app->OpenDocumentFile(path);
                doc->Data().SourceFiles.pop_back();
                doc->UpdateAllViews(nullptr, 7);
            }
            auto* text = qobject_cast<CStructuredTextDoc*>(d);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->GetPathName(), given);
            int l = 0, c = 0;
            text->Buffer().InsertText(nullptr, 0, 0, u"typed\r\n", l, c, 0);
            ASSERT_TRUE(text->DoFileSave());
            // A save or an add under a name replaces the file (after the
            // dialog's or the add's question).
            const bool kept = (road == roads[0] || road == roads[1]) &&
                              (variant == "A.plc" || variant == "x\\a.plc");
            const std::string had = kept ? "given\r\n" : "";
            EXPECT_EQ(ReadFile(dir / variant), "typed\r\n" + had);
            EXPECT_EQ(ReadFile(dir / "a.plc"), "kept\r\n");
            EXPECT_EQ(ReadFile(dir / "x/a.plc"), "kept\r\n");
            text->OnCloseDocument();
        }
}

// A stored path names one file for every reader: the explorer, the make
// file (read as the compiler reads it, naming files exactly), a compiler
// message and the workspace's documents.  "." and ".." are read
// lexically; where the stored rules cannot tell osa.plc from Osa.plc, the
// exact spelling comes first, else the first in byte order.
TEST_F(Explorer, AStoredPathNamesOneFileForEveryReader)
{
    dir.Write("osa.plc", "osa\r\n");
    dir.Write("Osa.plc", "Osa\r\n");
    dir.Write("lib/io.plc", "io\r\n");
    const std::string self = fs::path(dir.Path()).filename().string();
    const std::pair<std::string, const char*> cases[] = {
        {".\\OSA.plc", "Osa.plc"},
        {"OSA.plc", "Osa.plc"},
        {"osa.plc", "osa.plc"},
        {".\\osa.plc", "osa.plc"},
        {"NOSUCH\\..\\OSA.plc", "Osa.plc"},
        {"..\\" + self + "\\OSA.PLC", "Osa.plc"},
        {".\\LIB\\Io.PLC", "lib/io.plc"},
        {"lib/IO.plc", "lib/io.plc"},
        {".\\Lib\\.\\io.plc", "lib/io.plc"},
    };
    COutputCtrl* out = frame->GetOutputCtrl();
    ASSERT_NE(out, nullptr);
    for (const auto& [stored, file] : cases) {
        SCOPED_TRACE(stored);
        const QString want = Path(file);
        const std::u16string form = QString::fromStdString(stored).toStdU16String();
        doc->Data().SourceFiles[0] = {form.substr(form.find_last_of(u"\\/") + 1), form};
        doc->UpdateAllViews(nullptr, 7);

        EXPECT_EQ(View()->FilePathOf(Group(7)->child(0)), want) << "explorer";

        ASSERT_TRUE(doc->WriteMakeKnf(Path("Make.knf")));
        const std::string make = ReadFile(dir / "Make.knf");
        const size_t at = make.find("  FilePlc\t= ");
        ASSERT_NE(at, std::string::npos);
        std::string value = make.substr(at + 12, make.find('\t', at + 12) - at - 12);
        std::replace(value.begin(), value.end(), '\\', '/');
        EXPECT_EQ(
            QString::fromStdString((fs::path(dir.Path()) / value).lexically_normal().string()),
            want)
            << "make file: " << value;

        out->ClearAll();
        std::string pending;
        const std::string line = stored + "(3) : error T1001: chyba\r\n";
        core::ParseBuildOutputLine(line.data(), line.size(), pending, out);
        ASSERT_EQ(out->TagCount(), 1) << "compiler message";
        EXPECT_EQ(out->Tag(0)->path, want) << "compiler message";

        core::WorkspaceDocuments docs;
        docs.lists[core::WorkspaceDocuments::PlcSource].push_back(
            {form, core::ResolveDocumentPath(doc->GetProjectDir().toStdU16String(), form), {}});
        app->GetWorkspaceDocumentsPort()->Apply(docs);
        const std::vector<ui::Document*> opened = TakeOpenDocuments(*app, doc);
        ASSERT_EQ(opened.size(), 1u) << "workspace";
        EXPECT_EQ(opened[0]->GetPathName(), want) << "workspace";
        opened[0]->OnCloseDocument();
    }
}
