#include "uilib/KVTToolbarStore.h"

#include "platform/sys/ObjectArchive.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarShared.h"

#include <QCoreApplication>

#include <cstdio>
#include <map>
#include <memory>

using namespace ui;

namespace {
// The key path -> (index, resource id) that saved there during this run.
std::map<QString, std::pair<int, uint32_t>>& StateKeys()
{
    static std::map<QString, std::pair<int, uint32_t>> keys;
    return keys;
}

const char16_t* const kOptionNames[] = {u"Tooltips",          u"ShortcutKeys", u"LargeIcons",
                                        u"MenuAnimation",     u"RecentlyUsedMenus", u"MenuShadows",
                                        u"ShowAllMenusAfterDelay", u"Look2000"};
} // namespace

void CKVTToolbarStore::Serialize(sys::ObjectArchive& ar)
{
    CKVTToolbarItems& items = m_bar.m_items;
    if (ar.IsStoring()) {
        std::vector<const sys::ArchiveObject*> list;
        for (auto& b : items)
            if (b->CanBeStored())
                list.push_back(b.get());
        ar.WriteObjectList(list);
        ar.WriteU32(m_bar.m_textLabels ? 1 : 0);
        ar.WriteString(m_bar.IsCreated() ? m_bar.windowTitle().toStdU16String() : std::u16string());
        return;
    }
    // Read everything first; the bar changes only when all of it has loaded.
    std::vector<std::unique_ptr<sys::ArchiveObject>> objects = ar.ReadObjectList();
    std::vector<std::unique_ptr<CKVTToolbarButton>> buttons;
    for (auto& o : objects) {
        auto* b = dynamic_cast<CKVTToolbarButton*>(o.get());
        if (!b)
            throw sys::ArchiveError("not a toolbar button");
        o.release();
        buttons.emplace_back(b);
    }
    const bool textLabels = ar.ReadU32() != 0;
    const QString caption = QString::fromStdU16String(ar.ReadString());

    m_bar.RemoveAllButtons();
    for (auto& b : buttons) {
        b->m_style &= ~TBBS_STATE;
        CKVTToolbarButton* raw = b.get();
        items.InsertBeforeCustomize(std::move(b));
        raw->OnParentChanged(&m_bar);
    }
    if (m_bar.AllowChangeTextLabels())
        m_bar.m_textLabels = textLabels;
    m_bar.RepositionButtons();
    if (m_bar.IsCreated())
        m_bar.setWindowTitle(caption);
    for (int i = items.Count() - 1; i >= 0; --i)
        if (!CKVTToolbarShared::IsCommandPermitted(items[size_t(i)]->m_id))
            m_bar.RemoveButton(i);
}

sys::TableForm CKVTToolbarStore::ButtonsTable()
{
    sys::TableForm form;
    form.split = [](const std::vector<uint8_t>& data, sys::Table& table) {
        // Reading makes the buttons' objects: not once the program's
        // objects are gone (a write at the very end).
        if (!QCoreApplication::instance())
            return false;
        try {
            sys::ObjectArchive ar(data);
            std::vector<std::unique_ptr<sys::ArchiveObject>> objects = ar.ReadObjectList();
            table = {};
            table.head.assign(data.end() - std::ptrdiff_t(ar.Remaining()), data.end());
            std::vector<uint8_t> previous;
            for (const auto& o : objects) {
                const auto* b = dynamic_cast<const CKVTToolbarButton*>(o.get());
                if (!b)
                    return false;
                // A button is its command (of its class; a popup menu
                // without one its text), a separator the separator after
                // the entry before it.
                std::vector<uint8_t> key;
                if (b->IsSeparator()) {
                    key = previous;
                    key.push_back('-');
                } else {
                    const std::string name = b->ArchiveClassName();
                    key.assign(name.begin(), name.end());
                    for (int shift = 0; shift < 32; shift += 8)
                        key.push_back(uint8_t(b->m_id >> shift));
                    if (b->m_id == 0)
                        for (const QChar c : b->m_text)
                            key.insert(key.end(),
                                       {uint8_t(c.unicode()), uint8_t(c.unicode() >> 8)});
                }
                sys::ObjectArchive one;
                one.WriteObject(b);
                table.entries.push_back({key, one.TakeBytes()});
                previous = std::move(key);
            }
        } catch (const sys::ArchiveError&) {
            return false;
        }
        return true;
    };
    form.join = [](const sys::Table& table, std::vector<uint8_t>& data) {
        if (!QCoreApplication::instance())
            return false;
        try {
            std::vector<std::unique_ptr<sys::ArchiveObject>> objects;
            std::vector<const sys::ArchiveObject*> list;
            for (const sys::TableEntry& e : table.entries) {
                sys::ObjectArchive one(e.data);
                objects.push_back(one.ReadObject());
                list.push_back(objects.back().get());
            }
            sys::ObjectArchive ar;
            ar.WriteObjectList(list);
            data = ar.TakeBytes();
        } catch (const sys::ArchiveError&) {
            return false;
        }
        data.insert(data.end(), table.head.begin(), table.head.end());
        return true;
    };
    return form;
}

std::vector<uint8_t> CKVTToolbarStore::StoreButtons()
{
    sys::ObjectArchive ar;
    m_bar.Serialize(ar);
    return ar.TakeBytes();
}

bool CKVTToolbarStore::LoadButtons(const std::vector<uint8_t>& bytes)
{
    try {
        sys::ObjectArchive ar(bytes);
        m_bar.Serialize(ar);
    } catch (const sys::ArchiveError&) {
        return false;
    }
    return true;
}

QString CKVTToolbarStore::StateKey(const QString& profile, int index, uint32_t resourceId) const
{
    if (index == -1)
        index = int(m_bar.GetDlgCtrlID());
    const QString prefix = GetRegPath(QStringLiteral("KVTToolBars"), profile);
    if (resourceId == 0xFFFFFFFF)
        return prefix + QStringLiteral("KVTToolBar-%1").arg(index);
    return prefix + QStringLiteral("KVTToolBar-%1%2").arg(index).arg(resourceId, 0, 16);
}

void CKVTToolbarStore::ClearStateKeyRecord() { StateKeys().clear(); }

bool CKVTToolbarStore::SaveState(const QString& profile, int index, uint32_t resourceId)
{
    if (index == -1)
        index = int(m_bar.GetDlgCtrlID());
    const QString key = StateKey(profile, index, resourceId);
    auto& keys = StateKeys();
    const QString folded = key.toCaseFolded();
    auto it = keys.find(folded);
    if (it != keys.end() && it->second != std::make_pair(index, resourceId)) {
        std::fprintf(stderr, "toolbar state key %s is used by another bar; not saved\n", qPrintable(key));
        return false;
    }
    const std::vector<uint8_t> bytes = StoreButtons();
    CKVTRegistryKey reg;
    if (!reg.CreateKey(key))
        return false;
    keys[folded] = {index, resourceId};
    if (m_bar.IsCreated())
        reg.Write(QStringLiteral("Name"), m_bar.windowTitle());
    return reg.Write(QStringLiteral("Buttons"), bytes);
}

bool CKVTToolbarStore::LoadState(const QString& profile, int index, uint32_t resourceId)
{
    CKVTRegistryKey reg(false, true);
    if (!reg.Open(StateKey(profile, index, resourceId)))
        return false;
    std::vector<uint8_t> bytes;
    if (!reg.Read(QStringLiteral("Buttons"), bytes))
        return false;
    if (!LoadButtons(bytes))
        return false;
    m_bar.AdjustLayout();
    return true;
}

bool CKVTToolbarStore::RemoveState(const QString& profile, int index, uint32_t resourceId)
{
    CKVTRegistryKey reg;
    return reg.DeleteKey(StateKey(profile, index, resourceId));
}

bool CKVTToolbarStore::SaveParameters(const QString& profile)
{
    CKVTRegistryKey reg;
    if (!reg.CreateKey(GetRegPath(QStringLiteral("KVTToolBars"), profile) + QStringLiteral("KVTToolbarParameters")))
        return false;
    const KvtToolbarOptions& o = CKVTToolbarShared::Options();
    const uint32_t values[] = {o.tooltips,          o.shortcutKeys, o.largeIcons,
                               o.menuAnimation,     o.recentlyUsedMenus, o.menuShadows,
                               o.showAllMenusAfterDelay, o.look2000};
    bool ok = true;
    for (size_t i = 0; i < 8; ++i)
        ok = reg.Write(QString::fromUtf16(kOptionNames[i]), values[i]) && ok;
    return reg.WriteObject(QStringLiteral("CommandsUsage"), CKVTCommandUsage::Instance()) && ok;
}

bool CKVTToolbarStore::LoadParameters(const QString& profile)
{
    CKVTRegistryKey reg(false, true);
    if (!reg.Open(GetRegPath(QStringLiteral("KVTToolBars"), profile) + QStringLiteral("KVTToolbarParameters")))
        return false;
    KvtToolbarOptions& o = CKVTToolbarShared::Options();
    bool* flags[] = {&o.tooltips, &o.shortcutKeys, &o.largeIcons, nullptr, &o.recentlyUsedMenus,
                     &o.menuShadows, &o.showAllMenusAfterDelay, &o.look2000};
    bool ok = true;
    for (size_t i = 0; i < 8 && ok; ++i) {
        uint32_t v = 0;
        ok = reg.Read(QString::fromUtf16(kOptionNames[i]), v);
        if (!ok)
            break;
        if (flags[i])
            *flags[i] = v != 0;
        else
            o.menuAnimation = v;
    }
    if (ok)
        ok = reg.ReadObject(QStringLiteral("CommandsUsage"), CKVTCommandUsage::Instance());
    CKVTToolbarShared::SetLargeIcons(o.largeIcons);
    CKVTToolbarShared::SetLook2000(o.look2000);
    return ok;
}
