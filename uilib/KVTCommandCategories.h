#pragma once
// What the keyboard and mouse pages need of the customisation sheet: its
// command categories, a list of every command, and the commands' names.
// The customisation sheet implements it; CKVTMenuCommandCategories builds a
// plain set of categories from a menu.

#include <QString>

#include <cstdint>
#include <vector>

class CKVTToolbarButton;
class QComboBox;
class QListWidget;

class CKVTCommandCategories
{
public:
    virtual ~CKVTCommandCategories() = default;

    // One item per category, then the all-commands category; the item data
    // is the category's name (a QString).
    virtual void FillCategoriesComboBox(QComboBox* combo) const = 0;
    // The category's buttons in category order; empty for an unknown name.
    // The buttons stay owned by the categories.
    virtual std::vector<const CKVTToolbarButton*> GetCategoryButtons(const QString& name) const = 0;
    // Every command once; the item data is the command id.
    virtual void FillAllCommandsList(QListWidget* list) const = 0;
    // Empty when the command is unknown.
    virtual QString GetCommandName(uint32_t id) const = 0;
};
