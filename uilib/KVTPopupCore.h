#pragma once
// The pure cores of the popup menus, over Qt Core value types: where a
// popup opens (KvtPopupPlacement), the steps of its opening animation
// (KvtPopupAnimation), the menu delay (KvtMenuDelay) and which items of a
// menu become buttons (KvtPopupBuild).

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace ui {
class Menu;
}

// Where the menu bar that opened a popup lies; a popup of a bar docked at
// the left or right edge opens beside the bar when it must move left.
enum class KvtMenuBarSide
{
    None,
    Top,
    Left,
    Right
};

struct KvtPopupPlacementInput
{
    QPoint origin;     // the requested top-left (screen)
    QRect parentItem;  // the item that opened the popup (screen); empty: none
    QRect parentPopup; // the parent popup's window (screen); empty: not a submenu
    KvtMenuBarSide barSide = KvtMenuBarSide::None;
    QRect menuBar; // the menu bar's window (screen) for Left and Right
    QSize size;    // the window's full size (bar + frame)
    QRect workArea;
};

struct KvtPopupPlacementResult
{
    QRect rect;            // the window without the shadow
    bool dropRight = true; // FALSE: opened to the left of its origin
    bool dropDown = true;  // FALSE: opened above its origin
    bool scroll = false;   // cut to the work area: the scroll areas show
};

class KvtPopupPlacement
{
public:
    static KvtPopupPlacementResult Compute(const KvtPopupPlacementInput& in);
};

// The opening animation: kind 0 none, 1 unfold (width and height grow),
// any other value slide (only the height grows).  Each 30 ms tick adds one
// item height (unfold: also one item width); a popup that opened leftwards
// or upwards grows from its right or bottom edge.
class KvtPopupAnimation
{
public:
    static constexpr int TickMs = 30;
    // The window rectangle at a step (0: the start); the final rectangle
    // once it is reached or passed.
    static QRect Step(uint32_t kind, const QRect& final, QSize item, bool dropRight, bool dropDown,
                      int step);
    static bool Finished(uint32_t kind, const QRect& final, QSize item, bool dropRight,
                         bool dropDown, int step)
    {
        return Step(kind, final, item, dropRight, dropDown, step) == final;
    }
};

// The menu delay in milliseconds from the value "MenuShowDelay": absent or
// not a number 500, else clamped to 0-5000.
class KvtMenuDelay
{
public:
    static int Parse(const std::optional<QString>& value);
    // Read once from HKEY_CURRENT_USER "Control Panel\Desktop" of the
    // registry store; Reset makes the next call read again (tests).
    static int Get();
    static void Reset();
};

// One entry that a popup bar makes from a menu item.
struct KvtPopupEntry
{
    int index = -1; // the item's position in the menu
    bool separator = false;
    uint32_t id = 0;    // command id; 0xFFFFFFFF for a submenu
    uint32_t style = 0; // toolbar style bits from the item's state
    bool isDefault = false;
};

struct KvtPopupBuildResult
{
    std::vector<KvtPopupEntry> entries;
    bool allShown = true;                      // no item was left out
    std::map<QChar, uint32_t> hiddenMnemonics; // upper-cased mnemonic -> command
};

class KvtPopupBuild
{
public:
    // Separators only between items (never first, last or doubled); unless
    // allItems, the rarely used commands are left out and their mnemonics
    // kept when permitted.
    static KvtPopupBuildResult Filter(const ui::Menu& menu, bool allItems,
                                      const std::function<bool(uint32_t)>& rarelyUsed,
                                      const std::function<bool(uint32_t)>& permitted);
};
