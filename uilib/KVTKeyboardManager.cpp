#include "uilib/KVTKeyboardManager.h"

#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTKeyNameFormatter.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolBar.h"

#include <QWidget>

namespace {
CKVTKeyboardManager* g_keyboard = nullptr;

// The templates of the application that have a table.
std::vector<ui::DocTemplate*> TemplatesWithTables()
{
    std::vector<ui::DocTemplate*> out;
    if (ui::Application* app = ui::Application::Instance())
        for (int i = 0; i < app->Documents().TemplateCount(); ++i)
            if (ui::DocTemplate* t = app->Documents().Template(i); t && t->GetAccelTable())
                out.push_back(t);
    return out;
}

ui::MainFrameBase* MainWindow()
{
    ui::Application* app = ui::Application::Instance();
    return app ? app->GetMainWnd() : nullptr;
}

QString KeyPath(const QString& path, int id)
{
    return path + QStringLiteral("KVTKeyboard-%1").arg(id);
}
} // namespace

CKVTKeyboardManager::CKVTKeyboardManager() { g_keyboard = this; }

CKVTKeyboardManager::~CKVTKeyboardManager()
{
    if (g_keyboard == this)
        g_keyboard = nullptr;
}

CKVTKeyboardManager* CKVTKeyboardManager::Instance() { return g_keyboard; }

QString CKVTKeyboardManager::SectionName() { return QStringLiteral("KVTKeyboardManager"); }

bool CKVTKeyboardManager::UpdateAcceleratorTable(ui::DocTemplate* tmpl, std::shared_ptr<const ui::AccelTable> table,
                                                 ui::MainFrameBase* frame)
{
    if (tmpl) {
        const std::shared_ptr<const ui::AccelTable> old = tmpl->GetAccelTable();
        tmpl->SetAccelTable(table);
        for (ui::Document* doc : tmpl->Documents())
            for (ui::ChildFrame* child : doc->Frames())
                if (child->GetAccelTable() == old)
                    child->SetAccelTable(table);
        return old != nullptr;
    }
    if (!frame)
        frame = MainWindow();
    if (!frame)
        return false;
    const bool had = frame->SharedAccelerators() != nullptr;
    frame->SetAccelerators(std::move(table));
    return had;
}

bool CKVTKeyboardManager::UpdateAcceleratorTableFromArray(ui::DocTemplate* tmpl, const std::vector<ui::Accel>& accels,
                                                          ui::MainFrameBase* frame)
{
    // The new table is installed whatever the old state was; a frame that
    // still uses the old one keeps it alive.
    UpdateAcceleratorTable(tmpl, std::make_shared<const ui::AccelTable>(accels), frame);
    return true;
}

void CKVTKeyboardManager::ResetAll()
{
    for (ui::DocTemplate* t : TemplatesWithTables())
        if (std::shared_ptr<const ui::AccelTable> table = ui::AccelTable::Load(t->GetAccelResourceId()))
            UpdateAcceleratorTable(t, std::move(table));
    ui::MainFrameBase* frame = MainWindow();
    if (!frame || !frame->Accelerators())
        return;
    const uint32_t id = DefaultResId(frame);
    if (id == 0)
        return;
    if (std::shared_ptr<const ui::AccelTable> table = ui::AccelTable::Load(id))
        UpdateAcceleratorTable(nullptr, std::move(table), frame);
}

bool CKVTKeyboardManager::SaveState(const QString* profile, ui::MainFrameBase* frame)
{
    const QString path = GetRegPath(SectionName(), profile ? *profile : QString());
    for (ui::DocTemplate* t : TemplatesWithTables())
        SaveAccelTable(path, int(t->ResourceId()), *t->GetAccelTable());
    if (!frame)
        frame = MainWindow();
    if (frame && frame->Accelerators())
        SaveAccelTable(path, 0, *frame->Accelerators());
    return true;
}

bool CKVTKeyboardManager::LoadState(const QString* profile, ui::MainFrameBase* frame)
{
    const QString path = GetRegPath(SectionName(), profile ? *profile : QString());
    for (ui::DocTemplate* t : TemplatesWithTables()) {
        std::shared_ptr<const ui::AccelTable> table;
        if (LoadAccelTable(path, int(t->ResourceId()), table))
            UpdateAcceleratorTable(t, std::move(table));
    }
    if (!frame)
        frame = MainWindow();
    if (frame && frame->Accelerators()) {
        std::shared_ptr<const ui::AccelTable> table;
        if (LoadAccelTable(path, 0, table))
            UpdateAcceleratorTable(nullptr, std::move(table), frame);
    }
    return true;
}

bool CKVTKeyboardManager::SaveAccelTable(const QString& path, int id, const ui::AccelTable& table)
{
    CKVTRegistryKey key;
    if (!key.CreateKey(KeyPath(path, id)))
        return false;
    key.Write(QStringLiteral("Accelerators"), Encode(table.Entries()));
    return true;
}

bool CKVTKeyboardManager::LoadAccelTable(const QString& path, int id, std::shared_ptr<const ui::AccelTable>& table)
{
    CKVTRegistryKey key(false, true);
    if (!key.Open(KeyPath(path, id)))
        return false;
    std::vector<uint8_t> bytes;
    if (!key.Read(QStringLiteral("Accelerators"), bytes))
        return false;
    std::vector<ui::Accel> accels = Decode(bytes);
    if (accels.empty())
        return false; // nothing stored: the resource table stays
    for (ui::Accel& a : accels)
        if (!CKVTToolbarShared::IsCommandPermitted(a.command))
            a.command = 0;
    table = std::make_shared<const ui::AccelTable>(std::move(accels));
    return true;
}

bool CKVTKeyboardManager::FindDefaultAccelerator(uint32_t command, QString& text, QWidget* w)
{
    text.clear();
    ui::MainFrameBase* frame = FrameOf(w);
    if (!frame || !frame->Accelerators() || command == 0)
        return false;
    for (const ui::Accel& a : frame->Accelerators()->Entries())
        if (a.command == command) {
            text = CKVTKeyNameFormatter::Format(a.flags, a.key);
            return true;
        }
    return false;
}

std::vector<uint8_t> CKVTKeyboardManager::Encode(const std::vector<ui::Accel>& accels)
{
    std::vector<uint8_t> out;
    out.reserve(accels.size() * 6);
    for (const ui::Accel& a : accels) {
        out.push_back(a.flags);
        out.push_back(0);
        out.push_back(uint8_t(a.key & 0xFF));
        out.push_back(uint8_t(a.key >> 8));
        out.push_back(uint8_t(a.command & 0xFF));
        out.push_back(uint8_t(a.command >> 8));
    }
    return out;
}

std::vector<ui::Accel> CKVTKeyboardManager::Decode(const std::vector<uint8_t>& bytes)
{
    std::vector<ui::Accel> out;
    out.reserve(bytes.size() / 6);
    for (size_t i = 0; i + 6 <= bytes.size(); i += 6)
        out.push_back({bytes[i], uint16_t(bytes[i + 2] | (bytes[i + 3] << 8)),
                       uint16_t(bytes[i + 4] | (bytes[i + 5] << 8))});
    return out;
}

sys::TableForm CKVTKeyboardManager::AcceleratorsTable()
{
    // Records of 6 bytes (flags, key, command), told apart by flags and key.
    return sys::FixedRecordsForm(6, 4, false);
}

ui::MainFrameBase* CKVTKeyboardManager::FrameOf(QWidget* w)
{
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* f = qobject_cast<ui::MainFrameBase*>(p))
            return f;
    return MainWindow();
}

uint32_t CKVTKeyboardManager::DefaultResId(ui::MainFrameBase* frame)
{
    if (auto* kvt = qobject_cast<CKVTFrameBase*>(frame))
        return kvt->GetDefaultResId();
    return frame ? frame->GetFrameResourceId() : 0;
}
