#include "WindowTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace wintest {

void PumpEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    while (t.elapsed() < ms);
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs, const char* what)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs) {
            ADD_FAILURE() << "timed out waiting for " << what;
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void OnNextModal(const std::function<bool(QWidget*)>& act, int timeoutMs)
{
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started, timeoutMs] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            if (!act(w)) {
                ADD_FAILURE() << "unexpected window " << w->metaObject()->className();
                w->close();
            }
            return;
        }
        if (started->elapsed() > timeoutMs) {
            ADD_FAILURE() << "no modal window appeared";
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void ShowActive(QWidget* w)
{
    QWidget* top = w->window();
    top->show();
    top->activateWindow();
    QApplication::setActiveWindow(top);
    WaitFor([top] { return top->isVisible(); }, 2000, "window shown");
}

void DoubleClick(QWidget* w, QPoint pos)
{
    QPointF p(pos), g(w->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, p, g, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, g, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, p, g, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &dbl);
    QMouseEvent release2(QEvent::MouseButtonRelease, p, g, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release2);
}

void PressKey(QWidget* w, int key, Qt::KeyboardModifiers m)
{
    QString text = key == Qt::Key_Space ? QStringLiteral(" ") : key == Qt::Key_Return ? QStringLiteral("\r") : QString();
    QKeyEvent press(QEvent::KeyPress, key, m, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, m, text);
    QApplication::sendEvent(w, &release);
}

} // namespace wintest
