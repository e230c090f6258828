// The program: one application object for the life of the process, its
// start-up, the event loop and its exit.  See docs/application.md.

#include "app/StrandworkApp.h"
#include "platform/ui/LocalPath.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {
// The one application object; it is never destroyed before the process ends.
CStrandworkApp* g_app = nullptr;

// -Build and -Make run without windows.
bool RunsUnattended(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if ((a[0] == '-' || a[0] == '/') && (!std::strcmp(a + 1, "Build") || !std::strcmp(a + 1, "Make")))
            return true;
    }
    return false;
}

// Chooses the window system before Qt starts; false when there is none.
bool ChoosePlatform(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true; // an explicit choice always wins
    // Floating bars and popups are placed at absolute screen positions,
    // which only X11 gives: under a desktop session (also a Wayland one,
    // through its X server) the program runs on X11.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    if (RunsUnattended(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Platforms that draw on no screen anybody sees.
bool WithoutDisplay()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}
} // namespace

int main(int argc, char** argv)
{
    if (!ChoosePlatform(argc, argv)) {
        std::fputs("strandwork: no display: set DISPLAY, or run under Xvfb (xvfb-run strandwork)\n", stderr);
        return kExitInitFailed;
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));
    CStrandworkApp::InstallCloseOnSignal();

    g_app = new CStrandworkApp;
    // The parameters Qt left (it takes its own), each byte of a file name
    // kept: QCoreApplication::arguments() decodes them lossily.
    g_app->SetArguments(ui::LocalArguments(argc, argv));
    g_app->SetNoDisplay(WithoutDisplay());
    int status = 0;
    if (g_app->InitInstance()) {
        // A close (or a signal) during the start-up ends the run before
        // the loop starts.
        if (!g_app->MainWindowClosed())
            QApplication::exec();
        // A script that ran -Build learns of the failure however the
        // window was closed (without a display it closes by itself).
        if (g_app->StartupBuildFailed())
            status = kExitBuildFailed;
    } else
        status = kExitInitFailed;
    g_app->ExitInstance();
    return status;
}
