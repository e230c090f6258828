// Writing the pictures of the shots program (Shot.h).
#include "Shot.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace shots {

namespace {

// The fixtures of the source tree, unless SW_FIXTURES names others.
const bool kFixtures = (::setenv("SW_FIXTURES", SW_SHOTS_FIXTURES, 0), true);

// The value after an argument of the program, or an empty string.
QString Argument(const QString& name)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// Notes that a widget has been painted.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// The windows to draw, in the order they stack on a screen: the main
// windows, then the windows they own (floating bars, dialogs, with w's own
// on top), popups last.
std::vector<QWidget*> Windows(QWidget* top)
{
    auto rank = [top](QWidget* t) {
        if (t->windowType() == Qt::Popup)
            return 3;
        if (!t->parentWidget())
            return 0;
        return t == top ? 2 : 1;
    };
    std::vector<QWidget*> out;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t == top || (t->isVisible() && t->windowType() != Qt::Desktop && t->windowType() != Qt::ToolTip &&
                         t->windowType() != Qt::SplashScreen))
            out.push_back(t);
    std::stable_sort(out.begin(), out.end(), [&](QWidget* a, QWidget* b) { return rank(a) < rank(b); });
    return out;
}

} // namespace

void Take(QWidget* w, const QString& name)
{
    ASSERT_NE(w, nullptr);
    QWidget* top = w->window();
    PaintWatch watch;
    w->installEventFilter(&watch);
    top->show();
    top->raise();
    top->activateWindow();
    w->update();
    if (top->windowHandle())
        (void)QTest::qWaitForWindowExposed(top, 5000);
    testsupport::ui::WaitFor([&] { return watch.painted; }, 5000, "the window to be painted");
    w->removeEventFilter(&watch);

    const std::vector<QWidget*> windows = Windows(top);
    QRect area;
    for (QWidget* t : windows)
        area |= t->geometry();
    QImage picture(area.size(), QImage::Format_RGB32);
    picture.fill(QColor(0x80, 0x80, 0x80)); // the desktop between the windows
    {
        QPainter p(&picture);
        for (QWidget* t : windows)
            p.drawPixmap(t->geometry().topLeft() - area.topLeft(), t->grab());
    }
    const QString out = Argument(QStringLiteral("--out"));
    const QDir dir(out.isEmpty() ? QDir::currentPath() : out);
    ASSERT_TRUE(dir.exists() || QDir().mkpath(dir.path())) << dir.path().toStdString();
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
    std::printf("shots: %s\n", qPrintable(path));

    bool ok = false;
    const double hold = Argument(QStringLiteral("--hold")).toDouble(&ok);
    if (ok && hold > 0)
        testsupport::ui::PumpEvents(int(hold * 1000));
}

} // namespace shots
