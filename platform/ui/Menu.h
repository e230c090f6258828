#pragma once
// Menus as data: a tree of items loaded from a menu resource
// (res/menus/<id>.menu, format in docs/framework.md), and a plain adapter
// that shows a menu in a QMenuBar / QMenu driven by the command layer.

#include "platform/ui/Command.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QMenuBar;
class QPoint;
class QWidget;

namespace ui {

// Item flags (the values of the Windows menu flags).
enum MenuFlags : uint32_t {
    MF_ENABLED = 0x0000,
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    MF_MENUBARBREAK = 0x0020,
    MF_MENUBREAK = 0x0040,
    MF_SEPARATOR = 0x0800,
    MF_DEFAULT = 0x1000,
};

class Menu;

struct MenuItem
{
    uint32_t id = 0;  // command id; 0 for separators and popups
    QString text;     // "&Otevřít...\tCtrl+O"
    uint32_t flags = 0;
    std::unique_ptr<Menu> popup; // set with MF_POPUP
};

// A menu or popup menu.  Every menu object gets a serial number that is
// never reused during the run.
class Menu
{
public:
    Menu();
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Loads the menu resource "menus/<id>.menu"; null when it is missing or
    // malformed (error then says why).
    static std::unique_ptr<Menu> Load(uint32_t id, QString* error = nullptr);
    static std::unique_ptr<Menu> Parse(const QByteArray& text, QString* error = nullptr);
    std::unique_ptr<Menu> Clone() const;

    uint64_t Serial() const { return m_serial; }
    // Called with a menu's serial number when the menu is destroyed.
    static void AddDestroyObserver(std::function<void(uint64_t serial)> observer);
    int ItemCount() const { return int(m_items.size()); }
    const MenuItem* Item(int index) const;
    uint32_t ItemId(int index) const; // 0 for a bad index, separators and popups
    Menu* SubMenu(int index) const;
    int IndexOf(uint32_t id) const;   // -1 when not in this menu (not searched deeper)
    // Finds id in this menu and its popups.
    Menu* FindMenuOf(uint32_t id, int* index = nullptr);

    void AppendItem(uint32_t id, const QString& text, uint32_t flags = 0);
    void AppendSeparator();
    void AppendPopup(const QString& text, std::unique_ptr<Menu> popup, uint32_t flags = 0);
    // Inserts before index (at the end for index < 0 or past the end).
    void InsertItem(int index, uint32_t id, const QString& text, uint32_t flags = 0);
    bool RemoveItem(int index);
    bool SetItemText(int index, const QString& text);
    bool SetItemFlags(int index, uint32_t flags);
    bool EnableItem(int index, bool enable);
    bool CheckItem(int index, bool check);

private:
    uint64_t m_serial;
    std::vector<MenuItem> m_items;
};

// The text of an item without its shortcut part and "&" markers.
QString PlainMenuText(const QString& text);

// Shows a menu model in a QMenuBar.  Each popup runs the update handlers of
// its items through the command layer before it opens and then reflects the
// model; choosing an item sends its command.  The message pane of the main
// window shows the command's prompt while an item is highlighted.
class MenuBarAdapter : public QObject
{
    Q_OBJECT
public:
    MenuBarAdapter(QMenuBar* bar, QObject* parent = nullptr);
    void SetMenu(std::unique_ptr<Menu> menu);
    Menu* GetMenu() const { return m_menu.get(); }
    // Shows menu (not owned; a document template's shared menu) instead of
    // the own menu until it is set back to null.
    void SetSharedMenu(Menu* menu);
    // The menu shown: the shared one when set, else the own one.
    Menu* ShownMenu() const { return m_shared ? m_shared : m_menu.get(); }
    // Runs the update handlers of the popup's items and rebuilds it; what a
    // popup does just before it opens.
    void UpdatePopup(QMenu* qmenu);
    // The QMenu that shows model popup m (null when it is not shown).
    QMenu* QMenuOf(const Menu* m) const;

private:
    void Rebuild();
    void Fill(QMenu* qmenu, Menu* model);
    QMenuBar* m_bar;
    std::unique_ptr<Menu> m_menu;
    Menu* m_shared = nullptr;
};

// Shows menu (a popup's items; pass the popup of a context-menu resource)
// as a QMenu at screenPoint, after running the update handlers of its items
// along the route.  Returns the chosen command id, or 0 when the menu was
// closed without a choice; the caller sends the command.
uint32_t TrackPopupMenu(const Menu& menu, const QPoint& screenPoint, QWidget* owner);

// The prompt of a command for the message pane (the string-table text
// before "\n"); the application installs the source of these texts.
void SetCommandPromptSource(std::function<QString(uint32_t id)> source);
QString CommandPrompt(uint32_t id);

} // namespace ui
