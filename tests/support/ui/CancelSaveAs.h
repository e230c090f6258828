#pragma once
// Cancels every "save as" (a file dialog shown modal) that opens while the
// object lives, and counts them: for the saves that fail and then offer
// another place.  It polls from the event loop every 10 ms, so it also
// runs inside the dialog's own loop.
#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <functional>

namespace testsupport::ui {

class CancelSaveAs
{
public:
    // seen runs when a dialog shows, before it is cancelled.
    explicit CancelSaveAs(std::function<void()> seen = {}) : m_seen(std::move(seen))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                ++m_count;
                if (m_seen)
                    m_seen();
                dialog->reject();
            }
        });
        m_timer.start(10);
    }
    int Count() const { return m_count; }

private:
    QTimer m_timer;
    std::function<void()> m_seen;
    int m_count = 0;
};

} // namespace testsupport::ui
