#pragma once
// The file manager "Správce souborů" (template 11011): two file panes side
// by side with a draggable divider and four commands on the active pane's
// selection: copy and move to the other pane's folder, delete, and create
// a folder, run in the file-operation dialog.  See docs/link-windows.md.

#include "link/ui/FileManagerLayout.h"
#include "platform/ui/Dialog.h"

#include <QWidget>

#include <optional>
#include <string>

class IOxfrC;
class QRubberBand;

namespace linkui {

class CFilePanelDlg;

// What the divider asks of its owner.
class IFileManagerSplitterOwner
{
public:
    virtual void GetLimits(int& left, int& right) = 0;
    virtual void MoveSplitter(int offset) = 0;

protected:
    ~IFileManagerSplitterOwner() = default;
};

class CFileManagerSplitter : public QWidget
{
    Q_OBJECT
public:
    explicit CFileManagerSplitter(QWidget* parent = nullptr);
    void SetOwner(IFileManagerSplitterOwner* owner) { m_owner = owner; }
    bool Dragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    IFileManagerSplitterOwner* m_owner = nullptr;
    bool m_dragging = false;
    int m_start = 0, m_offset = 0, m_maxLeft = 0, m_maxRight = 0;
    QRect m_frame;
    QRubberBand* m_band = nullptr;
};

class CFileManagerDlg : public ui::Dialog, public IFileManagerSplitterOwner
{
    Q_OBJECT
public:
    enum : int { IDD = 11011, ID_COPY = 11075, ID_MOVE = 11076, ID_DELETE = 11077, ID_CREATEDIR = 11078,
                 IDC_TOOLBAR = 11072, IDC_SPLITTER = 11071 };

    explicit CFileManagerDlg(QWidget* parent = nullptr);
    CFileManagerDlg(IOxfrC* link, QWidget* parent = nullptr);
    ~CFileManagerDlg() override;

    // Modeless: stores the link and the start folders (null left: the home
    // folder; null right: "\"), creates the panes and shows the window.
    virtual bool Create(IOxfrC* link, const char16_t* left, const char16_t* right, QWidget* parent);
    virtual void RecalcLayout();
    // Widens the dialog once so that both panes show all their columns.
    void FitColumnsAtDefaultSize();
    void RefreshPanels();

    bool OnInitDialog() override;
    void GetLimits(int& left, int& right) override;
    void MoveSplitter(int offset) override;

    void OnCopy();
    void OnMove();
    void OnDelete();
    void OnCreateDir();

    CFilePanelDlg* Left() const { return m_left; }
    CFilePanelDlg* Right() const { return m_right; }
    CFileManagerSplitter* Splitter() const { return m_splitter; }
    double Ratio() const { return m_ratio; }
    bool ActiveLeft() const { return m_activeLeft; }
    void SetActivePane(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Transfer(int op);
    CFilePanelDlg* Active() const;
    CFilePanelDlg* Other() const;

    IOxfrC* m_link = nullptr;
    std::u16string m_leftStart, m_rightStart;
    bool m_haveStarts = false;
    double m_ratio = 0.5;
    bool m_activeLeft = true;
    CFilePanelDlg* m_left = nullptr;
    CFilePanelDlg* m_right = nullptr;
    CFileManagerSplitter* m_splitter = nullptr;
    QWidget* m_toolbar = nullptr;
    QWidget* m_client = nullptr;
};

// The start folder of the left pane when none is given: the home folder.
std::u16string HomeFolder();

} // namespace linkui
