#pragma once
// The menu bar: a toolbar whose buttons are the top-level items of the
// frame's current menu.  It follows the MDI menus (each document type may
// have its own shared menu), shows the maximised document window's icon and
// caption buttons, opens the submenus as library popups, supports keyboard
// navigation and mnemonics and keeps a customised list per menu.

#include "platform/ui/Menu.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTToolBar.h"

#include <QPointer>
#include <QTimer>

class QKeyEvent;
class QMdiSubWindow;
namespace ui {
class Menu;
}

class CKVTMenuBar : public CKVTToolBar
{
    Q_OBJECT
public:
    explicit CKVTMenuBar(QWidget* parent = nullptr);
    ~CKVTMenuBar() override;

    const char* ArchiveClassName() const override { return "CKVTMenuBar"; }
    // Creates the bar in the frame (control style 0x800, borders 1).
    bool Create(QWidget* frame, uint32_t style, uint32_t id) override;
    // The frame's menu resource id (state keys, RestoreOriginalState).
    void SetMenuResourceId(uint32_t id) { m_menuResourceId = id; }

    // Builds the buttons for a menu (kept, not owned); the current list goes
    // into the cache first, and a cached list of the new menu is taken.
    virtual void CreateFromMenu(ui::Menu* menu, bool isDefault);
    ui::Menu* GetCurrentMenu() const { return m_menu; }
    // Builds the buttons of menu again from the menu itself: its cached
    // list is dropped, and the list shown now is not cached first.
    void RebuildFromMenu(ui::Menu* menu, bool isDefault)
    {
        m_menu = nullptr;
        CKVTMenuButtonCache::Instance().Drop(menu ? menu->Serial() : 0);
        CreateFromMenu(menu, isDefault);
    }
    ui::Menu* GetDefaultMenu() const { return m_defaultMenu; }
    // Shows (or hides) the maximised child's system-menu and caption buttons.
    void SetMaximizeMode(bool maximized, QMdiSubWindow* child = nullptr);
    bool IsMaximizeMode() const { return m_maximizeMode; }
    int CaptionButtonCount() const { return m_captionButtons; }

    bool LoadState(const QString& profile, int index = -1,
                   uint32_t resourceId = 0xFFFFFFFF) override;
    bool SaveState(const QString& profile, int index = -1,
                   uint32_t resourceId = 0xFFFFFFFF) override;
    bool RestoreOriginalState() override;
    bool CanBeClosed() const override { return false; }
    bool CanBeRestored() const override { return true; }
    bool AllowChangeTextLabels() const override { return false; }
    bool DropDownPrevMenu() override;
    bool DropDownNextMenu() override;
    bool SetDefaultButtonText(CKVTToolbarButton* button) override;
    void SetHotButton(int index) override;
    QSize CalcLayout(uint32_t mode, int length = -1) override;
    bool OnSendCommand(CKVTToolbarButton* button) override;
    void OnCustomizeMode(bool on) override;
    bool OnToolHitTest(QPoint point, QString& text, QRect& rect) override;
    void AdjustLayout() override;
    void RepositionButtons() override;
    // The toolbar's drop place kept within the menu part: never before the
    // system-menu button, never among the caption buttons.
    int FindDropIndex(const QPoint& point, QRect& marker) override;

    // Alt+letter: opens the item with that mnemonic or runs its command; FALSE: none.
    bool OnMenuChar(QChar c);
    // Keyboard mode: the bar takes the focus with the first item hot.
    void EnterKeyboardMode();
    // Ends the keyboard mode when the bar is in it (RestoreFocus).
    void EndKeyboardMode();
    // No hot item, the idle text, and the focus back where it was when the
    // keyboard mode began, unless it moved on to another widget of the
    // frame's window; the bar takes the focus no more.
    void RestoreFocus() override;
    // Whether the keyboard mode takes this key before the accelerators of
    // the active window: Enter, Escape and the arrows, and the letters of
    // the items, while the bar has the focus and none of its popups is open.
    bool TakesKey(const QKeyEvent& e) const;
    // Opens the hot item's popup (keyboard: its first item selected).
    bool OpenHot(bool byKeyboard);
    // The 5-second rest on an open item (timer 1); tests fire it directly.
    void OnExpandTimer();
    QTimer& ExpandTimer() { return m_expandTimer; }
    // The items without the system-menu and caption buttons: first and count.
    int FirstItem() const;
    int ItemEnd() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    bool OpenItem(int index, bool byKeyboard);
    void RemoveChildButtons();
    void AddChildButtons();
    ui::Menu* m_menu = nullptr;
    ui::Menu* m_defaultMenu = nullptr;
    bool m_maximizeMode = false;
    QPointer<QMdiSubWindow> m_child;
    uint32_t m_menuResourceId = 0;
    int m_captionButtons = 0;
    bool m_saveTemplateMenus = true;
    QTimer m_expandTimer;
    QPointer<QWidget> m_focusBack;
};
