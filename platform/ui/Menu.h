#pragma once
// Menus as data: a tree of items loaded from a menu resource
// (res/menus/<id>.menu, format in docs/framework.md), the update pass of a
// menu's items and a plain QMenu for a popup menu.

#include "platform/ui/Command.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

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
    bool EnableItem(int index, bool enable);
    bool CheckItem(int index, bool check);

private:
    uint64_t m_serial;
    std::vector<MenuItem> m_items;
};

// The text of an item without its shortcut part and "&" markers.
QString PlainMenuText(const QString& text);

// Runs the update handlers of the menu's items (not of its popups) along
// the current route, with a CmdUI that writes into the model; what a popup
// does just before it shows.  A handler may rebuild the menu and move the
// index to the last item it handled.
void UpdateMenuItems(Menu& menu);

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
