#pragma once
// Command categories built from a menu: each top-level popup is a category
// named by its text without "&"; its command items (also those of nested
// popups) become plain buttons with the text cut at the tab and without
// "&"; the all-commands category, under the name given, holds every
// command once.  The review program and the tests use it where the
// customisation sheet is not there.

#include "uilib/KVTCommandCategories.h"

#include <memory>
#include <vector>

namespace ui {
class Menu;
}

class CKVTMenuCommandCategories : public CKVTCommandCategories
{
public:
    CKVTMenuCommandCategories(const ui::Menu& menu, const QString& allCommandsName);
    ~CKVTMenuCommandCategories() override;

    void FillCategoriesComboBox(QComboBox* combo) const override;
    std::vector<const CKVTToolbarButton*> GetCategoryButtons(const QString& name) const override;
    void FillAllCommandsList(QListWidget* list) const override;
    QString GetCommandName(uint32_t id) const override;

private:
    struct Category
    {
        QString name;
        std::vector<std::unique_ptr<CKVTToolbarButton>> buttons;
    };
    void AddCommands(const ui::Menu& menu, Category& category);
    std::vector<Category> m_categories;
    Category m_all;
};
