#pragma once
// The mouse page "Myš" (dialogs/16135.ui): the registered views (16510),
// per view no double-click action (radio 16511) or one command (radio
// 16512, command list 16513, description 16514).  Changes reach the mouse
// manager at once.

#include "platform/ui/Dialog.h"

class CKVTCommandCategories;
class QLabel;
class QListWidget;
class QRadioButton;

class CKVTMousePage : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int {
        IDD = 16135,
        IDC_VIEWS = 16510,
        IDC_NO_ACTION = 16511,
        IDC_COMMAND = 16512,
        IDC_COMMANDS = 16513,
        IDC_DESCRIPTION = 16514,
    };
    // categories: the sheet's (not owned, outlives the page).
    explicit CKVTMousePage(const CKVTCommandCategories* categories);
    ~CKVTMousePage() override;

    bool OnInitDialog() override;
    // The view whose binding is shown; -1 while none.
    int CurrentViewId() const { return m_viewId; }

    void OnViewChanged();
    void OnNoActionClicked();
    void OnCommandClicked();
    void OnCommandChosen();

private:
    void ShowCommand(bool enabled, uint32_t command);

    const CKVTCommandCategories* m_categories;
    int m_viewId = -1;
    bool m_updating = false;
    QListWidget* m_views = nullptr;
    QRadioButton* m_noAction = nullptr;
    QRadioButton* m_command = nullptr;
    QListWidget* m_commands = nullptr;
    QLabel* m_description = nullptr;
};
