#include "uilib/KVTArchiveClasses.h"

#include "platform/sys/ObjectArchive.h"
#include "platform/sys/Registry.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTMouseManager.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarComboBoxButton.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTToolbarStore.h"

#include <QMdiSubWindow>

#include <memory>
#include <mutex>

namespace {
template <class T> void Register(const char* name, uint32_t schema)
{
    sys::ArchiveClasses::Register(name, schema, [] { return std::make_unique<T>(); });
}
} // namespace

void RegisterKVTArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Register<CKVTToolbarButton>("CKVTToolbarButton", CKVTToolbarButton::Schema);
        Register<CKVTToolBar>("CKVTToolBar", CKVTToolBar::Schema);
        Register<CKVTToolbarComboBoxButton>("CKVTToolbarComboBoxButton", CKVTToolbarComboBoxButton::Schema);
        Register<CKVTToolbarMenuButton>("CKVTToolbarMenuButton", 0x80000001);
        Register<CCustomizeButton>("CCustomizeButton", 0x80000001);
        Register<CKVTShowAllButton>("CKVTShowAllButton", 0x80000001);
        Register<CKVTToolbarSystemMenuButton>("CKVTToolbarSystemMenuButton", 0x80000001);
        Register<CKVTToolbarMenuButtonsButton>("CKVTToolbarMenuButtonsButton", 0x80000001);
        // The bars' and menus' buttons and the key tables are kept in the
        // settings as tables: what an instance changed goes in by entry.
        sys::RegistryStore::KeepAsTable(u"Buttons", CKVTToolbarStore::ButtonsTable());
        sys::RegistryStore::KeepAsTable(u"Accelerators", CKVTKeyboardManager::AcceleratorsTable());
        sys::RegistryStore::KeepAsTable(u"Mouse", CKVTMouseManager::BindingsTable());
        sys::RegistryStore::KeepAsTable(u"CommandsUsage", CKVTCommandUsage::UsageTable());
    });
}
