// The application's File and Project commands with real dialogs: File >
// Open with its code page and read-only box, the new-document choice, the
// project and add-file prompts, stopping a build, the rules that keep a
// command delivered while disabled from running, print setup.
#include "app/StrandworkApp.h"
#include "editor/dialogs/EditFileOpenDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Print.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/BinDoc.h"
#include "plcviews/StructuredTextDoc.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "res/CommandIds.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPageSetupDialog>
#include <QPrinter>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

QString Native(const QString& p) { return QDir::cleanPath(p); }

// Types the name into the dialog's name box and presses Enter.
void Choose(QFileDialog* d, const QString& name)
{
    auto* edit = FindChild<QLineEdit>(d, QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
    PressKey(edit, Qt::Key_Return);
}

} // namespace

TEST(AppCommands, FileOpenWithUnicodeAndReadOnly)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    s.dir.Write("a.txt", "alpha\r\n");
    s.dir.Write("data.bin", std::string(16, '\x01'));
    SetEdtDefaultEncoding(2);
    SetEdtForceUnicode(false);
    QString filters;
    OnNextModal<CEditFileOpenDlg>([&](CEditFileOpenDlg* d) {
        EXPECT_EQ(d->windowTitle().isEmpty(), false);
        filters = d->nameFilters().join(QStringLiteral(";;"));
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
        d->setDirectory(s.Path(""));
        d->findChild<QCheckBox*>(QStringLiteral("c1046"))->setChecked(true); // convert
        d->findChild<QComboBox*>(QStringLiteral("c1007"))->setCurrentIndex(13); // "Unicode"
        d->findChild<QCheckBox*>(QStringLiteral("c1040"))->setChecked(true); // read-only
        Choose(d, QStringLiteral("\"a.txt\" \"data.bin\""));
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_FILE_OPEN));
    EXPECT_TRUE(filters.startsWith(QStringLiteral("Soubory Strandworku (...)"))) << filters.toStdString();
    EXPECT_TRUE(filters.contains(QStringLiteral("Projekty (*.kxp)")));
    auto* text = qobject_cast<CStructuredTextDoc*>(app.Template(0)->Documents().empty() ? nullptr
                                                                                          : app.Template(0)->Documents()[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->IsReadOnly());
    ASSERT_EQ(app.Template(1)->Documents().size(), 1u);
    EXPECT_TRUE(qobject_cast<CBinDoc*>(app.Template(1)->Documents()[0])->IsReadOnly());
    // The editor's defaults are back.
    EXPECT_EQ(GetEdtDefaultEncoding(), 2);
    EXPECT_FALSE(GetEdtForceUnicode());

    // "Text" on a PLC source gives the text template; the dialog starts in
    // the folder of the last first file.
    s.dir.Write("x.plc", "A\r\n");
    QString startedIn;
    OnNextModal<CEditFileOpenDlg>([&](CEditFileOpenDlg* d) {
        startedIn = d->directory().absolutePath();
        d->findChild<QComboBox*>(QStringLiteral("c1008"))->setCurrentIndex(1); // "Text"
        Choose(d, QStringLiteral("x.plc"));
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_FILE_OPEN));
    EXPECT_EQ(Native(startedIn), Native(s.Path("")));
    EXPECT_EQ(app.Template(3)->Documents().size(), 0u);
    ASSERT_EQ(app.Template(0)->Documents().size(), 2u);
    EXPECT_TRUE(app.Template(0)->Documents()[1]->GetPathName().endsWith(QStringLiteral("x.plc")));
    SetEdtDefaultEncoding(-1);
}

TEST(AppCommands, NewDocumentListsTheFileTypes)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    QStringList names;
    OnNextModal<ui::Dialog>([&](ui::Dialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Nový"));
        auto* list = FindChild<QListWidget>(d, QStringLiteral("c4681"));
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        EXPECT_EQ(list->currentRow(), 0);
        d->reject(); // Escape: nothing
    });
    const size_t before = app.Documents().Documents().size();
    EXPECT_TRUE(app.ExecuteCommand(ID_FILE_NEW));
    EXPECT_EQ(names, (QStringList{QStringLiteral("Textový soubor"), QStringLiteral("Binární soubor"),
                                  QStringLiteral("Hlavičkový soubor PLC"), QStringLiteral("Zdrojový soubor PLC"),
                                  QStringLiteral("Projekt Strandworku")}));
    EXPECT_EQ(app.Documents().Documents().size(), before);

    OnNextModal<ui::Dialog>([&](ui::Dialog* d) {
        auto* list = FindChild<QListWidget>(d, QStringLiteral("c4681"));
        list->setCurrentRow(0);
        PressKey(list, Qt::Key_Return);
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_FILE_NEW));
    ASSERT_EQ(app.Template(0)->Documents().size(), 1u);
    EXPECT_TRUE(app.Template(0)->Documents()[0]->GetTitle().startsWith(QStringLiteral("Text")));
}

TEST(AppCommands, ProjectAndAddFilePrompts)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    CStrandworkDoc* doc = s.Project();
    s.dir.Write("Third.plc", "A\r\n");
    s.dir.Write("Defs.inc", "B\r\n");
    s.dir.Write("notes.txt", "C\r\n");

    struct Case
    {
        uint32_t id;
        QString file;
        QString selected;  // the filter selected at the start
        bool mustExist;
    };
    const Case cases[] = {
        {ID_PROJECT_ADD_SOURCE, QStringLiteral("Third.plc"), QStringLiteral("Zdrojové soubory PLC (*.plc)"), true},
        {ID_PROJECT_ADD_HEADER, QStringLiteral("Defs.inc"), QStringLiteral("Hlavičkové soubory PLC (*.inc)"), true},
        {ID_PROJECT_ADD_SUPPORT, QStringLiteral("notes.txt"), QStringLiteral("Všechny soubory (*.*)"), true},
        {ID_PROJECT_NEW_SOURCE, QStringLiteral("New.plc"), QStringLiteral("Zdrojové soubory PLC (*.plc)"), false},
        {ID_PROJECT_NEW_HEADER, QStringLiteral("New.inc"), QStringLiteral("Hlavičkové soubory PLC (*.inc)"), false},
        {ID_PROJECT_NEW_SUPPORT, QStringLiteral("new.dat"), QStringLiteral("Všechny soubory (*.*)"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        OnNextModal<QFileDialog>([&](QFileDialog* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Otevřít"));
            EXPECT_EQ(Native(d->directory().absolutePath()), Native(s.Path("")));
            EXPECT_TRUE(d->selectedNameFilter().startsWith(c.selected)) << d->selectedNameFilter().toStdString();
            EXPECT_EQ(d->fileMode(), c.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
            if (c.id == ID_PROJECT_ADD_SUPPORT) {
                EXPECT_EQ(d->nameFilters().size(), 6);
            }
            Choose(d, c.file);
        });
        EXPECT_TRUE(app.ExecuteCommand(c.id));
    }
    const auto& data = doc->Data();
    ASSERT_EQ(data.SourceFiles.size(), 4u);
    EXPECT_EQ(data.SourceFiles[2].FileName, u"Third.plc");
    EXPECT_EQ(data.SourceFiles[3].FileName, u"New.plc");
    ASSERT_EQ(data.HeaderFiles.size(), 2u);
    ASSERT_EQ(data.SupportFiles.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(s.Path("New.inc")));

    // A duplicate gives the document's message and adds nothing.
    PromptScript prompts({ui::IDOK});
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
        Choose(d, QStringLiteral("Third.plc"));
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_ADD_SOURCE));
    EXPECT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(data.SourceFiles.size(), 4u);

    // ID_PROJECT_OPEN: the project filter, the current folder, an existing file.
    OnNextModal<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(Native(d->directory().absolutePath()), Native(QDir::currentPath()));
        EXPECT_TRUE(d->selectedNameFilter().startsWith(QStringLiteral("Projekty Strandworku (*.kxp)")));
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        d->reject();
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_OPEN));
    EXPECT_EQ(s.Project(), doc);
}

TEST(AppCommands, StopBuildAsksAndDisabledCommandsDoNothing)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    CStrandworkDoc* doc = s.Project();

    // Not building: the stop command is disabled and asks nothing.
    EXPECT_FALSE(app.CommandEnabled(ID_PROJECT_STOP_BUILD));
    EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_STOP_BUILD));

    doc->SetBuilding(true);
    {
        PromptScript prompts({ui::IDNO});
        EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_STOP_BUILD));
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Ukončení překladu může způsobit neočekávané chyby. Přejete si "
                                                     "přesto překlad ukončit?"));
        EXPECT_FALSE(doc->IsBuildStopRequested());
    }
    {
        PromptScript prompts({ui::IDYES});
        EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_STOP_BUILD));
        EXPECT_TRUE(doc->IsBuildStopRequested());
    }
    EXPECT_FALSE(app.CommandEnabled(ID_PROJECT_BUILD));
    EXPECT_FALSE(app.CommandEnabled(ID_PROJECT_CLEAN));
    doc->ClearBuildStop();
    doc->SetBuilding(false);
}

TEST(AppCommands, PrintSetupCancelChangesNothing)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    QPrinter& printer = ui::ApplicationPrinter();
    const QPageLayout before = printer.pageLayout();
    bool shown = false;
    OnNextModal<QPageSetupDialog>([&](QPageSetupDialog* d) {
        shown = true;
        EXPECT_EQ(d->printer(), &printer);
        d->reject();
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_FILE_PRINT_SETUP));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(printer.pageLayout().isEquivalentTo(before));
}

// Closing the program with the project and modified documents open asks
// once per document: Cancel keeps everything open, No closes without
// writing.
TEST(AppCommands, ClosingTheProgramAsksOnceForEachModifiedDocument)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    s.dir.Write("a.txt", "alpha\r\n");
    s.dir.Write("b.txt", "beta\r\n");
    ui::Document* a = app.OpenDocumentWithTemplate(s.Path("a.txt"), -1);
    ui::Document* b = app.OpenDocumentWithTemplate(s.Path("b.txt"), -1);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    a->SetModifiedFlag(true);
    b->SetModifiedFlag(true);
    ui::MainFrameBase* frame = app.GetMainWnd();
    ASSERT_NE(frame, nullptr);
    {
        PromptScript prompts({ui::IDCANCEL});
        EXPECT_FALSE(frame->close());
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("a.txt")));
    }
    EXPECT_NE(app.GetProjectDoc(), nullptr);
    EXPECT_EQ(app.Template(0)->GetDocumentCount(), 2);
    {
        PromptScript prompts({ui::IDNO, ui::IDNO});
        EXPECT_TRUE(frame->close());
        const std::vector<QString> asked = prompts.Texts();
        ASSERT_EQ(asked.size(), 2u);
        EXPECT_TRUE(asked[0].contains(QStringLiteral("a.txt")));
        EXPECT_TRUE(asked[1].contains(QStringLiteral("b.txt")));
    }
    EXPECT_EQ(app.GetProjectDoc(), nullptr);
    EXPECT_EQ(app.Template(0)->GetDocumentCount(), 0);
    EXPECT_EQ(s.dir.Read("a.txt"), "alpha\r\n");
    EXPECT_EQ(s.dir.Read("b.txt"), "beta\r\n");
}

// Commands that cannot act are disabled: Find and Print without a
// document; the hex view clears the editor's panes (line and column,
// overwrite, read-only) that a text view filled.
TEST(AppCommands, FindPrintAndTheEditorPanesFollowTheActiveView)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    ui::MainFrameBase* frame = app.GetMainWnd();
    ASSERT_NE(frame, nullptr);
    frame->show();
    PumpEvents();
    auto enabled = [](uint32_t id) {
        ui::CmdUI cmd(id);
        ui::UpdateCommandUI(cmd);
        return cmd.Enabled();
    };
    EXPECT_FALSE(enabled(ID_EDIT_FIND));
    EXPECT_FALSE(enabled(ID_FILE_PRINT));

    s.dir.Write("a.txt", "one\r\ntwo two two\r\n");
    s.dir.Write("x.bin", std::string(40, '\x02'));
    ui::Document* text = app.OpenDocumentWithTemplate(s.Path("a.txt"), -1);
    ASSERT_NE(text, nullptr);
    auto* view = qobject_cast<CStructuredTextView*>(text->FirstView());
    ASSERT_NE(view, nullptr);
    view->SetCursorPos({7, 1});
    view->setFocus();
    PumpEvents();
    EXPECT_TRUE(enabled(ID_EDIT_FIND));
    EXPECT_TRUE(enabled(ID_FILE_PRINT));
    ui::StatusBar* status = frame->GetStatusBar();
    ASSERT_NE(status, nullptr);
    const int pos = status->CommandToIndex(ID_EDT_INDICATOR_POSITION);
    ASSERT_GE(pos, 0);
    status->UpdateCmdUI();
    EXPECT_FALSE(status->GetPaneText(pos).isEmpty());

    ui::Document* bin = app.OpenDocumentWithTemplate(s.Path("x.bin"), -1);
    ASSERT_NE(bin, nullptr);
    bin->FirstView()->setFocus();
    PumpEvents();
    ASSERT_EQ(ui::Application::Instance()->GetMainWnd()->GetActiveView(), bin->FirstView());
    status->UpdateCmdUI();
    EXPECT_TRUE(status->GetPaneText(pos).isEmpty()) << status->GetPaneText(pos).toStdString();
    for (uint32_t id : {ID_INDICATOR_OVR, ID_EDT_INDICATOR_READONLY}) {
        const int i = status->CommandToIndex(id);
        EXPECT_TRUE(i < 0 || status->GetPaneText(i).isEmpty()) << id;
    }

    // Every document closed: Find and Print are disabled again.
    text->OnCloseDocument();
    bin->OnCloseDocument();
    PumpEvents();
    EXPECT_FALSE(enabled(ID_EDIT_FIND));
    EXPECT_FALSE(enabled(ID_FILE_PRINT));
}

// Uložit with only the project open: a source added to the project enables
// it and it writes the project file, sent on the command route as the
// menu, the toolbar and Ctrl+S send it, whether the focus is in the project
// explorer or nowhere.  With a document window active it saves that
// document and leaves the project alone.
TEST(AppCommands, SaveWithNoDocumentWindowSavesTheProject)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    CStrandworkDoc* doc = s.Project();
    ui::MainFrameBase* frame = app.GetMainWnd();
    ASSERT_NE(frame, nullptr);
    frame->show();
    QApplication::setActiveWindow(frame);
    PumpEvents();
    ASSERT_EQ(frame->MDIGetActive(), nullptr);
    auto saveEnabled = [] {
        ui::CmdUI cmd(ID_FILE_SAVE);
        ui::UpdateCommandUI(cmd);
        return cmd.Enabled();
    };
    auto add = [&](uint32_t id, const QString& name) {
        OnNextModal<QFileDialog>([&](QFileDialog* d) { Choose(d, name); });
        EXPECT_TRUE(app.ExecuteCommand(id));
        EXPECT_TRUE(doc->IsModified());
    };
    s.dir.Write("Third.plc", "A\r\n");
    s.dir.Write("Fourth.plc", "B\r\n");
    s.dir.Write("Defs.inc", "C\r\n");
    EXPECT_FALSE(saveEnabled());

    // The focus nowhere: the project is saved.
    QWidget* focus = QApplication::focusWidget();
    if (focus)
        focus->clearFocus();
    std::string stored = s.dir.Read("Project.kxp");
    add(ID_PROJECT_ADD_SOURCE, QStringLiteral("Third.plc"));
    EXPECT_EQ(s.dir.Read("Project.kxp"), stored);
    EXPECT_TRUE(saveEnabled());
    ui::SendCommand(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    stored = s.dir.Read("Project.kxp");
    EXPECT_NE(stored.find("Third.plc"), std::string::npos);
    EXPECT_FALSE(saveEnabled());

    // The focus in the project explorer (the project's own view).
    auto* explorer = frame->findChild<CKXPExplorerView*>();
    ASSERT_NE(explorer, nullptr);
    add(ID_PROJECT_ADD_SOURCE, QStringLiteral("Fourth.plc"));
    QApplication::setActiveWindow(frame);
    explorer->Tree()->setFocus();
    PumpEvents();
    ASSERT_EQ(ui::FocusedView(), explorer);
    EXPECT_TRUE(saveEnabled());
    PostKey(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(doc->IsModified());
    stored = s.dir.Read("Project.kxp");
    EXPECT_NE(stored.find("Fourth.plc"), std::string::npos);

    // A document window active: Uložit belongs to its document.
    CPLCView* view = s.Open("Main.plc");
    ASSERT_NE(view, nullptr);
    view->setFocus();
    PumpEvents();
    ASSERT_EQ(ui::FocusedView(), view);
    const std::string main = s.dir.Read("Main.plc");
    add(ID_PROJECT_ADD_HEADER, QStringLiteral("Defs.inc"));
    EXPECT_FALSE(saveEnabled());
    ui::SendCommand(ID_FILE_SAVE);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(s.dir.Read("Project.kxp"), stored);
    EXPECT_EQ(s.dir.Read("Main.plc"), main);
}
