// The options record and sheet: defaults, loading and saving, the paths
// page with its browse buttons and separators, and the file-properties page
// of a text view.
#include "app/StrandworkApp.h"
#include "core/common/AppSettings.h"
#include "mainwnd/OptionsSheet.h"
#include "fontcolor/FontColorPage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Registry.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Prompt.h"
#include "editor/settings/EdtTextTypes.h"
#include "plcviews/PPTextFile.h"
#include "plcviews/StructuredTextDoc.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/platform/Mounts.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

const char16_t kOptions[] = u"Options";

core::AppSettings Defaults()
{
    core::AppSettings s;
    s.SetDefaults({u"/opt/sw/Templates/", u"/opt/sw/Tarvane/"});
    return s;
}

class Options : public RegistryTest
{
protected:
    // The sheet's paths page, shown: the sheet runs modally and act works
    // on the page, then OK (accept) or Cancel.
    void WithPathsPage(core::AppSettings& s, const std::function<void(CPPPaths*)>& act, bool accept)
    {
        OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* sheet) {
            auto* page = qobject_cast<CPPPaths*>(sheet->GetPage(0));
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(sheet->GetPageCount(), 3);
            act(page);
            if (accept)
                sheet->accept();
            else
                sheet->reject();
        });
        CFontColorPage registry;
        RunOptionsSheet(nullptr, s, &registry);
    }
    void Browse(CPPPaths* page, int button, const QString& folder)
    {
        OnNextModal<QFileDialog>([&](QFileDialog* d) {
            auto* name = FindChild<QLineEdit>(d, "fileNameEdit");
            ASSERT_NE(name, nullptr);
            TypeText(name, folder);
            PressKey(name, Qt::Key_Return);
        });
        auto* b = qobject_cast<QAbstractButton*>(page->GetDlgItem(button));
        ASSERT_NE(b, nullptr);
        b->click();
    }
};

} // namespace

TEST_F(Options, AnEmptyStoreKeepsTheSevenDefaultsAndSaveNeverWritesTheLanguage)
{
    core::AppSettings s = Defaults();
    s.Load(kOptions);
    EXPECT_EQ(s.PathBorlandBin, u"");
    EXPECT_EQ(s.PathBorlandLib, u"");
    EXPECT_EQ(s.PathTarvane, u"/opt/sw/Tarvane/");
    EXPECT_EQ(s.PathTemplates, u"/opt/sw/Templates/");
    EXPECT_EQ(s.PathWinXPDDK, u"");
    EXPECT_EQ(s.OlnkConnectionString, u"P = Com1; B = 115200; W = 20;");
    EXPECT_EQ(s.Language, u"Default");

    s.Language = u"ENU";
    s.PathWinXPDDK = u"/ddk/";
    ASSERT_TRUE(s.Save(kOptions));
    EXPECT_EQ(sys::Profile::GetString(kOptions, u"Language", u"none"), u"none");
    EXPECT_EQ(sys::Profile::GetString(kOptions, u"PathWinXPDDK"), u"/ddk/");
    // A stored language is read; a stored path wins over the default.
    sys::Profile::WriteString(kOptions, u"Language", u"CSY");
    core::AppSettings t = Defaults();
    t.Load(kOptions);
    EXPECT_EQ(t.Language, u"CSY");
    EXPECT_EQ(t.PathWinXPDDK, u"/ddk/");
}

// Every default folder of this system is a native folder that exists, or
// empty: never a Windows path, never a trailing backslash.
TEST_F(Options, TheDefaultsOfAFreshStoreExistOrAreEmpty)
{
    core::AppSettings s;
    s.SetDefaults(core::FindDefaultFolders(sys::ProgramFolder()));
    s.Load(kOptions);
    for (const std::u16string* p : {&s.PathTemplates, &s.PathTarvane, &s.PathBorlandBin, &s.PathBorlandLib,
                                    &s.PathWinXPDDK}) {
        if (p->empty())
            continue;
        EXPECT_EQ(p->front(), u'/') << QString::fromStdU16String(*p).toStdString();
        EXPECT_EQ(p->back(), u'/') << QString::fromStdU16String(*p).toStdString();
        const auto native = sys::WinPath::ToNative(*p);
        ASSERT_TRUE(native.has_value());
        EXPECT_TRUE(sys::IsDirectory(*native)) << *native;
    }
    EXPECT_EQ(s.PathBorlandBin, u"");
    EXPECT_EQ(s.PathWinXPDDK, u"");
    // The test programs lie in the build tree beside its stand-in compiler.
    EXPECT_TRUE(s.PathTarvane.ends_with(u"/tests/support/Tarvane/")) << QString::fromStdU16String(s.PathTarvane).toStdString();
    EXPECT_FALSE(s.PathTemplates.empty());
}

TEST_F(Options, DefaultFoldersFollowTheBuildTreeOrTheInstalledLayout)
{
    testsupport::TempDir dir;
    const auto W = [](const std::string& p) { return QString::fromStdString(p).toStdU16String(); };
    // The build tree: bin/ beside tests/support/Tarvane; Templates made.
    QDir().mkpath(QString::fromStdString(dir / "build/bin"));
    QDir().mkpath(QString::fromStdString(dir / "build/tests/support/Tarvane"));
    core::DefaultFolders f = core::FindDefaultFolders(dir / "build/bin");
    EXPECT_EQ(f.compilers, W(dir / "build/tests/support/Tarvane/"));
    EXPECT_EQ(f.templates, W(dir / "build/Templates/"));
    EXPECT_TRUE(sys::IsDirectory(dir / "build/Templates"));
    // Installed: <prefix>/bin and <prefix>/share/strandwork; no compiler.
    QDir().mkpath(QString::fromStdString(dir / "usr/bin"));
    QDir().mkpath(QString::fromStdString(dir / "usr/share/strandwork"));
    f = core::FindDefaultFolders(dir / "usr/bin/");
    EXPECT_EQ(f.compilers, u"");
    EXPECT_EQ(f.templates, W(dir / "usr/share/strandwork/Templates/"));
    QDir().mkpath(QString::fromStdString(dir / "usr/share/strandwork/Tarvane"));
    EXPECT_EQ(core::FindDefaultFolders(dir / "usr/bin").compilers, W(dir / "usr/share/strandwork/Tarvane/"));
    // A templates folder that cannot be made (a file in the way) is empty.
    dir.Write("ro/Templates", "not a folder");
    QDir().mkpath(QString::fromStdString(dir / "ro/bin"));
    EXPECT_EQ(core::FindDefaultFolders(dir / "ro/bin").templates, u"");
    EXPECT_EQ(core::FindDefaultFolders("").templates, u"");
}

TEST_F(Options, CancelStillSavesTheRecordUnchanged)
{
    // A stored Windows path (the settings file is shared with the control
    // system's world) is shown and kept as stored.
    core::AppSettings s = Defaults();
    ASSERT_TRUE(sys::Profile::WriteString(kOptions, u"PathBorlandBin", u"C:\\Tasm\\Bin\\"));
    s.Load(kOptions);
    WithPathsPage(
        s,
        [](CPPPaths* page) {
            auto* edit = qobject_cast<QLineEdit*>(page->GetDlgItem(2084));
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), QStringLiteral("C:\\Tasm\\Bin\\"));
            TypeText(edit, QStringLiteral("X"));
            EXPECT_TRUE(page->IsModified());
        },
        false);
    EXPECT_EQ(s.PathBorlandBin, u"C:\\Tasm\\Bin\\");
    EXPECT_EQ(sys::Profile::GetString(kOptions, u"PathBorlandBin"), u"C:\\Tasm\\Bin\\");
    EXPECT_EQ(sys::Profile::GetString(kOptions, u"OlnkConnectionString"), u"P = Com1; B = 115200; W = 20;");
}

TEST_F(Options, OkTakesTheEditsEachFolderEndingWithASeparator)
{
    core::AppSettings s = Defaults();
    WithPathsPage(
        s,
        [](CPPPaths* page) {
            auto* edit = qobject_cast<QLineEdit*>(page->GetDlgItem(2086));
            edit->selectAll();
            TypeText(edit, QStringLiteral("/usr/lib/borland"));
            auto* templates = qobject_cast<QLineEdit*>(page->GetDlgItem(2080));
            templates->selectAll();
            TypeText(templates, QStringLiteral("/a;/b/;C:\\c"));
        },
        true);
    EXPECT_EQ(s.PathBorlandLib, u"/usr/lib/borland/");
    EXPECT_EQ(s.PathTemplates, u"/a/;/b/;C:\\c\\");
    EXPECT_EQ(sys::Profile::GetString(kOptions, u"PathBorlandLib"), u"/usr/lib/borland/");
}

TEST_F(Options, ABrowseToTheSameFolderLeavesThePageUnmodified)
{
    const QString folder = QString::fromStdString(dir.Path());
    const QString other = QString::fromStdString(dir.Path()) + QStringLiteral("/Other");
    QDir().mkpath(other);
    core::AppSettings s = Defaults();
    s.PathBorlandBin = (folder + QLatin1Char('/')).toStdU16String();
    s.PathTemplates = (QStringLiteral("/x/;") + folder + QLatin1Char('/')).toStdU16String();
    WithPathsPage(
        s,
        [&](CPPPaths* page) {
            Browse(page, 2085, folder);
            EXPECT_FALSE(page->IsModified());
            EXPECT_EQ(page->Value(2), folder + QLatin1Char('/'));
            // Another folder: the value, a separator at its end, modified.
            Browse(page, 2085, other);
            EXPECT_TRUE(page->IsModified());
            EXPECT_EQ(page->Value(2), other + QLatin1Char('/'));
            // Several template folders: the chosen one is added once.
            Browse(page, 2081, other);
            Browse(page, 2081, folder);
            EXPECT_EQ(page->Value(0), QStringLiteral("/x/;") + folder + QStringLiteral("/;") + other + QLatin1Char('/'));
        },
        true);
    EXPECT_EQ(QString::fromStdU16String(s.PathBorlandBin), other + QLatin1Char('/'));
}

TEST_F(Options, EnterPressesOkOrTheButtonThatHasTheFocus)
{
    const QString other = QString::fromStdString(dir.Path()) + QStringLiteral("/Other");
    QDir().mkpath(other);
    core::AppSettings s = Defaults();
    // Enter as the keyboard gives it: through the event loop to the focus.
    const auto enter = [](QWidget* w) {
        QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
    };
    OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* sheet) {
        auto* page = qobject_cast<CPPPaths*>(sheet->GetPage(0));
        ASSERT_NE(page, nullptr);
        // On a browse button Enter presses that button.
        auto* browse = qobject_cast<QPushButton*>(page->GetDlgItem(2085));
        browse->setFocus();
        OnNextModal<QFileDialog>([&](QFileDialog* d) {
            auto* name = FindChild<QLineEdit>(d, "fileNameEdit");
            ASSERT_NE(name, nullptr);
            TypeText(name, other);
            PressKey(name, Qt::Key_Return);
        });
        enter(browse);
        WaitFor([] { return PendingModals() == 0; }, 5000, "the browse button's file dialog");
        ASSERT_TRUE(sheet->isVisible());
        // In a field it presses OK, which takes what was typed.
        auto* edit = qobject_cast<QLineEdit*>(page->GetDlgItem(2086));
        edit->setFocus();
        edit->selectAll();
        TypeText(edit, QStringLiteral("/usr/lib/borland"));
        enter(edit);
        WaitFor([&] { return !sheet->isVisible(); }, 5000, "the sheet closes");
        EXPECT_EQ(sheet->result(), int(QDialog::Accepted));
    });
    CFontColorPage registry;
    RunOptionsSheet(nullptr, s, &registry);
    EXPECT_EQ(QString::fromStdU16String(s.PathBorlandBin), other + QLatin1Char('/'));
    EXPECT_EQ(s.PathBorlandLib, u"/usr/lib/borland/");
}

TEST_F(Options, OkWritesTheSettingsFileAtOnceAndSaysWhenItCannot)
{
    const auto confirm = [this](const QString& folder) {
        core::AppSettings s = Defaults();
        WithPathsPage(
            s,
            [&](CPPPaths* page) {
                auto* edit = qobject_cast<QLineEdit*>(page->GetDlgItem(2084));
                ASSERT_NE(edit, nullptr);
                edit->selectAll();
                TypeText(edit, folder);
            },
            true);
    };
    const std::string file = sys::RegistryStore::FilePath();
    const auto readFile = [&file] {
        QFile f(QString::fromStdString(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    };
    // In the file at once, not only at the end of the program.
    confirm(QStringLiteral("/opt/borlandA"));
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "the settings file was not written";
        const QByteArray bytes = f.readAll();
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        EXPECT_TRUE(text.contains(QStringLiteral("\"PathBorlandBin\"=\"/opt/borlandA/\""))) << text.toStdString();
    }

    // A file in place of the settings folder (this holds for root too): the
    // failure is said at OK, with the file and the cause.
    const std::string folder = config.Path() + "/ORNA";
    sys::RegistryStore::Reset();
    std::filesystem::remove_all(folder);
    dir.Write("in-the-way", "x");
    std::filesystem::copy_file(dir / "in-the-way", folder);
    {
        PromptScript prompts({ui::IDOK});
        ::testing::internal::CaptureStderr();
        confirm(QStringLiteral("/opt/borlandB"));
        ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].contains(QString::fromStdString(file))) << prompts.Texts()[0].toStdString();
        EXPECT_TRUE(prompts.Texts()[0].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))))
            << prompts.Texts()[0].toStdString();
    }

    // A read-only settings folder (a read-only mount, which holds for root
    // too) and a full disk (a small file system of the test's own), where
    // the system allows the test to make them.  The file that was there
    // stays as it was.
    struct Case
    {
        const char* name;
        int cause;
    };
    for (const Case c : {Case{"read-only folder", EROFS}, Case{"full disk", ENOSPC}}) {
        SCOPED_TRACE(c.name);
        sys::RegistryStore::Reset();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        testsupport::TestMount mount = c.cause == EROFS ? testsupport::TestMount::ReadOnly(folder)
                                                         : testsupport::TestMount::Tmpfs(folder, 64 * 1024);
        if (!mount.Up()) {
            std::printf("%s not tried: %s\n", c.name, mount.Why().c_str());
            continue;
        }
        std::string before;
        if (c.cause == ENOSPC) {
            confirm(QStringLiteral("/opt/borlandC")); // the file, before the disk is full
            before = readFile();
            std::FILE* fill = std::fopen((folder + "/fill").c_str(), "wb");
            ASSERT_NE(fill, nullptr);
            const std::string block(4096, 'x');
            while (std::fwrite(block.data(), 1, block.size(), fill) == block.size() && std::fflush(fill) == 0) {
            }
            std::fclose(fill);
        }
        PromptScript prompts({ui::IDOK});
        ::testing::internal::CaptureStderr();
        confirm(QStringLiteral("/opt/borlandD"));
        ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].contains(QString::fromLocal8Bit(std::strerror(c.cause))))
            << prompts.Texts()[0].toStdString();
        if (c.cause == ENOSPC) {
            EXPECT_TRUE(readFile() == before);
        }
    }
}

TEST(OptionsRules, BrowseResultComparesExactly)
{
    // Two names that differ in case are two folders here.
    EXPECT_EQ(CPPPaths::BrowseResult(2, QStringLiteral("/Data/"), QStringLiteral("/data")), QStringLiteral("/data/"));
    EXPECT_EQ(CPPPaths::BrowseResult(2, QStringLiteral("/data/"), QStringLiteral("/data")), QStringLiteral("/data/"));
    EXPECT_EQ(CPPPaths::BrowseResult(0, QStringLiteral("/t/"), QStringLiteral("/u")), QStringLiteral("/u/"));
    EXPECT_EQ(CPPPaths::WithSeparator(QString()), QString());
    EXPECT_EQ(CPPPaths::WithSeparator(QStringLiteral("C:\\x\\")), QStringLiteral("C:\\x\\"));
}

TEST_F(Options, TheFilePropertiesPageRefusesATabOf65AndUnicodeAloneMarksTheDocumentModified)
{
    dir.Write("notes.txt", "one\r\ntwo\r\nthree\r\n");
    auto app = std::make_unique<CStrandworkApp>();
    app->SetArguments({QString::fromStdString(dir / "notes.txt")});
    ASSERT_TRUE(app->InitInstance());
    ASSERT_EQ(app->Template(0)->Documents().size(), 1u);
    auto* doc = qobject_cast<CStructuredTextDoc*>(app->Template(0)->Documents().front());
    ASSERT_NE(doc, nullptr);
    auto* view = qobject_cast<CStructuredTextView*>(doc->FirstView());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(doc->IsModified());

    PromptScript prompts({ui::IDOK});
    int other = -1;
    OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* sheet) {
        EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Vlastnosti"));
        auto* page = qobject_cast<CPPTextFile*>(sheet->GetPage(0));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(qobject_cast<QLabel*>(page->GetDlgItem(CPPTextFile::IDC_LINES))->text(), QStringLiteral("4 (řádků)"));
        auto* tab = qobject_cast<QLineEdit*>(page->GetDlgItem(CPPTextFile::IDC_TABSIZE));
        ASSERT_NE(tab, nullptr);
        tab->selectAll();
        TypeText(tab, QStringLiteral("65"));
        sheet->accept();   // refused: the range message, the sheet stays
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(prompts.Texts().size(), 1u);
        tab->selectAll();
        TypeText(tab, QStringLiteral("8"));
        qobject_cast<QCheckBox*>(page->GetDlgItem(CPPTextFile::IDC_UNICODE))->click();
        auto* syntax = qobject_cast<QComboBox*>(page->GetDlgItem(CPPTextFile::IDC_SYNTAX));
        ASSERT_NE(syntax, nullptr);
        EXPECT_EQ(GetTextTypeDef(syntax->currentData().toInt()), view->GetCurrentTextType());
        other = (syntax->currentIndex() + 1) % syntax->count();
        syntax->setCurrentIndex(other);
        other = syntax->itemData(other).toInt();
        sheet->accept();
    });
    ShowTextFileProperties(view);
    EXPECT_EQ(view->GetTabSize(), 8);   // the page's tab size wins over the new syntax's own
    EXPECT_EQ(view->GetCurrentTextType(), GetTextTypeDef(other));
    EXPECT_TRUE(doc->Buffer().GetUnicode());
    EXPECT_TRUE(doc->IsModified());
    doc->SetModifiedFlag(false);
    app.reset();
}
