#include "platform/ui/Modal.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

namespace ui {

namespace {
int g_depth = 0;
bool g_held = false;
bool g_reissuePending = false;

// A held request issued again: not a new request.
class ReissuedQuit : public QEvent
{
public:
    ReissuedQuit() : QEvent(QEvent::Quit) {}
};
// Counts the quit requests that arrived; a pump compares before and after.
int g_quitArrivals = 0;

// Watches the application for quit requests while something is nested.
class QuitGuard : public QObject
{
public:
    QuitGuard() : QObject(QCoreApplication::instance()) { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::Quit || watched != QCoreApplication::instance())
            return false;
        if (dynamic_cast<ReissuedQuit*>(e)) {
            g_reissuePending = false;
            if (g_depth > 0)
                return true; // still nested: issued again when that ends
            g_held = false;
            return false; // the outermost loop quits
        }
        if (g_depth > 0) {
            g_held = true;
            ++g_quitArrivals;
            return true; // kept, not lost
        }
        return false;
    }
};

void EnsureGuard()
{
    static QPointer<QuitGuard> guard;
    if (!guard && QCoreApplication::instance())
        guard = new QuitGuard;
}

void Leave()
{
    if (--g_depth == 0 && g_held && !g_reissuePending) {
        g_reissuePending = true;
        // Issued again; the outermost loop takes it.
        QCoreApplication::postEvent(QCoreApplication::instance(), new ReissuedQuit);
    }
}
} // namespace

NestedLoopScope::NestedLoopScope()
{
    EnsureGuard();
    ++g_depth;
}

NestedLoopScope::~NestedLoopScope() { Leave(); }

int NestingDepth() { return g_depth; }
bool QuitRequestHeld() { return g_held; }

bool PumpMessages(const std::function<bool(long)>& idle)
{
    NestedLoopScope scope;
    const int before = g_quitArrivals;
    if (idle) {
        for (long count = 0; idle(count); ++count) {
        }
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return g_quitArrivals == before;
}

int BeginModal(QDialog* dialog)
{
    if (!dialog)
        return 0;
    dialog->setResult(0);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setProperty("sw_modal_done", false);
    if (!dialog->property("sw_modal_watched").toBool()) {
        dialog->setProperty("sw_modal_watched", true);
        QObject::connect(dialog, &QDialog::finished, dialog,
                         [dialog] { dialog->setProperty("sw_modal_done", true); });
    }
    dialog->show();
    return 1;
}

void RunModal(QDialog* dialog)
{
    if (!dialog || dialog->property("sw_modal_done").toBool() || !dialog->isVisible())
        return;
    QEventLoop loop;
    QPointer<QDialog> guard(dialog);
    auto c1 = QObject::connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    auto c2 = QObject::connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    {
        NestedLoopScope scope;
        loop.exec(QEventLoop::DialogExec);
    }
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    if (guard)
        guard->hide();
}

int EndModal(QDialog* dialog)
{
    if (!dialog)
        return 0;
    dialog->hide();
    return dialog->result();
}

} // namespace ui
