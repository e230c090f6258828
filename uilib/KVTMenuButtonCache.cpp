#include "uilib/KVTMenuButtonCache.h"

#include "platform/ui/Menu.h"
#include "uilib/KVTToolBar.h"

CKVTMenuButtonCache& CKVTMenuButtonCache::Instance()
{
    static CKVTMenuButtonCache cache;
    return cache;
}

CKVTMenuButtonCache::CKVTMenuButtonCache()
{
    ui::Menu::AddDestroyObserver([](uint64_t serial) { Instance().Drop(serial); });
}

bool CKVTMenuButtonCache::SaveMenuButtons(const ui::Menu* menu, CKVTToolBar* bar)
{
    if (!menu || !bar)
        return false;
    m_entries[menu->Serial()] = bar->Store().StoreButtons();
    return true;
}

bool CKVTMenuButtonCache::LoadMenuButtons(const ui::Menu* menu, CKVTToolBar* bar)
{
    if (!menu || !bar)
        return false;
    auto it = m_entries.find(menu->Serial());
    if (it == m_entries.end())
        return false;
    return bar->Store().LoadButtons(it->second);
}

std::vector<uint8_t>* CKVTMenuButtonCache::Entry(uint64_t serial)
{
    auto it = m_entries.find(serial);
    return it == m_entries.end() ? nullptr : &it->second;
}
