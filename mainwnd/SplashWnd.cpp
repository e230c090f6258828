#include "mainwnd/SplashWnd.h"

#include "res/Resources.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>

namespace {
constexpr unsigned IDS_VERSION = 539;   // "Version %d.%d.%d rev. %d"
constexpr int kVersion[4] = {2, 0, 16, 658};
} // namespace

QString AppVersionText()
{
    return FormatResString(IDS_VERSION, kVersion[0], kVersion[1], kVersion[2], kVersion[3]);
}

QPixmap LoadPicture(const QString& name, QSize size)
{
    QSvgRenderer svg(res::Data(QStringLiteral("icons/%1.svg").arg(name)));
    if (!svg.isValid())
        return {};
    if (size.isEmpty())
        size = svg.defaultSize();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    svg.render(&p);
    return pixmap;
}

CSplashWindow::CSplashWindow() : ui::Dialog(IDD)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("SplashWindow"));
    if (auto* version = Item<QLabel>(IDC_VERSION))
        version->setText(AppVersionText());
    if (auto* picture = Item<QLabel>(IDC_PICTURE))
        picture->setPixmap(LoadPicture(QStringLiteral("540")));
    auto* timer = new QTimer(this);
    timer->setInterval(kTickMs);
    connect(timer, &QTimer::timeout, this, &CSplashWindow::OnTick);
    timer->start();
    // Topmost: the windows the start-up shows meanwhile go behind it, also
    // where no window manager keeps it in front.
    qApp->installEventFilter(this);
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Show && watched != this && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
        QTimer::singleShot(0, this, [this] { raise(); });
    return ui::Dialog::eventFilter(watched, e);
}

int& CSplashWindow::TickCounter()
{
    static int counter = 0;
    return counter;
}

void CSplashWindow::OnTick()
{
    int& counter = TickCounter();
    if (counter < kTicks) {
        ++counter;
        raise();   // stays in front of the windows the start-up shows meanwhile
        return;
    }
    close();
}

void CSplashWindow::mousePressEvent(QMouseEvent*) { close(); }

void CSplashWnd::ShowSplash()
{
    auto* window = new CSplashWindow;
    m_window = window;
    window->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = window->frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        window->move(r.topLeft());
    }
    window->show();
    window->raise();
    QCoreApplication::processEvents();
}
