#pragma once
// The popup menus of the library: CKVTPopupMenu, a top-level window that
// holds a CKVTPopupMenuBar (a vertical toolbar in menu mode whose buttons
// are the menu items).  Submenus of the menu bar, their cascades and the
// context menus all show as these.

#include "uilib/KVTToolBar.h"
#include "uilib/KVTPopupCore.h"

#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class CKVTPopupMenu;
class CKVTToolbarMenuButton;
namespace ui {
class Menu;
}

class CKVTPopupMenuBar : public CKVTToolBar
{
    Q_OBJECT
public:
    explicit CKVTPopupMenuBar(QWidget* parent = nullptr);
    ~CKVTPopupMenuBar() override;

    const char* ArchiveClassName() const override { return "CKVTPopupMenuBar"; }
    bool IsPopupMenuBar() const override { return true; }
    // A popup's bar is no bar of its frame (no id, no place in the frame's list).
    bool RegistersWithFrame() const override { return false; }
    // Customisation mode, except in a popup of the library's own commands.
    bool Customizing() const;
    bool InCustomizeMode() const override { return Customizing(); }

    // Builds the buttons from a menu (the Part's steps 1 and 3): all items,
    // or without the rarely used commands.  Runs no update handlers.
    bool CreateFromMenu(const ui::Menu* menu, bool allItems = true);
    bool AllItemsShown() const { return m_allShown; }
    // The popup that holds the bar (null for a temporary bar).
    CKVTPopupMenu* GetPopup() const;

    // The keyboard's highlight: as SetHotButton, but a submenu item opens
    // nothing until Right or Enter (the mouse's waits for the menu delay).
    void SelectItem(int index);
    // Item navigation by keyboard: over the non-separator items, wrapping.
    void MoveHot(int direction); // -1 up, +1 down
    void HotFirst();
    void HotLast();
    // Runs the hot item (or opens its submenu); FALSE when nothing happened.
    bool RunHot(bool byKeyboard);
    // A key the popup offers outside customisation mode: the item of its
    // mnemonic runs (or opens its submenu); FALSE when no item has it.
    bool OnMenuKey(int key);

    int GetFirstVisible() const { return m_first; }
    void SetFirstVisible(int index);
    bool CanScrollUp() const { return m_first > 0; }
    bool CanScrollDown() const { return m_hiddenBelow; }
    // The natural size of the items (columns).
    QSize CalcPopupSize();

    void SetHotButton(int index) override;
    void RepositionButtons() override;
    bool OnSendCommand(CKVTToolbarButton* button) override;
    void DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz) override;
    bool SetDefaultButtonText(CKVTToolbarButton* button) override;
    void OnFillBackground(QPainter& p) override;
    void AdjustLayout() override;
    void OnUpdateCmdUI() override;
    void SetButtonStyle(int index, uint32_t style) override;
    // Drops: the vertical rule over the items, a marker across the popup,
    // and every dropped button becomes a menu item.
    int OnDragOver(const QMimeData* data, int keyState, const QPoint& point) override;
    int FindDropIndex(const QPoint& point, QRect& marker) override;
    void DrawDragMarker(QPainter& p) override;
    std::unique_ptr<CKVTToolbarButton> CreateDroppedButton(const QMimeData* data) override;

    // The delayed submenu (timer 1 of the bar).
    void StartSubmenuTimer(CKVTToolbarMenuButton* button);
    void FireSubmenuTimer();
    bool m_locked = false;
    std::map<QChar, uint32_t> m_hiddenMnemonics;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool event(QEvent* e) override;

private:
    void MakeHot(int index, bool byMouse);
    int m_first = 0;
    bool m_hiddenBelow = false;
    bool m_allShown = true;
    QTimer m_submenuTimer;
    CKVTToolbarMenuButton* m_waiting = nullptr;
    int m_clientHeight = -1;
    friend class CKVTPopupMenu;
};

class CKVTPopupMenu : public QWidget
{
    Q_OBJECT
public:
    CKVTPopupMenu();
    // A popup that a page of the customisation sheet opens to edit a
    // context menu: a captioned tool window titled with the menu's name.
    CKVTPopupMenu(QWidget* editPage, const QString& name);
    ~CKVTPopupMenu() override;

    CKVTPopupMenuBar* GetMenuBar() const { return m_bar; }
    // Creates and shows the popup at (x, y) (-1, -1: the owner's client
    // top-left + (5, 5)); FALSE when it cannot (an empty menu, the frame's
    // pre-show step refusing).  While the destroy-menu flag is set the
    // popup owns the menu.
    virtual bool Create(QWidget* owner, int x, int y, ui::Menu* menu, bool locked = false);

    void SetParentButton(CKVTToolbarMenuButton* button) { m_parentButton = button; }
    CKVTToolbarMenuButton* GetParentButton() const { return m_parentButton; }
    ui::Menu* GetMenu() const { return m_menu; }
    QWidget* GetOwner() const { return m_owner; }
    void SetDestroyMenu(bool on) { m_destroyMenu = on; }
    // A menu of the library's own (the toolbar list): the chosen command
    // goes to handler instead of the command route, and the items keep the
    // states the menu gives them (no update handler runs).
    void SetCommandHandler(std::function<void(uint32_t)> handler) { m_handler = std::move(handler); }
    bool HasCommandHandler() const { return bool(m_handler); }
    // Customisation mode for this popup: never in a popup with a command
    // handler (it works as a menu then, also in customisation mode).
    bool Customizing() const;
    bool GetDestroyMenu() const { return m_destroyMenu; }
    bool IsDropRight() const { return m_dropRight; }
    bool IsDropDown() const { return m_dropDown; }
    bool IsAnimationFinished() const { return m_animDone; }
    bool HasBeenPainted() const { return m_painted; }
    bool IsClosing() const { return m_closing; }
    QRect UpScrollArea() const { return m_upArea; }
    QRect DownScrollArea() const { return m_downArea; }
    QWidget* EditPage() const { return m_editPage; }

    // The parent popup (the popup of the parent button's bar), or null.
    CKVTPopupMenu* GetParentPopup() const;
    // The bar that opened the chain: the outermost popup's parent button's bar.
    CKVTToolBar* GetChainOrigin() const;
    // The innermost popup open above this one (its hot item's), or null.
    CKVTPopupMenu* GetChildPopup() const;

    // Closes this level only, or the whole chain upwards (closing flag).
    void CloseLevel();
    void CloseChain();
    // Shows all items (the show-all button, Ctrl+Down, the 5-second rest).
    void ShowAllCommands();
    // Chooses a command: message text, the chain closes, counted, posted.
    void ChooseCommand(uint32_t id);
    // The animation step (timer 1).
    void AnimationTick();
    // Re-lays the window out for the bar's size.
    void RecalcLayout();

    // Process-wide: all items are shown (the show-all flag).
    static bool IsShowAll() { return s_showAll; }
    static void SetShowAll(bool on) { s_showAll = on; }
    // The innermost open popup (null when none).
    static CKVTPopupMenu* ActivePopup();

    static constexpr int FrameWidth = 2;
    static constexpr int ShadowDepth = 4;
    // The window of a popup whose frame has the given size, with its
    // shadow: the frame, the band right of it and the band below it, each
    // ShadowDepth wide and moved ShadowDepth along.
    static QRegion ShadowedRegion(QSize frame);
    static constexpr int ScrollAreaHeight = 13;

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void Init();
    void BuildBar();
    void Place();
    bool ForwardMouse(QMouseEvent* e, bool press);
    void OnClosed(bool destroying = false);

    CKVTPopupMenuBar* m_bar = nullptr;
    CKVTToolbarMenuButton* m_parentButton = nullptr;
    QPointer<QWidget> m_owner;
    ui::Menu* m_menu = nullptr;
    std::unique_ptr<ui::Menu> m_ownedMenu;
    QPoint m_pos;
    QRect m_final;
    int m_animStep = 0;
    int m_animTimer = 0;
    int m_scrollTimer = 0;
    int m_scrollDir = 0;
    bool m_dropRight = true, m_dropDown = true;
    bool m_animDone = true;
    bool m_painted = false;
    bool m_closing = false;
    bool m_closedDone = false;
    bool m_destroyMenu = true;
    bool m_shadow = false;
    bool m_scroll = false;
    QRect m_upArea, m_downArea;
    QPointer<QWidget> m_editPage;
    QString m_name;
    std::function<void(uint32_t)> m_handler;
    static bool s_showAll;
};
