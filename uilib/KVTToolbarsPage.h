#pragma once
// The customisation sheet's page "Panely nástrojů": every toolbar of the
// frame with a check for its visibility, reset, reset all, text labels and,
// with user-defined toolbars, new, rename and delete.  Works on the live
// toolbars.

#include "platform/ui/Dialog.h"

#include <QListWidget>

#include <vector>

class CKVTFrameBase;
class CKVTToolBar;
class QCheckBox;
class QPushButton;

// A list of checkable items, each with a flag that allows its check to
// change; a vetoed change beeps and leaves the check.
class CKVTToolbarCheckList : public QListWidget
{
    Q_OBJECT
public:
    explicit CKVTToolbarCheckList(QWidget* parent = nullptr);
    int AddItem(const QString& text, bool checked, bool allowed);
    int InsertItem(int index, const QString& text, bool checked, bool allowed);
    void RemoveItem(int index);
    void ResetContent();
    void EnableCheck(int index, bool allowed);
    bool IsCheckAllowed(int index) const;
    bool GetCheck(int index) const;
    // Sets the check without a checkChanged signal.
    void SetCheck(int index, bool checked);

signals:
    // An allowed change of an item's check by the user.
    void checkChanged(int index);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void OnItemChanged(QListWidgetItem* item);
    std::vector<uint32_t> m_allowed;
};

// "Nový panel nástrojů" (dialog 16130): OK only while the name is not empty.
class CKVTToolbarNameDlg : public ui::Dialog
{
    Q_OBJECT
public:
    explicit CKVTToolbarNameDlg(const QString& name = {}, QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    QString m_name;

private:
    void UpdateOk();
};

class CKVTToolbarsPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    explicit CKVTToolbarsPage(CKVTFrameBase* frame);
    bool OnInitDialog() override;
    void EnableUserDefinedToolbars(bool enable) { m_userDefined = enable; }
    void CheckToolBarItem(CKVTToolBar* bar, bool show);

    void OnSelectionChanged();
    void OnCheckChanged(int index);
    void OnTextLabels();
    void OnReset();
    void OnResetAll();
    void OnNew();
    void OnRename();
    void OnDelete();

    CKVTToolbarCheckList* List() const { return m_list; }
    CKVTToolBar* BarAt(int index) const;
    int IndexOf(const CKVTToolBar* bar) const;
    CKVTToolBar* SelectedBar() const;

private:
    QString BarName(const CKVTToolBar* bar) const;
    bool IsShown(const CKVTToolBar* bar) const;
    int AddBar(CKVTToolBar* bar);

    CKVTFrameBase* m_frame;
    bool m_userDefined = false;
    CKVTToolbarCheckList* m_list = nullptr;
    QCheckBox* m_textLabels = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_resetAll = nullptr;
};
