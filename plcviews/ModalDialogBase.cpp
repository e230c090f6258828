#include "plcviews/ModalDialogBase.h"

#include "platform/ui/Modal.h"

#include <QApplication>
#include <QMetaObject>

CModalDialogBase::CModalDialogBase(uint32_t templateId, QWidget* parent) : ui::Dialog(templateId, parent) {}

CModalDialogBase::~CModalDialogBase() = default;

int CModalDialogBase::BeginModal()
{
    if (!IsLoaded())
        return -1;
    ++m_serial;
    m_ended = false;
    m_result = -1;
    // The owner: the parent's window, else the window active now.  The
    // application-modal run blocks its input; EndModal activates it again.
    m_owner = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (m_owner == this)
        m_owner = nullptr;
    m_modal = ui::Dialog::BeginModal() == 1;
    if (!m_modal) {
        hide();
        m_owner = nullptr;
        return 0;
    }
    return 1;
}

void CModalDialogBase::RunModal()
{
    if (!m_modal || m_ended || !isVisible())
        return;
    ui::Dialog::RunModal();
}

int CModalDialogBase::EndModal()
{
    if (!m_modal)
        return m_result;
    m_modal = false;
    const bool wasActive = QApplication::activeWindow() == this;
    hide();
    if (m_owner && wasActive)
        m_owner->activateWindow();
    m_owner = nullptr;
    return m_result;
}

void CModalDialogBase::EndDialog(int result)
{
    if (m_ended)
        return;
    m_result = result;
    m_ended = true;
    OnModalEnd();
    // QDialog's own end (its finished signal ends the loop).
    QDialog::done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void CModalDialogBase::done(int r)
{
    if (m_ended)
        return;
    EndDialog(r == QDialog::Accepted ? IDOK : IDCANCEL);
}

void CModalDialogBase::PostCommand(int id)
{
    const uint32_t serial = m_serial;
    QMetaObject::invokeMethod(
        this,
        [this, id, serial] {
            if (serial != m_serial || !InModalState())
                return;
            if (id == IDOK)
                OnOK();
            else if (id == IDCANCEL)
                OnCancel();
            else
                OnCommand(id);
        },
        Qt::QueuedConnection);
}

void CModalDialogBase::OnCommand(int) {}
