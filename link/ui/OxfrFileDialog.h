#pragma once
// The remote open and save dialog (template 1547): lists a folder of the
// control system through the link's transfer client, lets the user move
// through folders, filter by pattern and pick or type a name, and gives
// the chosen remote path in its record, as the common file dialog does.
// See docs/link-windows.md.

#include "link/ui/FileListModel.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListView;
class QProgressBar;
class QToolButton;
class QTreeView;

namespace linkui {

// The caller's record, with the meaning of the common dialog's.
struct OxfrOpenFileName
{
    uint32_t Flags = 0;
    std::u16string file;      // in: the initial text; out: folder + name
    std::u16string fileTitle; // out: the name alone
    std::u16string title;     // the caption when not empty
    std::u16string defaultExtension;
    std::vector<FilterEntry> filter;
};

class COxfrFileDialog : public ui::Dialog
{
    Q_OBJECT
public:
    enum : int { IDD = 1547, IDC_FOLDER = 1137, IDC_NAME = 1152, IDC_FILTER = 1136, IDC_READONLY = 1040,
                 IDC_HELP = 1038 };

    COxfrFileDialog(IOxfrC* link, bool open, const char16_t* defaultExtension, const char16_t* fileName,
                    uint32_t flags, const char16_t* filter, QWidget* parent = nullptr);
    ~COxfrFileDialog() override;

    OxfrOpenFileName m_ofn;

    std::u16string GetPathName() const { return m_ofn.file; }
    std::u16string GetFileName() const { return m_ofn.fileTitle; }
    uint32_t HelpId() const { return m_open ? 28676 : 28677; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    const std::u16string& Folder() const { return m_folder; }
    const std::u16string& Mask() const { return m_mask; }
    bool IsBusy() const { return m_listing->Busy(); }
    uint32_t Job() const { return m_listing->Job(); }
    FileListModel* Model() const { return m_model; }
    QTreeView* Details() const { return m_details; }
    void Enter(std::u16string_view name);
    void List();

signals:
    void listed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnFinished();
    void OnSelection();
    void OnDoubleClick(const QModelIndex& index);
    void SetDetails(bool details);

    bool m_open;
    RemoteListing* m_listing;
    FileListModel* m_model;
    SortOrder m_order;
    std::u16string m_folder = u"\\", m_mask = u"*.*";
    bool m_pending = false;

    QComboBox* m_folderCombo = nullptr;
    QComboBox* m_filterCombo = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_readOnly = nullptr;
    QProgressBar* m_bar = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_list = nullptr;
    QToolButton* m_listButton = nullptr;
    QToolButton* m_detailsButton = nullptr;
};

} // namespace linkui
