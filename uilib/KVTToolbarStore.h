#pragma once
// The stored state of a toolbar and of all bars: the bar's record (its
// storable buttons, the text-labels flag and the caption) under its key
// in the registry, and the options shared by all bars with the command
// usage under "KVTToolbarParameters".  See docs/uilib.md for the keys.

#include "platform/sys/RegistryTable.h"

#include <QString>

#include <cstdint>
#include <vector>

class CKVTToolBar;
namespace sys {
class ObjectArchive;
}

class CKVTToolbarStore
{
public:
    explicit CKVTToolbarStore(CKVTToolBar& bar) : m_bar(bar) {}

    // The record.  Loading replaces the buttons only when everything has loaded.
    void Serialize(sys::ObjectArchive& ar);
    std::vector<uint8_t> StoreButtons();
    // The record ("Buttons") as a table of the settings store: an entry
    // per button (its class and command, or text when it has no command; a
    // separator by the entry before it), the text-labels flag and the
    // caption as its head.
    static sys::TableForm ButtonsTable();
    bool LoadButtons(const std::vector<uint8_t>& bytes);

    // The registry.
    QString StateKey(const QString& profile, int index, uint32_t resourceId) const;
    bool SaveState(const QString& profile, int index, uint32_t resourceId);
    bool LoadState(const QString& profile, int index, uint32_t resourceId);
    bool RemoveState(const QString& profile, int index, uint32_t resourceId);
    static void ClearStateKeyRecord();

    static bool SaveParameters(const QString& profile);
    static bool LoadParameters(const QString& profile);

private:
    CKVTToolBar& m_bar;
};
