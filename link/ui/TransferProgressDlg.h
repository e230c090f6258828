#pragma once
// The transfer progress dialog: for each file of a list it asks the
// control system for the information of the file's copy there, decides by
// the file's transfer type whether to send, fetch or leave it, and carries
// out the transfers (at most 5 information requests and 5 transfers in
// flight), showing one progress bar over all bytes and writing every step
// to the output window.

#include "link/linkobj/olnk_link.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Messages.h"

#include <QElapsedTimer>

#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QTimer;

namespace core {
class OutputSink;
}

namespace linkui {

struct XferFileItem
{
    std::u16string localPath;  // a native path
    // When not empty: a folder (native) that holds localPath, the project
    // folder; a fetch then writes below it through its descriptor and never
    // follows a symbolic link there (a link at the local name, or on its
    // way, is refused with its own line).
    std::u16string localBase;
    std::u16string remotePath; // a path on the control system
    int type = 0;              // 0 and 1 none, 2 newer, 3 different, 4 synchronise, 5 send, 6 fetch
    bool decided = false;
    bool transfer = false;
    bool send = false;         // the direction: true sends, false fetches
    uint32_t job = 0;
    uint32_t total = 0;
    uint32_t done = 0;
};

// 1, 0 or -1: year, month, day, hour and minute in this order; the
// two-second fields count as equal within 2 units.
int CompareDosDateTime(uint16_t date1, uint16_t time1, uint16_t date2, uint16_t time2);

// The local file as the decision sees it.
struct XferLocalInfo
{
    bool exists = false;
    bool regular = false;
    uint16_t date = 0, time = 0; // DOS stamps in local time
    uint32_t size = 0;
};
XferLocalInfo LocalInfoOf(const std::u16string& nativePath);

struct XferDecision
{
    bool transfer = false;
    bool send = false;
    bool error = false; // line IDS_FILE_INFO_FAILED
};
// The decision of one item of type 2, 3 or 4 from the control system's
// information (null: none) and the local file.
XferDecision DecideTransfer(int type, const FileListRecord* remote, const XferLocalInfo& local);

class CTransferProgressDlg : public ui::Dialog
{
    Q_OBJECT
public:
    CTransferProgressDlg(QWidget* parent, core::OutputSink* output);
    ~CTransferProgressDlg() override;

    // Runs the transfers of the items modally; true when every one
    // succeeded.  A count of 0 returns true at once.
    bool Setup(IOxfrC* link, XferFileItem* items, int count, const char* text = nullptr);

    void OnCancel() override;
    void OnOK() override {}

    // For tests: the transfers in flight now and the most seen at once.
    int TransfersRunning() const { return m_transfersRunning; }
    int MaxTransfersRunning() const { return m_maxTransfers; }
    ui::MessageHandle Target() const { return m_target; }

private:
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void OnResult(const LinkResultRecord& r);
    void StepA();
    void StepB();
    // Starts the fetch of one item (false when it cannot be started; link
    // true when a symbolic link below the item's base folder refused it).
    bool Fetch(XferFileItem& it, std::uintptr_t param, bool& link);
    void Decide(XferFileItem& item, const FileListRecord* remote);
    void CheckEnd();
    void Finish(bool ok);
    void Out(const QString& line);
    void UpdateBar();

    core::OutputSink* m_output;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QTimer* m_barTimer = nullptr;
    bool m_barDirty = false;

    IOxfrC* m_link = nullptr;
    IOlnkControl* m_control = nullptr;
    XferFileItem* m_items = nullptr;
    int m_count = 0;
    bool m_result = true;
    int m_nextAsk = 0, m_asking = 0;
    int m_nextTransfer = 0, m_transfersRunning = 0, m_maxTransfers = 0;
    int m_finished = 0;
    bool m_running = false;
    bool m_registered = false;
    ui::MessageHandle m_target = 0;
};

} // namespace linkui
