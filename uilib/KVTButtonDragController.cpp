#include "uilib/KVTButtonDragController.h"

#include "platform/ui/Cursor.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarDropTarget.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

CKVTButtonDragController& CKVTButtonDragController::Instance()
{
    static CKVTButtonDragController* controller = new CKVTButtonDragController;
    return *controller;
}

QRect CKVTButtonDragController::StartRectAround(const QPoint& p)
{
    const int d = QApplication::startDragDistance();
    return QRect(p.x() - d, p.y() - d, 2 * d + 1, 2 * d + 1);
}

uint32_t CKVTButtonDragController::CursorFor(int effect, bool outside)
{
    if (outside || effect == DROPEFFECT_NONE)
        return IDC_DELETE;
    return (effect & DROPEFFECT_COPY) ? IDC_COPY : IDC_MOVE;
}

bool CKVTButtonDragController::Start(QWidget* source, std::unique_ptr<QMimeData> data, int allowedEffects,
                                     const QRect& startRect, Completion done)
{
    if (m_state != Idle || !source || !data)
        return false;
    // The flags of the drop source start afresh with every drag.
    m_outside = true;
    m_escape = false;
    m_started = false;
    m_source = source;
    m_data = std::move(data);
    m_allowed = allowedEffects;
    m_startRect = startRect;
    m_done = std::move(done);
    m_target = nullptr;
    m_effect = DROPEFFECT_NONE;
    m_ctrl = (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    m_lastType = 0;
    m_state = Armed;
    qApp->installEventFilter(this);
    connect(source, &QObject::destroyed, this, [this] {
        if (m_state != Idle)
            Cancel();
    });
    return true;
}

CKVTToolBar* CKVTButtonDragController::BarAt(const QPoint& global)
{
    const std::vector<CKVTToolBar*> bars = CKVTToolbarShared::AllBars();
    auto hit = [&global](CKVTToolBar* b) {
        return b->IsCreated() && b->isVisible() && b->Customizer().DropTarget().Bar() == b &&
               QRect(b->mapToGlobal(QPoint(0, 0)), b->size()).contains(global);
    };
    // The popups first, the latest (innermost) before the others.
    for (auto it = bars.rbegin(); it != bars.rend(); ++it)
        if ((*it)->IsPopupMenuBar() && hit(*it))
            return *it;
    for (CKVTToolBar* b : bars)
        if (!b->IsPopupMenuBar() && b->IsFloating() && hit(b))
            return b;
    for (CKVTToolBar* b : bars)
        if (!b->IsPopupMenuBar() && !b->IsFloating() && hit(b))
            return b;
    return nullptr;
}

bool CKVTButtonDragController::SeenAlready(QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    const QPoint g = me->globalPosition().toPoint();
    const unsigned long long stamp = me->timestamp();
    if (int(e->type()) == m_lastType && g == m_lastGlobal && stamp == m_lastStamp && me->buttons() == m_lastButtons)
        return true;
    m_lastType = int(e->type());
    m_lastGlobal = g;
    m_lastStamp = stamp;
    m_lastButtons = me->buttons();
    return false;
}

bool CKVTButtonDragController::eventFilter(QObject*, QEvent* e)
{
    if (m_state == Idle)
        return false;
    const bool dragging = m_state == Dragging;
    switch (e->type()) {
    case QEvent::MouseMove: {
        if (SeenAlready(e))
            return dragging;
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint g = me->globalPosition().toPoint();
        m_ctrl = (me->modifiers() & Qt::ControlModifier) != 0;
        if (m_state == Armed) {
            if (!(me->buttons() & Qt::LeftButton) || m_startRect.contains(g))
                return false;
            BeginDrag();
            if (m_state != Dragging)
                return true;
        } else if (!m_source || QWidget::mouseGrabber() != m_source) {
            Cancel(); // the grab went elsewhere
            return true;
        }
        Track(g);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (SeenAlready(e))
            return dragging;
        if (me->button() != Qt::LeftButton)
            return dragging;
        if (m_state == Armed) {
            Result r;
            r.releasePos = me->globalPosition().toPoint();
            Finish(r); // a plain click
            return false;
        }
        Release(me->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (dragging)
            SeenAlready(e);
        return dragging;
    case QEvent::ShortcutOverride:
        if (dragging)
            e->accept();
        return dragging;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!dragging)
            return false;
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->key() == Qt::Key_Escape && e->type() == QEvent::KeyPress) {
            Cancel();
            return true;
        }
        if (ke->key() == Qt::Key_Control) {
            const bool ctrl = e->type() == QEvent::KeyPress;
            if (ctrl != m_ctrl) {
                m_ctrl = ctrl;
                Track(m_last);
            }
        }
        return true;
    }
    case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            Cancel();
        return false;
    default:
        return false;
    }
}

void CKVTButtonDragController::BeginDrag()
{
    if (!m_source) {
        Cancel();
        return;
    }
    m_state = Dragging;
    m_started = true;
    m_source->grabMouse();
    m_source->grabKeyboard();
    SetCursor(CursorFor(DROPEFFECT_NONE, m_outside));
}

void CKVTButtonDragController::Track(const QPoint& global)
{
    m_last = global;
    const int keyState = m_ctrl ? MK_CONTROL : 0;
    CKVTToolBar* bar = BarAt(global);
    if (bar != m_target) {
        if (CKVTToolBar* old = m_target)
            old->Customizer().DropTarget().OnDragLeave();
        m_target = bar;
        m_effect = bar ? bar->Customizer().DropTarget().OnDragEnter(m_data.get(), keyState,
                                                                    bar->mapFromGlobal(global))
                       : DROPEFFECT_NONE;
    } else if (bar) {
        m_effect = bar->Customizer().DropTarget().OnDragOver(m_data.get(), keyState,
                                                             bar->mapFromGlobal(global));
    }
    if (!(m_effect & m_allowed))
        m_effect = DROPEFFECT_NONE;
    if (m_state == Dragging)
        SetCursor(CursorFor(m_effect, m_outside));
}

void CKVTButtonDragController::SetCursor(uint32_t id)
{
    if (m_cursorSet && id == m_cursor)
        return;
    const QCursor cursor = ui::LoadCursor(id, id == IDC_DELETE ? Qt::ForbiddenCursor : Qt::DragMoveCursor);
    if (m_cursorSet)
        QGuiApplication::changeOverrideCursor(cursor);
    else
        QGuiApplication::setOverrideCursor(cursor);
    m_cursorSet = true;
    m_cursor = id;
}

void CKVTButtonDragController::Release(const QPoint& global)
{
    if (global != m_last)
        Track(global);
    QPointer<CKVTToolBar> target = m_target;
    const int effect = m_effect;
    const bool outside = m_outside;
    std::unique_ptr<QMimeData> data = std::move(m_data);
    Result r;
    r.started = true;
    r.releasePos = global;
    // The grab and the cursor end before the drop, which may open a dialog.
    m_target = nullptr;
    Finish({}, false);
    if (target && effect != DROPEFFECT_NONE) {
        r.effect = target->Customizer().DropTarget().OnDropEx(data.get(), effect,
                                                              target->mapFromGlobal(global));
        r.dropFailed = r.effect == DROPEFFECT_NONE;
    } else {
        if (target)
            target->Customizer().DropTarget().OnDragLeave();
        r.deleted = outside || effect == DROPEFFECT_NONE;
    }
    Complete(r);
}

void CKVTButtonDragController::Cancel()
{
    if (m_state == Idle)
        return;
    if (CKVTToolBar* t = m_target)
        t->Customizer().DropTarget().OnDragLeave();
    m_target = nullptr;
    m_escape = true;
    Result r;
    r.started = m_started;
    r.escape = true;
    r.releasePos = m_last;
    Finish(r);
}

void CKVTButtonDragController::Finish(Result result, bool complete)
{
    if (m_source) {
        disconnect(m_source, &QObject::destroyed, this, nullptr);
        if (QWidget::mouseGrabber() == m_source)
            m_source->releaseMouse();
        if (QWidget::keyboardGrabber() == m_source)
            m_source->releaseKeyboard();
    }
    if (m_cursorSet) {
        QGuiApplication::restoreOverrideCursor();
        m_cursorSet = false;
        m_cursor = 0;
    }
    qApp->removeEventFilter(this);
    m_state = Idle;
    m_target = nullptr;
    m_source = nullptr;
    if (complete) {
        m_data.reset();
        Complete(result);
    }
}

void CKVTButtonDragController::Complete(const Result& result)
{
    Completion done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(result);
}
