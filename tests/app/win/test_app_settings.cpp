// The settings shared by instances of the program on one settings folder:
// what one instance confirmed is never undone by another that ends later,
// and a settings file that could not be read is said on the screen.  The
// instance under test runs in this process; the other one is the program
// itself as a child process on a virtual X server (tests/app/ProgramUnderX.h).

#include "tests/app/AppTest.h"

#include "mainwnd/OptionsSheet.h"
#include "platform/ui/Command.h"
#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"
#include "tests/support/platform/Wait.h"
#include "tests/support/ui/UiTest.h"

#include <QLineEdit>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/app/ProgramUnderX.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSettings[] = "Windows Registry Editor Version 5.00\n\n"
                             "[HKCU\\Software\\ORNA\\Strandwork\\Options]\n"
                             "\"PathBorlandBin\"=\"C:\\\\Tasm\\\\Bin\\\\\"\n";

class SharedSettings : public AppTest
{
protected:
    void TearDown() override
    {
        if (other.state() != QProcess::NotRunning) {
            other.kill();
            other.waitForFinished(10000);
        }
        AppTest::TearDown();
    }

    // Starts the program as another instance on the same settings, with
    // file, and waits for its main window.
    void StartOther(const std::string& file)
    {
        ASSERT_TRUE(x.Up()) << "the virtual X server (Xvfb) did not start";
        const char* binDir = std::getenv("SW_BIN_DIR");
        ASSERT_NE(binDir, nullptr) << "SW_BIN_DIR is not set";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), programx::Q(x.Name()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), programx::Q(config.Path()));
        env.insert(QStringLiteral("XDG_DATA_HOME"), programx::Q(data.Path()));
        env.insert(QStringLiteral("XDG_STATE_HOME"), programx::Q(dir / "other-state"));
        other.setProcessEnvironment(env);
        programx::EndsWithTheTest(other);
        other.start(QString::fromLocal8Bit(binDir) + QStringLiteral("/strandwork"), {programx::Q(file)});
        ASSERT_TRUE(other.waitForStarted(10000)) << other.errorString().toStdString();
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return (otherFrame = x.Shown(other.processId(), "Strandwork - ", false)) != 0; }, 60000))
            << "the other instance's main window did not show";
    }

    // Confirms the options sheet of this instance with the Borland
    // compiler's folder.
    void ConfirmBorlandFolder(const QString& folder)
    {
        testsupport::ui::OnNextModal<ui::PropertySheet>([&](ui::PropertySheet* sheet) {
            auto* edit = qobject_cast<QLineEdit*>(sheet->GetPage(0)->GetDlgItem(2084));
            ASSERT_NE(edit, nullptr);
            edit->selectAll();
            testsupport::ui::TypeText(edit, folder);
            sheet->accept();
        });
        ui::SendCommand(ID_TOOLS_OPTIONS);
    }

    std::u16string StoredBorlandFolder()
    {
        sys::RegistryStore::Reset();
        return sys::Profile::GetString(u"Options", u"PathBorlandBin");
    }

    programx::VirtualDisplay x;
    QProcess other;
    Window otherFrame = 0;
};

} // namespace

TEST_F(SharedSettings, AnOptionConfirmedInOneInstanceOutlivesAnotherThatEndsLater)
{
    // A confirms the option; B, started after, does nothing; A ends, then
    // B ends: by its close button, and by a terminate signal.
    dir.Write("a.txt", "PROGRAM\r\n");
    for (bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "B ends by SIGTERM" : "B ends by its close button");
        sys::RegistryStore::Reset();
        fs::remove_all(config.Path() + "/ORNA");
        dir.Write("settings.reg", kSettings);
        fs::create_directories(config.Path() + "/ORNA");
        fs::copy_file(dir / "settings.reg", sys::RegistryStore::FilePath());

        ASSERT_TRUE(Start({Q(dir / "a.txt")}));
        const QString folder = bySignal ? QStringLiteral("/opt/borlandA2/") : QStringLiteral("/opt/borlandA/");
        ConfirmBorlandFolder(folder);
        ASSERT_NO_FATAL_FAILURE(StartOther(dir / "a.txt"));
        app->ExitInstance();
        app.reset();

        if (bySignal)
            ::kill(static_cast<pid_t>(other.processId()), SIGTERM);
        else
            x.Close(otherFrame);
        ASSERT_TRUE(other.waitForFinished(30000)) << "the other instance did not end";
        EXPECT_EQ(other.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(StoredBorlandFolder(), folder.toStdU16String())
            << QString::fromLocal8Bit(other.readAllStandardError()).toStdString();
    }
}

TEST_F(SharedSettings, ADamagedSettingsFileIsSaidOnceAfterTheMainWindowShows)
{
    dir.Write("a.txt", "PROGRAM\r\n");
    sys::RegistryStore::Reset();
    fs::create_directories(config.Path() + "/ORNA");
    dir.Write("damaged.reg", std::string(kSettings).substr(0, 60)); // cut inside a key's name
    fs::copy_file(dir / "damaged.reg", sys::RegistryStore::FilePath());

    testsupport::ui::PromptScript prompts({ui::IDOK});
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(Start({Q(dir / "a.txt")}));
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(prompts.Texts().size(), 1u);
    const QString text = prompts.Texts()[0];
    const QString file = Q(sys::RegistryStore::FilePath());
    EXPECT_TRUE(text.contains(file + QStringLiteral(".bad-"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("line "))) << text.toStdString();
    // The kept file is where the text says, with the bytes it had.
    bool kept = false;
    for (const auto& e : fs::directory_iterator(config.Path() + "/ORNA"))
        if (e.path().filename().string().rfind("Strandwork.reg.bad-", 0) == 0) {
            std::ifstream f(e.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            kept = text.contains(Q(e.path().string())) && bytes == dir.Read("damaged.reg");
        }
    EXPECT_TRUE(kept) << text.toStdString();
    // Said once: nothing more to tell.
    EXPECT_FALSE(sys::RegistryStore::TakeLoadProblem().has_value());
}
