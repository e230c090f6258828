#pragma once
// The commands that the customisation sheet offers, by category: each
// category owns copies of its buttons; "Všechny příkazy" (string 16110)
// holds every command once.  No widgets, so that it is tested on its own;
// the sheet owns one.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CKVTToolbarButton;
namespace ui {
class MainFrameBase;
class Menu;
}

class CKVTCustomizeCatalogue
{
public:
    using ButtonList = std::vector<std::unique_ptr<CKVTToolbarButton>>;

    explicit CKVTCustomizeCatalogue(bool autoFromMenus = true);
    ~CKVTCustomizeCatalogue();
    CKVTCustomizeCatalogue(const CKVTCustomizeCatalogue&) = delete;
    CKVTCustomizeCatalogue& operator=(const CKVTCustomizeCatalogue&) = delete;

    const QString& AllCommandsName() const { return m_allName; }
    bool AutoFromMenus() const { return m_autoFromMenus; }

    // Adds a copy of the button to the category, inserted after position
    // (appended for -1 or a position at or past the end), and one copy to
    // the all-commands category unless it holds the command already.  The
    // index in the category, or -1 when the button is not offered (a
    // framework command, or the category holds it already).
    int AddButton(const QString& category, const CKVTToolbarButton& button, int position = -1);
    int AddButton(uint32_t categoryStringId, const CKVTToolbarButton& button, int position = -1);
    // One button per command of a toolbar resource; false when it is missing.
    bool AddToolBar(const QString& category, uint32_t resourceId);
    bool AddToolBar(uint32_t categoryStringId, uint32_t resourceId);
    // The items of a menu: commands into the category (none: the
    // all-commands category), popups as categories of their own.
    void AddMenuCommands(const ui::Menu* menu, bool popup, const QString& category = {});
    // The shared menu of every template, then the frame's default menu or,
    // without one, the menu of its library menu bar.
    void SetupFromMenus(ui::MainFrameBase* frame);
    bool AddMenuFromResource(uint32_t menuId);
    // Removes the first button of the command; its former index or -1.
    int RemoveButton(const QString& category, uint32_t command);
    int RemoveButton(uint32_t categoryStringId, uint32_t command);
    // Every button of the command, in every category, becomes a copy of
    // button (a replacement without text keeps the old text).
    void ReplaceButton(uint32_t command, const CKVTToolbarButton& button);
    bool RenameCategory(const QString& oldName, const QString& newName);

    // The category names in order of first use (without the all-commands one).
    const QStringList& CategoryNames() const { return m_names; }
    // Null for an unknown name.
    const ButtonList* Buttons(const QString& category) const;
    // The all-commands buttons sorted by text.
    std::vector<const CKVTToolbarButton*> SortedAllCommands() const;
    // The text of the all-commands button of the command; empty when none.
    QString GetCommandName(uint32_t command) const;

    // "&&" becomes "&", a single "&" goes, and everything from the first Tab.
    static QString CleanText(const QString& text);
    // The text of a command's string after its first "\n" (the whole
    // string without one).
    static QString CommandText(uint32_t command);
    // Whether a command is never offered (the framework's own ranges).
    static bool IsHiddenCommand(uint32_t command);
    // Sorts buttons by text in Czech order.
    static void SortByText(std::vector<const CKVTToolbarButton*>& buttons);

private:
    static bool HasCommand(uint32_t id) { return id != 0 && id != 0xFFFFFFFF; }
    static int Find(const ButtonList& list, const CKVTToolbarButton& button);
    std::unique_ptr<CKVTToolbarButton> MakeCopy(const CKVTToolbarButton& button) const;

    bool m_autoFromMenus;
    QString m_allName;
    QStringList m_names;
    std::map<QString, ButtonList> m_categories;
    ButtonList m_all;
};
