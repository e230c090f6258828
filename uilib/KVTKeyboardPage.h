#pragma once
// The keyboard page "Klávesnice" (dialogs/16136.ui): the keys of the
// commands in the frame's table or a document template's, edited live
// through the keyboard manager.  Controls: category combo 16501, command
// list 16521, description 16514, keys-for combo 16502 with its icon 16526,
// current keys 16524, shortcut edit 16525, assign 16522, remove 16523,
// reset all 16503, label 16528 and text 16527.

#include "platform/ui/Accel.h"
#include "platform/ui/Dialog.h"

#include <vector>

class CKVTCommandCategories;
class CKVTShortcutEdit;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
namespace ui {
class DocTemplate;
class MainFrameBase;
} // namespace ui

class CKVTKeyboardPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int {
        IDD = 16136,
        IDC_CATEGORY = 16501,
        IDC_KEYS_FOR = 16502,
        IDC_RESET_ALL = 16503,
        IDC_DESCRIPTION = 16514,
        IDC_COMMANDS = 16521,
        IDC_ASSIGN = 16522,
        IDC_REMOVE = 16523,
        IDC_CURRENT_KEYS = 16524,
        IDC_SHORTCUT = 16525,
        IDC_ICON = 16526,
        IDC_ASSIGNED_TO = 16527,
        IDC_ASSIGNED_LABEL = 16528,
    };
    // frame: the frame whose own table is edited; templates: also list the
    // document templates that have a table; categories: the sheet's (not
    // owned, outlives the page).
    CKVTKeyboardPage(ui::MainFrameBase* frame, bool templates, const CKVTCommandCategories* categories);
    ~CKVTKeyboardPage() override;

    bool OnInitDialog() override;

    // The working copy of the chosen table.
    const std::vector<ui::Accel>& WorkingArray() const { return m_accels; }
    // The template whose table is shown; null for the frame's.
    ui::DocTemplate* CurrentTemplate() const { return m_template; }

    // The steps of the page (public for the sheet and the tests).
    void OnCategoryChanged();
    void OnKeysForChanged();
    void OnCommandChanged();
    void OnCurrentKeyChanged();
    void OnShortcutUpdated();
    void OnAssign();
    void OnRemove();
    void OnResetAll();

private:
    uint32_t SelectedCommand() const;
    void Apply();

    ui::MainFrameBase* m_frame;
    bool m_templates;
    const CKVTCommandCategories* m_categories;
    std::vector<ui::DocTemplate*> m_keysFor; // combo item data: index here; -1 the frame
    std::vector<ui::Accel> m_accels;
    ui::DocTemplate* m_template = nullptr;
    bool m_haveTable = false;
    int m_selectedKey = -1; // index into m_accels

    QComboBox* m_category = nullptr;
    QListWidget* m_commands = nullptr;
    QLabel* m_description = nullptr;
    QComboBox* m_keysForCombo = nullptr;
    QLabel* m_icon = nullptr;
    QListWidget* m_currentKeys = nullptr;
    CKVTShortcutEdit* m_shortcut = nullptr;
    QPushButton* m_assign = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_resetAll = nullptr;
    QLabel* m_assignedLabel = nullptr;
    QLabel* m_assignedTo = nullptr;
};
