#pragma once
// The customised button lists of the bars that showed a menu, kept in
// memory by the menu's serial number (the bytes the bar's Serialize writes).
// An entry goes when its menu is destroyed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class CKVTToolBar;
namespace ui {
class Menu;
}

class CKVTMenuButtonCache
{
public:
    static CKVTMenuButtonCache& Instance();

    // Stores the bar's list for the menu, replacing an older entry (an
    // emptied list too).
    bool SaveMenuButtons(const ui::Menu* menu, CKVTToolBar* bar);
    // False when there is no entry or it does not load; the bar is then unchanged.
    bool LoadMenuButtons(const ui::Menu* menu, CKVTToolBar* bar);
    bool Contains(uint64_t serial) const { return m_entries.count(serial) != 0; }
    size_t Count() const { return m_entries.size(); }
    void Drop(uint64_t serial) { m_entries.erase(serial); }
    void RemoveAll() { m_entries.clear(); }
    // Tests: the stored bytes of an entry.
    std::vector<uint8_t>* Entry(uint64_t serial);

private:
    CKVTMenuButtonCache();
    std::map<uint64_t, std::vector<uint8_t>> m_entries;
};
