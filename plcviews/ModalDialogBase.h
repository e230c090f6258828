#pragma once
// A dialog whose modal run is split into three steps, so that a request
// can be sent between the moment the dialog exists and the moment its
// modal loop runs: BeginModal shows it application-modal, RunModal runs the
// nested loop until the dialog ends, EndModal hides it, gives the owner its
// activation back and returns the modal result.  The PLC command dialog,
// the variable window and the mechanisms window run on it.

#include "platform/ui/Dialog.h"

#include <QPointer>

#include <cstdint>

class CModalDialogBase : public ui::Dialog
{
    Q_OBJECT
public:
    // Modal results.
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    CModalDialogBase(uint32_t templateId, QWidget* parent = nullptr);
    ~CModalDialogBase() override;

    // 1: the dialog is shown and owns the input; 0: it could not be shown;
    // -1: its template was not found.
    virtual int BeginModal();
    // Runs the modal loop until the dialog ends; returns at once when it
    // already has ended or was never begun.
    virtual void RunModal();
    // Hides the dialog and gives the modal result: IDOK, IDCANCEL, the
    // value given to EndDialog, or -1 when the dialog never ended.
    virtual int EndModal();

    // True between a successful BeginModal and the end of the dialog.
    bool InModalState() const { return m_modal && !m_ended; }
    // Ends the modal run with a result (IDOK, IDCANCEL or another value).
    void EndDialog(int result);
    // Posts a command to the dialog itself: it arrives through the event
    // queue (never inside the caller) and only while the same run lasts.
    // IDOK and IDCANCEL run OnOK and OnCancel.
    void PostCommand(int id);

    void done(int r) override;

protected:
    // A posted command other than IDOK and IDCANCEL.
    virtual void OnCommand(int id);
    // Called when the run ends, before the loop returns.
    virtual void OnModalEnd() {}
    // Counts the modal runs (a posted command belongs to one).
    uint32_t RunSerial() const { return m_serial; }

private:
    QPointer<QWidget> m_owner;
    bool m_modal = false;
    bool m_ended = false;
    int m_result = -1;
    uint32_t m_serial = 0;
};
