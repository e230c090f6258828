#pragma once
// The PLC command dialog (dialog 554): every command sent to the PLC
// interface of the control system runs through one of its routines.  The
// dialog shows a wait text or a progress bar while the link works; the
// link's result either closes it at once or is shown as text until the
// user presses OK.  One object may run several routines one after another.
// See docs/plcviews.md.

#include "plcviews/ModalDialogBase.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IOlnkPL;
struct LinkResultRecord;
struct PlcStatusRecord;
class QFontMetrics;

namespace linkui {
class LinkWindow;
}

class CPlcCommandDlg : public CModalDialogBase
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 554;
    enum Control { IDC_WAIT = 1129, IDC_RESULT = 1135, IDC_PROGRESS = 1138 };

    explicit CPlcCommandDlg(QWidget* parent = nullptr);
    ~CPlcCommandDlg() override;

    // Each routine returns 1 on success and 0 otherwise (see docs/plcviews.md).
    // The status is copied into out (may be null) when the command succeeded.
    int GetStatus(IOlnkPL* pl, PlcStatusRecord* out, int showResult);
    // record (may be null) receives u32 1 and the extended record, or u32 0
    // and the basic record, at most capacity bytes in all.
    int GetPLCInfo(IOlnkPL* pl, void* record, uint32_t capacity, int showResult);
    int TransferPLC(IOlnkPL* pl, uint32_t length, const void* data, int cancelThroughJob);
    int ClearPLC(IOlnkPL* pl);
    int SleepPLC(IOlnkPL* pl);
    int WakePLC(IOlnkPL* pl);
    int RunPLC(IOlnkPL* pl);
    int StopPLC(IOlnkPL* pl);
    int BreakPLC(IOlnkPL* pl);
    int StepPLC(IOlnkPL* pl);
    int BackupPLCData(IOlnkPL* pl, int kind);
    int ClearAllBreakpoints(IOlnkPL* pl);

    // The progress callback of a transfer (job thread): stores the count,
    // posts one update when none is pending, at most one each
    // kProgressPeriodMs besides the last count, and returns the cancel flag.
    static constexpr int kProgressPeriodMs = 20;
    static int OnTransferProgress(uint32_t job, std::uintptr_t context, uint32_t done, uint32_t total);

    void OnCancel() override;
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;

    // The window handle given with every request.
    uint32_t LinkHandle() const;
    // State for tests.
    const QString& WaitText() const { return m_waitText; }
    const QString& ResultText() const { return m_resultText; }
    bool Error() const { return m_error != 0; }
    bool TransferRunning() const { return m_transferRunning != 0; }
    bool ShowsResult() const { return m_showsResult; }
    // The latest run ended because no reply came within the link's job
    // time-out (the box closed without a result text).
    bool NoAnswer() const { return m_noAnswer; }
    // The latest run's request was refused at once: the link's error
    // (OLNK_LINK_E_SILENT while the control system is silent); 0 otherwise.
    uint32_t Refusal() const { return m_refusal; }
    // The latest run's command changes the control system and the link
    // ended it without its reply: the control system may have carried it
    // out (ResultText says so, also when the box closed without a text).
    bool FateUnknown() const { return m_fateUnknown; }
    std::uintptr_t RunningParameter() const { return m_param; }

    // The text as the controls show it: CR LF is one line break, a run of
    // tabs one tab.
    static QString DisplayText(const QString& text);
    // The tab stops that line the columns of a shown text up: one per
    // column, behind its widest cell.
    static std::vector<double> ColumnStops(const QString& text, const QFontMetrics& fm);

    struct TransferShared;

protected:
    // A dialog of another template (a language's own, or none in tests).
    CPlcCommandDlg(uint32_t templateId, QWidget* parent);
    void OnModalEnd() override;

private:
    // Resets every per-run member and loads the wait text.
    void StartRun(IOlnkPL* pl, int showResult, unsigned waitText);
    // BeginModal, the request, RunModal, EndModal: the modal result, or 0
    // when the dialog could not begin.
    int RunRequest(const std::function<int(uint32_t window, std::uintptr_t param)>& send);
    intptr_t OnMessage(uint32_t msg, intptr_t lParam);
    void OnLinkResult(const LinkResultRecord& r);
    void OnProgress();
    void ShowResultView();
    void EndTransfer();
    int Simple(IOlnkPL* pl, unsigned waitText, int (IOlnkPL::*op)(uint32_t, std::uintptr_t));
    int Finish(int modalResult) const { return modalResult == IDOK && !m_error ? 1 : 0; }

    std::unique_ptr<linkui::LinkWindow> m_link;
    IOlnkPL* m_pl = nullptr;
    int m_cancelThroughJob = 0;
    uint32_t m_job = 0;
    int m_transferRunning = 0;
    int m_showResult = 0;
    int m_error = 0;
    // The extended information request ended without a text: the basic one follows.
    bool m_fallback = false;
    bool m_noAnswer = false;
    uint32_t m_refusal = 0;
    bool m_fateUnknown = false;
    bool m_showsResult = false;
    QString m_waitText;
    QString m_resultText;
    uint32_t m_counter = 0;
    std::uintptr_t m_param = 0;  // the running routine's request parameter
    std::shared_ptr<TransferShared> m_transfer;
    std::uintptr_t m_transferKey = 0;
    int m_progressShift = 0;
};
