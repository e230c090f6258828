#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

#include "res/StringTable.h"

// String-table id of the main window's title.
constexpr unsigned IDS_MAIN_TITLE = 4455;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));

    QMainWindow frame;
    frame.setWindowTitle(LoadResString(IDS_MAIN_TITLE));
    frame.setCentralWidget(new QMdiArea(&frame));
    frame.resize(1024, 700);
    frame.show();
    return app.exec();
}
