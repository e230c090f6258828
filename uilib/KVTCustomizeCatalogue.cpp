#include "uilib/KVTCustomizeCatalogue.h"

#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ToolbarResource.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace {
constexpr uint32_t IDS_ALL_COMMANDS = 16110;
constexpr int kMaxMenuText = 1024;
}

CKVTCustomizeCatalogue::CKVTCustomizeCatalogue(bool autoFromMenus)
    : m_autoFromMenus(autoFromMenus), m_allName(LoadResString(IDS_ALL_COMMANDS))
{
}

CKVTCustomizeCatalogue::~CKVTCustomizeCatalogue() = default;

QString CKVTCustomizeCatalogue::CleanText(const QString& text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return StripMnemonic(tab < 0 ? text : text.left(tab));
}

QString CKVTCustomizeCatalogue::CommandText(uint32_t command)
{
    const QString s = LoadResString(command);
    const qsizetype nl = s.indexOf(QLatin1Char('\n'));
    return nl < 0 ? s : s.mid(nl + 1);
}

bool CKVTCustomizeCatalogue::IsHiddenCommand(uint32_t command)
{
    if (!HasCommand(command))
        return false;
    return (command >= 0xE110 && command <= 0xE11F) || (command >= 0xF000 && command <= 0xF1EF) ||
           command >= 0xFF00;
}

void CKVTCustomizeCatalogue::SortByText(std::vector<const CKVTToolbarButton*>& buttons)
{
    QCollator collator{QLocale(QStringLiteral("cs_CZ"))};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(buttons.begin(), buttons.end(), [&](const CKVTToolbarButton* a, const CKVTToolbarButton* b) {
        return collator.compare(a->m_text, b->m_text) < 0;
    });
}

int CKVTCustomizeCatalogue::Find(const ButtonList& list, const CKVTToolbarButton& button)
{
    for (size_t i = 0; i < list.size(); ++i) {
        const CKVTToolbarButton& b = *list[i];
        if (HasCommand(button.m_id) ? b.m_id == button.m_id
                                    : !HasCommand(b.m_id) && b.m_text == button.m_text)
            return int(i);
    }
    return -1;
}

std::unique_ptr<CKVTToolbarButton> CKVTCustomizeCatalogue::MakeCopy(const CKVTToolbarButton& button) const
{
    std::unique_ptr<CKVTToolbarButton> copy = button.Clone();
    copy->m_text = button.m_text.isEmpty() ? CommandText(button.m_id) : CleanText(button.m_text);
    copy->OnAddToCustomizePage();
    return copy;
}

int CKVTCustomizeCatalogue::AddButton(const QString& category, const CKVTToolbarButton& button, int position)
{
    if (IsHiddenCommand(button.m_id) || button.IsSeparator())
        return -1;
    std::unique_ptr<CKVTToolbarButton> copy = MakeCopy(button);
    const bool toAll = HasCommand(button.m_id) && Find(m_all, *copy) < 0;
    if (category == m_allName) {
        if (!toAll)
            return -1;
        m_all.push_back(std::move(copy));
        return int(m_all.size()) - 1;
    }
    ButtonList& list = m_categories[category];
    if (!m_names.contains(category))
        m_names.append(category);
    if (Find(list, *copy) >= 0)
        return -1;
    if (toAll)
        m_all.push_back(MakeCopy(button));
    int index = int(list.size());
    if (position >= 0 && position + 1 < int(list.size()))
        index = position + 1;
    list.insert(list.begin() + index, std::move(copy));
    return index;
}

int CKVTCustomizeCatalogue::AddButton(uint32_t categoryStringId, const CKVTToolbarButton& button, int position)
{
    return AddButton(LoadResString(categoryStringId), button, position);
}

bool CKVTCustomizeCatalogue::AddToolBar(const QString& category, uint32_t resourceId)
{
    std::unique_ptr<ui::ToolbarResource> resource = ui::ToolbarResource::Load(resourceId);
    if (!resource)
        return false;
    for (uint32_t id : resource->ids)
        if (id != 0)
            AddButton(category, CKVTToolbarButton(id, -1));
    return true;
}

bool CKVTCustomizeCatalogue::AddToolBar(uint32_t categoryStringId, uint32_t resourceId)
{
    return AddToolBar(LoadResString(categoryStringId), resourceId);
}

void CKVTCustomizeCatalogue::AddMenuCommands(const ui::Menu* menu, bool popup, const QString& category)
{
    if (!menu)
        return;
    for (int i = 0; i < menu->ItemCount(); ++i) {
        const ui::MenuItem* item = menu->Item(i);
        if (!item || (item->flags & ui::MF_SEPARATOR))
            continue;
        // AddButton cleans the texts of the buttons; the category names are cleaned here.
        const QString raw = item->text.left(kMaxMenuText);
        const QString text = CleanText(raw);
        if (item->popup) {
            if (!m_autoFromMenus) {
                AddMenuCommands(item->popup.get(), true, {});
                continue;
            }
            if (popup && !category.isEmpty()) {
                CKVTToolbarMenuButton button(0, item->popup.get(), -1, raw);
                AddButton(category, button);
            }
            AddMenuCommands(item->popup.get(), true, text);
        } else if (HasCommand(item->id)) {
            CKVTToolbarButton button(item->id, -1, raw);
            AddButton(category.isEmpty() ? m_allName : category, button);
        }
    }
}

void CKVTCustomizeCatalogue::SetupFromMenus(ui::MainFrameBase* frame)
{
    if (ui::Application* app = ui::Application::Instance()) {
        ui::DocManager& docs = app->Documents();
        for (int i = 0; i < docs.TemplateCount(); ++i)
            if (ui::DocTemplate* t = docs.Template(i); t && t->GetSharedMenu())
                AddMenuCommands(t->GetSharedMenu(), false);
    }
    if (!frame)
        return;
    if (ui::Menu* menu = frame->GetDefaultMenu()) {
        AddMenuCommands(menu, false);
    } else if (auto* kvt = dynamic_cast<CKVTFrameBase*>(frame)) {
        if (CKVTMenuBar* bar = kvt->GetMenuBar()) {
            ui::Menu* m = bar->GetDefaultMenu() ? bar->GetDefaultMenu() : bar->GetCurrentMenu();
            AddMenuCommands(m, false);
        }
    }
}

bool CKVTCustomizeCatalogue::AddMenuFromResource(uint32_t menuId)
{
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(menuId);
    if (!menu)
        return false;
    AddMenuCommands(menu.get(), false);
    return true;
}

int CKVTCustomizeCatalogue::RemoveButton(const QString& category, uint32_t command)
{
    ButtonList* list = nullptr;
    if (category == m_allName)
        list = &m_all;
    else if (auto it = m_categories.find(category); it != m_categories.end())
        list = &it->second;
    if (!list)
        return -1;
    for (size_t i = 0; i < list->size(); ++i)
        if ((*list)[i]->m_id == command) {
            list->erase(list->begin() + long(i));
            return int(i);
        }
    return -1;
}

int CKVTCustomizeCatalogue::RemoveButton(uint32_t categoryStringId, uint32_t command)
{
    return RemoveButton(LoadResString(categoryStringId), command);
}

void CKVTCustomizeCatalogue::ReplaceButton(uint32_t command, const CKVTToolbarButton& button)
{
    auto replaceIn = [&](ButtonList& list) {
        for (auto& b : list)
            if (b->m_id == command) {
                std::unique_ptr<CKVTToolbarButton> copy = button.Clone();
                if (copy->m_text.isEmpty())
                    copy->m_text = b->m_text;
                b = std::move(copy);
            }
    };
    for (auto& [name, list] : m_categories)
        replaceIn(list);
    replaceIn(m_all);
}

bool CKVTCustomizeCatalogue::RenameCategory(const QString& oldName, const QString& newName)
{
    if (newName == m_allName || m_categories.count(newName) || !m_categories.count(oldName))
        return false;
    auto node = m_categories.extract(oldName);
    node.key() = newName;
    m_categories.insert(std::move(node));
    m_names[m_names.indexOf(oldName)] = newName;
    return true;
}

const CKVTCustomizeCatalogue::ButtonList* CKVTCustomizeCatalogue::Buttons(const QString& category) const
{
    if (category == m_allName)
        return &m_all;
    auto it = m_categories.find(category);
    return it == m_categories.end() ? nullptr : &it->second;
}

std::vector<const CKVTToolbarButton*> CKVTCustomizeCatalogue::SortedAllCommands() const
{
    std::vector<const CKVTToolbarButton*> out;
    out.reserve(m_all.size());
    for (const auto& b : m_all)
        out.push_back(b.get());
    SortByText(out);
    return out;
}

QString CKVTCustomizeCatalogue::GetCommandName(uint32_t command) const
{
    for (const auto& b : m_all)
        if (b->m_id == command)
            return b->m_text;
    return {};
}
