#include "uilib/KVTEventFilter.h"

#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QMouseEvent>

KvtEventFilter& KvtEventFilter::Instance()
{
    static KvtEventFilter* filter = new KvtEventFilter;
    return *filter;
}

KvtEventFilter::KvtEventFilter()
{
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        setParent(app);
    }
}

void KvtEventFilter::SetMouseWatch(bool on)
{
    m_watch = on;
    if (!on)
        m_tracked = nullptr;
}

bool KvtEventFilter::eventFilter(QObject* watched, QEvent* e)
{
    if (m_watch && e->type() == QEvent::MouseMove && watched->isWidgetType()) {
        const QPoint global = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
        CKVTToolBar* bar = nullptr;
        for (QWidget* w = QApplication::widgetAt(global); w && !bar; w = w->parentWidget())
            bar = qobject_cast<CKVTToolBar*>(w);
        if (m_tracked && m_tracked != bar)
            m_tracked->SetHotButton(-1);
        m_tracked = bar;
        if (bar)
            bar->TrackMouse(bar->mapFromGlobal(global));
    }
    return QObject::eventFilter(watched, e);
}
