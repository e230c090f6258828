#pragma once
// The customisation sheet's pages "Možnosti" (the library's global toolbar
// and menu options) and "Menu" (the frame's menus per document template
// and the context menus, edited in place, with menu animation and shadows).

#include "platform/ui/Dialog.h"
#include "uilib/KVTToolbarCustomize.h"

#include <QPoint>
#include <QPointer>

#include <memory>
#include <vector>

class CKVTMenuBar;
class CKVTPopupMenu;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
namespace ui {
class Menu;
}

class CKVTOptionsPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    CKVTOptionsPage(CKVTToolbarCustomize* sheet, bool frameHasMenuBar);
    bool OnInitDialog() override;
    void OnResetUsage();

private:
    void Write();
    CKVTToolbarCustomize* m_sheet;
    bool m_hasMenuBar;
    QCheckBox* m_look2000 = nullptr;
    QCheckBox* m_largeIcons = nullptr;
    QCheckBox* m_recent = nullptr;
    QCheckBox* m_fullAfterDelay = nullptr;
    QCheckBox* m_shortcuts = nullptr;
    QCheckBox* m_tooltips = nullptr;
};

class CKVTMenuPage : public ui::PropertyPage, public CKVTSheetLeaving
{
    Q_OBJECT
public:
    CKVTMenuPage(CKVTToolbarCustomize* sheet, bool autoFromMenus);
    ~CKVTMenuPage() override;
    bool OnInitDialog() override;
    void OnSheetClosing() override;

    void OnMenuForChanged();
    void OnContextMenuChanged();
    void OnResetMenu();
    void OnResetContextMenu();
    // The edited context menu closed by itself.
    void OnContextPopupClosed(CKVTPopupMenu* popup);

    CKVTPopupMenu* ContextPopup() const { return m_popup; }
    CKVTMenuBar* MenuBar() const { return m_menuBar; }
    QComboBox* MenuForCombo() const { return m_menuFor; }
    QComboBox* ContextCombo() const { return m_context; }
    QComboBox* AnimationCombo() const { return m_animation; }

    // Where the last edited context menu stood ((-1, -1): none yet).
    static QPoint& LastContextMenuPos();

private:
    void SaveShownMenu();
    void SaveAndCloseContextPopup();
    ui::Menu* MenuOfItem(int index, bool* isDefault = nullptr) const;

    CKVTToolbarCustomize* m_sheet;
    bool m_autoFromMenus;
    QPointer<CKVTMenuBar> m_menuBar;
    ui::Menu* m_original = nullptr;
    ui::Menu* m_shown = nullptr;
    QPointer<CKVTPopupMenu> m_popup;
    bool m_defaultChosen = false;
    bool m_left = false;
    std::vector<std::unique_ptr<ui::Menu>> m_retired;
    QComboBox* m_animation = nullptr;
    QCheckBox* m_shadows = nullptr;
    QComboBox* m_context = nullptr;
    QComboBox* m_menuFor = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_icon = nullptr;
    QPushButton* m_resetContext = nullptr;
    QPushButton* m_resetMenu = nullptr;
};
