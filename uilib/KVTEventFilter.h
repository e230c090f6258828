#pragma once
// The library's one application event filter, installed once on first use.
// Today it holds the mouse watch of the bars (CKVTToolbarShared::SetMouseHook):
// while the watch is on, every mouse move is followed at its global
// position by the bar under it; the filter never eats a move.

#include <QObject>
#include <QPointer>

class CKVTToolBar;

class KvtEventFilter : public QObject
{
    Q_OBJECT
public:
    static KvtEventFilter& Instance();
    void SetMouseWatch(bool on);
    bool IsMouseWatch() const { return m_watch; }
    CKVTToolBar* TrackedBar() const { return m_tracked; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    KvtEventFilter();
    bool m_watch = false;
    QPointer<CKVTToolBar> m_tracked;
};
