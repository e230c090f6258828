// The program: one application object for the life of the process, its
// start-up, the event loop and its exit.  See docs/application.md.

#include "core/app/StrandworkApp.h"

#include <QApplication>

namespace {
// The one application object; it is never destroyed before the process ends.
CStrandworkApp* g_app = nullptr;
} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));
    CStrandworkApp::InstallCloseOnSignal();

    g_app = new CStrandworkApp;
    int status = 0;
    if (g_app->InitInstance())
        QApplication::exec();
    else
        status = kExitInitFailed;
    g_app->ExitInstance();
    return status;
}
