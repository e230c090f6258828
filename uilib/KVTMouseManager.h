#pragma once
// The mouse manager: one per process.  Views register under a name, a view
// id and an icon; the user binds one command per view to a double-click
// (the mouse page); the workspace runs it (CKVTWorkspace::OnViewDoubleClick)
// and stores the bindings.
//
// Stored form: GetRegPath("KVTMouseManager", profile), binary value
// "Mouse": a u32 count, then count pairs of u32 (view id, command), little
// endian.  Names and icons come from registration and are not stored.

#include "platform/sys/RegistryTable.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <vector>

class CKVTMouseManager
{
public:
    CKVTMouseManager();
    virtual ~CKVTMouseManager();
    CKVTMouseManager(const CKVTMouseManager&) = delete;
    CKVTMouseManager& operator=(const CKVTMouseManager&) = delete;
    static CKVTMouseManager* Instance();

    // "KVTMouseManager"
    static QString SectionName();

    // FALSE when the name is registered already; an icon id 0 is none.
    bool AddView(int viewId, const QString& name, uint32_t iconId = 0);
    // The name from the string table.
    bool AddView(int viewId, uint32_t nameStringId, uint32_t iconId = 0);
    // -1 when the name is unknown.
    int GetViewIdByName(const QString& name) const;
    // The command bound to a view's double-click; 0 for none.
    virtual uint32_t GetViewDblClickCommand(int viewId) const;
    // 0 when the view has no icon.
    uint32_t GetViewIconId(int viewId) const;
    // Command 0 removes the binding.
    void SetCommand(int viewId, uint32_t command);
    // The registered names, in the order they were added.
    void GetViewNames(QStringList& names) const;

    // The stored form of the bindings, and back; FALSE (bindings
    // unchanged) for a value that is cut or whose count passes its bytes.
    std::vector<uint8_t> Serialize() const;
    bool Serialize(const std::vector<uint8_t>& bytes);
    // "Mouse" as a table of the settings store: an entry per view.
    static sys::TableForm BindingsTable();

    virtual bool LoadState(const QString* profile);
    virtual bool SaveState(const QString* profile);

private:
    std::vector<std::pair<QString, int>> m_views; // in registration order
    std::map<int, uint32_t> m_commands;
    std::map<int, uint32_t> m_icons;
};
