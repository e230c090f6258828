#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));

    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("Strandwork"));
    frame.setCentralWidget(new QMdiArea(&frame));
    frame.resize(1024, 700);
    frame.show();
    return app.exec();
}
