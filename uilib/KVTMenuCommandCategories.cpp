#include "uilib/KVTMenuCommandCategories.h"

#include "platform/ui/Menu.h"
#include "uilib/KVTToolbarButton.h"

#include <QComboBox>
#include <QListWidget>

namespace {
QString WithoutMnemonics(QString text)
{
    return text.remove(QLatin1Char('&'));
}
} // namespace

CKVTMenuCommandCategories::CKVTMenuCommandCategories(const ui::Menu& menu, const QString& allCommandsName)
{
    m_all.name = allCommandsName;
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const ui::MenuItem* item = menu.Item(i);
        if (!item || !item->popup)
            continue;
        Category c;
        c.name = WithoutMnemonics(item->text);
        AddCommands(*item->popup, c);
        m_categories.push_back(std::move(c));
    }
}

CKVTMenuCommandCategories::~CKVTMenuCommandCategories() = default;

void CKVTMenuCommandCategories::AddCommands(const ui::Menu& menu, Category& category)
{
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const ui::MenuItem* item = menu.Item(i);
        if (!item)
            continue;
        if (item->popup) {
            AddCommands(*item->popup, category);
            continue;
        }
        if (item->id == 0 || item->id == 0xFFFFFFFF || (item->flags & ui::MF_SEPARATOR))
            continue;
        const QString text = WithoutMnemonics(item->text.section(QLatin1Char('\t'), 0, 0));
        category.buttons.push_back(std::make_unique<CKVTToolbarButton>(item->id, -1, text));
        if (GetCommandName(item->id).isEmpty())
            m_all.buttons.push_back(std::make_unique<CKVTToolbarButton>(item->id, -1, text));
    }
}

void CKVTMenuCommandCategories::FillCategoriesComboBox(QComboBox* combo) const
{
    for (const Category& c : m_categories)
        combo->addItem(c.name, c.name);
    combo->addItem(m_all.name, m_all.name);
}

std::vector<const CKVTToolbarButton*> CKVTMenuCommandCategories::GetCategoryButtons(const QString& name) const
{
    std::vector<const CKVTToolbarButton*> out;
    const Category* found = name == m_all.name ? &m_all : nullptr;
    for (const Category& c : m_categories)
        if (!found && c.name == name)
            found = &c;
    if (found)
        for (const auto& b : found->buttons)
            out.push_back(b.get());
    return out;
}

void CKVTMenuCommandCategories::FillAllCommandsList(QListWidget* list) const
{
    list->clear();
    for (const auto& b : m_all.buttons) {
        auto* item = new QListWidgetItem(b->m_text, list);
        item->setData(Qt::UserRole, b->m_id);
    }
}

QString CKVTMenuCommandCategories::GetCommandName(uint32_t id) const
{
    for (const auto& b : m_all.buttons)
        if (b->m_id == id)
            return b->m_text;
    return {};
}
