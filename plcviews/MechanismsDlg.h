#pragma once
// The mechanisms window "Mechanismy" (dialog 2000): every mechanism of the
// project's listing with its state while the project debugs; the selected
// ones are watched or unwatched, started or stopped, their states read, the
// watch period set, and the source of one shown.  See docs/plcviews.md.

#include "plcviews/ModalDialogBase.h"
#include "res/CommandIds.h"

#include <cstdint>
#include <memory>
#include <vector>

class CStrandworkDoc;
class QTableWidget;
struct LinkResultRecord;
namespace compout {
struct ListingMechanism;
}
namespace linkui {
class LinkWindow;
}

class CMechanismsDlg : public CModalDialogBase
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 2000;
    enum Control {
        IDC_LIST = 2000,
        IDC_WATCH = 2001,
        IDC_UNWATCH = 2002,
        IDC_REFRESH = 2003,
        IDC_GOTO = 2004,
        IDC_SETPERIOD = 2005,
        IDC_START = 2006,
        IDC_STOP = 2007,
        IDC_PERIOD = 2251,
        IDC_HELP = ID_HELP,
    };

    // One row: the listing's mechanism and the state of the last refresh.
    struct Row
    {
        compout::ListingMechanism* mech = nullptr;
        bool refreshed = false;  // a refresh reply gave its state
        bool running = false;
        uint32_t index = 0;
    };

    explicit CMechanismsDlg(QWidget* parent = nullptr);
    ~CMechanismsDlg() override;

    // Shows the window over the project's mechanisms and runs it until it
    // is closed; the modal result, or 0 without a project or when it could
    // not begin.
    int Run(CStrandworkDoc* doc);
    virtual void InitContents();

    void OnWatchSelected();
    void OnUnwatchSelected();
    void OnRefresh();
    void OnGoTo();
    void OnSetPeriod();
    void OnStartWatch() { SetSelected(true); }
    void OnStopWatch() { SetSelected(false); }
    void OnHelp();

    // The state a row shows: the pushed one when the link holds it, else
    // the one of the last refresh; false when neither is known.
    bool RowState(int row, bool& running, uint32_t& index);
    // The texts of a row (columns 0 and 1).
    QString RowText(int row, int column);
    const std::vector<Row>& Rows() const { return m_rows; }
    // Enables the buttons that have something to act on (after every change
    // of the rows or the selection).
    void UpdateButtons();
    QTableWidget* List() const;
    // Selects rows (tests and the review program).
    void SelectRows(const std::vector<int>& rows);
    uint32_t LinkHandle() const;
    size_t RefreshBlocks() const { return m_blocks.size(); }

private:
    intptr_t OnMessage(uint32_t msg, intptr_t lParam);
    void OnLinkResult(const LinkResultRecord& r);
    void UpdateRows();
    std::vector<int> SelectedRows() const;
    void SetSelected(bool run);
    // Sets the period and commits the mechanism list; false when refused.
    void FinishWatchChange(bool refused);
    bool SendPeriodAndCommit();
    void Error(const QString& text);
    // The states refresh replies gave for these rows (all rows when empty)
    // are no longer shown.
    void ForgetRefreshedStates(const std::vector<int>& rows);

    CStrandworkDoc* m_doc = nullptr;
    std::unique_ptr<linkui::LinkWindow> m_link;
    std::vector<Row> m_rows;
    // Per refresh block, the rows it asked for.
    std::vector<std::vector<int>> m_blocks;
    bool m_registered = false;
};
