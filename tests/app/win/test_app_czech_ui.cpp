// The Czech interface: every dialog form and every window that the
// program's commands open shows Czech texts and no "&" drawn literally,
// whatever the environment's locale says; the file dialogs' lists (folder
// type, dates) follow the interface language; the string table's texts that
// once were English; the waiting boxes name no internal request.
#include "app/StrandworkApp.h"
#include "editor/dialogs/EditFileOpenDlg.h"
#include "mainwnd/MainFrame.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/ShownTexts.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTFrameHelper.h"

#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPageSetupDialog>
#include <QRegularExpression>
#include <QTreeView>

#include <memory>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

QString Joined(const QStringList& problems)
{
    return problems.join(QLatin1Char('\n'));
}

// Every page of a sheet made once, then the texts of all of them.
QStringList SheetProblems(ui::PropertySheet* sheet)
{
    for (int i = 0; i < sheet->GetPageCount(); ++i)
        sheet->SetActivePage(i);
    return TextProblems(sheet);
}

// Opens the modal window of a command, collects its problems and closes it.
template <class T>
QStringList ModalProblems(const std::function<void()>& command,
                          const std::function<void(T*)>& more = {})
{
    QStringList problems;
    bool seen = false;
    OnNextModal<T>([&](T* w) {
        seen = true;
        if (auto* sheet = qobject_cast<ui::PropertySheet*>(w))
            problems = SheetProblems(sheet);
        else
            problems = TextProblems(w);
        if (more)
            more(w);
        w->reject();
    });
    command();
    EXPECT_TRUE(seen) << T::staticMetaObject.className();
    return problems;
}

// The row of name in a file dialog's list, once the list has it.
QModelIndex ListRow(QFileDialog* d, const QString& name)
{
    auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view || !view->model())
        return {};
    QModelIndex found;
    WaitFor(
        [&] {
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r)
                if (view->model()->index(r, 0, root).data().toString() == name)
                    found = view->model()->index(r, 0, root);
            return found.isValid();
        },
        5000, "the file list");
    return found;
}

} // namespace

TEST(CzechUi, EveryDialogFormShowsCzechAndNoLiteralAmpersand)
{
    int forms = 0;
    QStringList problems;
    QDirIterator it(res::BuiltinPath(QStringLiteral("dialogs")), {QStringLiteral("*.ui")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        bool numeric = false;
        const uint32_t id = file.completeBaseName().toUInt(&numeric);
        if (!numeric)
            continue;
        std::unique_ptr<QWidget> form(ui::LoadForm(id, nullptr));
        ASSERT_NE(form, nullptr) << id;
        ++forms;
        for (const QString& p : TextProblems(form.get()))
            problems.append(QStringLiteral("%1: %2").arg(id).arg(p));
    }
    EXPECT_GT(forms, 50);
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
}

TEST(CzechUi, AnAmpersandOfALabelMarksTheMnemonicOfTheNextControl)
{
    // "Pa&nely nástrojů:" of the customisation sheet leads to the list that
    // replaced its placeholder.
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    ui::SendCommand(ID_VIEW_CUSTOMIZE);
    auto* sheet = qobject_cast<ui::PropertySheet*>(CKVTFrameHelper::CustomizeSheet());
    ASSERT_NE(sheet, nullptr);
    const QStringList problems = SheetProblems(sheet);
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
    QLabel* toolbars = nullptr;
    for (QLabel* l : sheet->findChildren<QLabel*>())
        if (l->text() == QStringLiteral("Pa&nely nástrojů:"))
            toolbars = l;
    ASSERT_NE(toolbars, nullptr);
    ASSERT_NE(toolbars->buddy(), nullptr);
    EXPECT_EQ(toolbars->buddy()->objectName(), QStringLiteral("c16501"));
    EXPECT_NE(toolbars->buddy()->metaObject(), &QWidget::staticMetaObject);
    sheet->reject();
    PumpEvents();

    // A label with no control after it shows its text without the mark.
    QWidget form;
    auto* last = new QLabel(QStringLiteral("&Poslední && jediný"), &form);
    ui::AttachLabelBuddies(&form);
    EXPECT_EQ(last->text(), QStringLiteral("Poslední & jediný"));
    EXPECT_EQ(last->buddy(), nullptr);
}

TEST(CzechUi, TheProgramsWindowsShowCzechWhateverTheLocale)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    EXPECT_EQ(QLocale().language(), QLocale::Czech);
    s.dir.Write("sub/x.txt", "x\r\n");
    s.dir.Write("note.txt", "text\r\n");

    // File > Open: Czech headers, folder type, file type and dates.
    QString folderType, fileType, date, expectedDate;
    QStringList problems = ModalProblems<CEditFileOpenDlg>(
        [&] { app.ExecuteCommand(ID_FILE_OPEN); },
        [&](CEditFileOpenDlg* d) {
            d->setDirectory(s.Path(""));
            const QModelIndex sub = ListRow(d, QStringLiteral("sub"));
            const QModelIndex note = ListRow(d, QStringLiteral("note.txt"));
            ASSERT_TRUE(sub.isValid() && note.isValid());
            folderType = sub.siblingAtColumn(2).data().toString();
            fileType = note.siblingAtColumn(2).data().toString();
            date = note.siblingAtColumn(3).data().toString();
            expectedDate =
                QLocale(QLocale::Czech, QLocale::Czechia)
                    .toString(QFileInfo(s.Path("note.txt")).lastModified(), QLocale::ShortFormat);
            const QStringList more = TextProblems(d);
            EXPECT_TRUE(more.isEmpty()) << Joined(more).toStdString();
        });
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
    EXPECT_EQ(folderType, QStringLiteral("složka"));
    EXPECT_EQ(fileType, QStringLiteral("prostý textový dokument"));
    EXPECT_EQ(date, expectedDate);
    EXPECT_FALSE(date.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
        << date.toStdString();

    // The project prompts, the new project, the settings, the options,
    // page setup and about.
    for (uint32_t id : {ID_PROJECT_OPEN, ID_PROJECT_ADD_SUPPORT}) {
        problems = ModalProblems<QFileDialog>([&] { app.ExecuteCommand(id); });
        EXPECT_TRUE(problems.isEmpty()) << id << ": " << Joined(problems).toStdString();
    }
    problems = ModalProblems<QDialog>([&] { app.ExecuteCommand(ID_PROJECT_NEW); });
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
    for (uint32_t id : {ID_PROJECT_SETTINGS, ID_TOOLS_OPTIONS}) {
        problems = ModalProblems<ui::PropertySheet>([&] { ui::SendCommand(id); });
        EXPECT_TRUE(problems.isEmpty()) << id << ": " << Joined(problems).toStdString();
    }
    problems = ModalProblems<QPageSetupDialog>([&] { app.ExecuteCommand(ID_FILE_PRINT_SETUP); });
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
    problems = ModalProblems<QDialog>([&] { ui::SendCommand(ID_APP_ABOUT); });
    EXPECT_TRUE(problems.isEmpty()) << Joined(problems).toStdString();
}

TEST(CzechUi, TheStringTableSpeaksCzech)
{
    const std::pair<unsigned, const char*> czech[] = {
        {4500, "Neočekávaný formát souboru."},
        {4501, "Soubor %1 nebyl nalezen."},
        {4527, "Další tlačítka"},
        {4528, "Rozbalit (%s)"},
        {4553, "Kontextové menu nelze vytvořit!"},
        {4575, "Chyba při načítání \"libwispell.so\"."},
        {4576, "Chyba"},
        {4577, "Kontrola pravopisu byla dokončena."},
        {4612, "Vyberte složku:"},
        {4613,
         "Změny pokročilého uživatelského rozhraní\nse projeví až po novém spuštění Strandworku."},
        {4614, "Bez překódování"},
        {4745, "složka"},
        {539, "Verze %d.%d.%d rev. %d"},
        {57605, "Změní nastavení tisku\nNastavení stránky"},
        {4055, "Zjišťují se informace o PLC\r\n Čekám na odpověď..."},
    };
    for (const auto& [id, text] : czech)
        EXPECT_EQ(LoadResString(id), QString::fromUtf8(text)) << id;

    // The waiting boxes say what they wait for in words, not by the name
    // of the request.
    const QRegularExpression request(QStringLiteral("[A-Z][a-z]+(PLC|Status|Info)"));
    for (unsigned id = 4054; id <= 4065; ++id) {
        const QString wait = LoadResString(id);
        EXPECT_FALSE(wait.isEmpty()) << id;
        EXPECT_FALSE(request.match(wait).hasMatch()) << id << ": " << wait.toStdString();
    }
    // What is written into files stays as it is.
    EXPECT_TRUE(LoadResString(4339).startsWith(QStringLiteral(";**   Compiler config file")));
}
