#pragma once
// One pane of the file manager (template 11005): the contents of a local
// folder or of a folder on the control system, with a location combo,
// navigation and view buttons, the current path, the list in a details
// and a list view, a progress bar for remote listings and a summary of the
// selection.  Enter and Escape never close it.  See docs/link-windows.md.

#include "link/ui/FileListModel.h"

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QItemSelectionModel;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QToolButton;
class QTreeView;
class QAbstractItemView;

namespace linkui {

class CFilePanelDlg : public QWidget
{
    Q_OBJECT
public:
    CFilePanelDlg();
    ~CFilePanelDlg() override;

    // Creates the pane as a child of parent, fills the location combo and
    // lists the start folder.
    virtual bool Create(IOxfrC* link, std::u16string_view path, std::u16string_view mask, QWidget* parent);

    // Lists the current folder again; asked while a listing runs, it runs
    // as soon as that listing ends.
    void Refresh();
    void SetActive(bool active);
    bool IsActive() const { return m_active; }
    const std::u16string& GetPath() const { return m_path; }
    const std::u16string& GetMask() const { return m_mask; }
    void SetPath(std::u16string_view path);
    void SetMask(std::u16string_view mask);
    std::vector<FileListRecord> SelectedRecords() const;
    void ClearSelection();
    bool IsBusy() const { return m_busy; }
    int ControlId() const { return m_id; }
    void SetControlId(int id) { m_id = id; }
    // Enters an entry ("..", a folder name) and lists again; ignored while busy.
    void Enter(std::u16string_view name);
    void SetDetails(bool details);

    // The width of the date column for the longest date in the view's font.
    static int DateColumnWidth(const QTreeView& view);
    // The pane's width that shows every column of the details list whole
    // (with room for a vertical scroll bar).
    int DetailsWidthNeeded() const;

    FileListModel* Model() const { return m_model; }
    QTreeView* Details() const { return m_details; }
    QListView* ListView() const { return m_list; }
    QComboBox* Locations() const { return m_locations; }
    QLineEdit* PathEdit() const { return m_pathEdit; }
    QProgressBar* Bar() const { return m_bar; }
    QLabel* Info() const { return m_info; }
    const SortOrder& Order() const { return m_order; }
    // The user-interface thread's time for the last remote answer: reading
    // the listing file, filling the list and sorting it (nanoseconds).
    qint64 LastAnswerNs() const { return m_lastAnswerNs; }

signals:
    // A control of the pane got the focus or was used (the pane's id).
    void focusNotified(int id);
    // A listing ended (for tests and the manager).
    void listed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillLocations();
    void ListLocal();
    void ListRemote();
    void OnRemoteFinished();
    void Finish();
    void UpdateSummary();
    void OnActivated(const QModelIndex& index);
    void HeaderClicked(int column);

    RemoteListing* m_listing = nullptr;
    FileListModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    int m_id = 0;
    bool m_active = false;
    bool m_busy = false;
    bool m_pending = false;
    std::u16string m_path, m_mask = u"*.*";
    SortOrder m_order;
    qint64 m_lastAnswerNs = 0;

    QComboBox* m_locations = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_refresh = nullptr;
    QToolButton* m_listButton = nullptr;
    QToolButton* m_detailsButton = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    QProgressBar* m_bar = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_list = nullptr;
    QLabel* m_info = nullptr;
};

// The location entries of this system for a start path: "Systém (\)",
// the home folder, "/", then the mounted volumes; selected: the longest
// path that begins the start path.
struct LocationEntry
{
    QString text;
    std::u16string path;
};
std::vector<LocationEntry> LocationEntries(int* selected, std::u16string_view startPath);

} // namespace linkui
