#include "uilib/KVTMouseManager.h"

#include "res/StringTable.h"
#include "uilib/KVTRegistryKey.h"

namespace {
CKVTMouseManager* g_mouse = nullptr;

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t GetU32(const std::vector<uint8_t>& in, size_t at)
{
    return uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 | uint32_t(in[at + 3]) << 24;
}
} // namespace

CKVTMouseManager::CKVTMouseManager() { g_mouse = this; }

CKVTMouseManager::~CKVTMouseManager()
{
    if (g_mouse == this)
        g_mouse = nullptr;
}

CKVTMouseManager* CKVTMouseManager::Instance() { return g_mouse; }

QString CKVTMouseManager::SectionName() { return QStringLiteral("KVTMouseManager"); }

bool CKVTMouseManager::AddView(int viewId, const QString& name, uint32_t iconId)
{
    if (GetViewIdByName(name) != -1)
        return false;
    m_views.emplace_back(name, viewId);
    if (iconId != 0)
        m_icons[viewId] = iconId;
    return true;
}

bool CKVTMouseManager::AddView(int viewId, uint32_t nameStringId, uint32_t iconId)
{
    return AddView(viewId, LoadResString(nameStringId), iconId);
}

int CKVTMouseManager::GetViewIdByName(const QString& name) const
{
    for (const auto& [n, id] : m_views)
        if (n == name)
            return id;
    return -1;
}

uint32_t CKVTMouseManager::GetViewDblClickCommand(int viewId) const
{
    const auto it = m_commands.find(viewId);
    return it == m_commands.end() ? 0 : it->second;
}

uint32_t CKVTMouseManager::GetViewIconId(int viewId) const
{
    const auto it = m_icons.find(viewId);
    return it == m_icons.end() ? 0 : it->second;
}

void CKVTMouseManager::SetCommand(int viewId, uint32_t command)
{
    if (command == 0)
        m_commands.erase(viewId);
    else
        m_commands[viewId] = command;
}

void CKVTMouseManager::GetViewNames(QStringList& names) const
{
    names.clear();
    for (const auto& view : m_views)
        names.append(view.first);
}

std::vector<uint8_t> CKVTMouseManager::Serialize() const
{
    std::vector<uint8_t> out;
    PutU32(out, uint32_t(m_commands.size()));
    for (const auto& [view, command] : m_commands) {
        PutU32(out, uint32_t(view));
        PutU32(out, command);
    }
    return out;
}

bool CKVTMouseManager::Serialize(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 4)
        return false;
    const uint64_t count = GetU32(bytes, 0);
    if (count > (bytes.size() - 4) / 8)
        return false;
    // Loaded into a copy that replaces the bindings only when all of it read.
    std::map<int, uint32_t> loaded;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t at = size_t(4 + i * 8);
        if (const uint32_t command = GetU32(bytes, at + 4))
            loaded[int(GetU32(bytes, at))] = command;
    }
    m_commands = std::move(loaded);
    return true;
}

sys::TableForm CKVTMouseManager::BindingsTable()
{
    // A count, then records of 8 bytes told apart by their first 4.
    return sys::FixedRecordsForm(8, 4, true);
}

bool CKVTMouseManager::LoadState(const QString* profile)
{
    CKVTRegistryKey key(false, true);
    if (!key.Open(GetRegPath(SectionName(), profile ? *profile : QString())))
        return false;
    std::vector<uint8_t> bytes;
    return key.Read(QStringLiteral("Mouse"), bytes) && Serialize(bytes);
}

bool CKVTMouseManager::SaveState(const QString* profile)
{
    CKVTRegistryKey key;
    if (!key.CreateKey(GetRegPath(SectionName(), profile ? *profile : QString())))
        return false;
    return key.Write(QStringLiteral("Mouse"), Serialize());
}
