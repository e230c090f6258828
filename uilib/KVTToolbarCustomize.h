#pragma once
// The customisation sheet "Vlastní nastavení": a modeless property sheet
// owned by the library frame.  While it is open the library is in
// customisation mode: the toolbars accept dragged buttons and run no
// commands, and the frame's document area and status bar are disabled.
// It offers the commands by category (its catalogue), the toolbars, the
// keyboard, the menus, the mouse and the global options, and closes itself
// with "Zavřít".

#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandCategories.h"
#include "uilib/KVTCustomizeCatalogue.h"

#include <QListWidget>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>
#include <map>
#include <vector>

class CKVTFrameBase;
class CKVTMenuPage;
class CKVTOptionsPage;
class CKVTToolBar;
class CKVTToolbarsPage;
class QLabel;
class QPushButton;

// A page with a step of its own when the sheet closes (before the
// customisation mode ends).
class CKVTSheetLeaving
{
public:
    virtual ~CKVTSheetLeaving() = default;
    virtual void OnSheetClosing() = 0;
};

// The sheet's flags: which optional controls the pages show.
enum KvtCustomizeFlags : uint32_t {
    KVT_CUSTOMIZE_MENU_SHADOWS = 0x1,
    KVT_CUSTOMIZE_TEXT_LABELS = 0x2,
    KVT_CUSTOMIZE_LOOK2000 = 0x4,
    KVT_CUSTOMIZE_MENU_ANIMATION = 0x8,
    KVT_CUSTOMIZE_NO_HELP = 0x10,
};

class CKVTCustomizePage;

class CKVTToolbarCustomize : public ui::PropertySheet, public CKVTCommandCategories
{
    Q_OBJECT
public:
    // A further page (the caller's page classes).
    using PageFactory = std::function<ui::PropertyPage*()>;

    CKVTToolbarCustomize(CKVTFrameBase* frame, bool autoFromMenus = true, uint32_t flags = 0xFFFF,
                         const std::vector<PageFactory>& pages = {});
    ~CKVTToolbarCustomize() override;

    // Shows the sheet modeless, registers it with the frame helper and
    // starts the customisation mode.
    virtual bool Create();
    // The frame's customise command ("Nástroje > Vlastní...", ID_VIEW_CUSTOMIZE): the
    // sheet with auto-from-menus, the flags 0xFFFF, no further pages and
    // user-defined toolbars; an open sheet is brought to the front instead.
    static CKVTToolbarCustomize* OpenForFrame(CKVTFrameBase* frame);
    void EnableUserDefinedToolbars(bool enable);
    void CheckToolBarItem(CKVTToolBar* bar, bool show);
    // The mode on: the frame's other widgets disabled, the sizing bars and
    // the toolbars told, the frame notified; off gives the widgets their
    // earlier state back.
    void SetCustomize(bool mode);

    // --- the catalogue ---
    CKVTCustomizeCatalogue& Catalogue() { return m_catalogue; }
    const CKVTCustomizeCatalogue& Catalogue() const { return m_catalogue; }
    int AddButton(const QString& category, const CKVTToolbarButton& button, int position = -1)
    {
        return m_catalogue.AddButton(category, button, position);
    }
    int AddButton(uint32_t categoryId, const CKVTToolbarButton& button, int position = -1)
    {
        return m_catalogue.AddButton(categoryId, button, position);
    }
    bool AddToolBar(const QString& category, uint32_t resourceId) { return m_catalogue.AddToolBar(category, resourceId); }
    bool AddToolBar(uint32_t categoryId, uint32_t resourceId) { return m_catalogue.AddToolBar(categoryId, resourceId); }
    void AddMenuCommands(const ui::Menu* menu, bool popup, const QString& category = {})
    {
        m_catalogue.AddMenuCommands(menu, popup, category);
    }
    void SetupFromMenus();
    bool AddMenuFromResource(uint32_t menuId) { return m_catalogue.AddMenuFromResource(menuId); }
    int RemoveButton(const QString& category, uint32_t command) { return m_catalogue.RemoveButton(category, command); }
    int RemoveButton(uint32_t categoryId, uint32_t command) { return m_catalogue.RemoveButton(categoryId, command); }
    void ReplaceButton(uint32_t command, const CKVTToolbarButton& button) { m_catalogue.ReplaceButton(command, button); }
    bool RenameCategory(const QString& oldName, const QString& newName)
    {
        return m_catalogue.RenameCategory(oldName, newName);
    }
    void FillCategoriesListBox(QListWidget* list) const;

    // --- CKVTCommandCategories ---
    void FillCategoriesComboBox(QComboBox* combo) const override;
    std::vector<const CKVTToolbarButton*> GetCategoryButtons(const QString& name) const override;
    void FillAllCommandsList(QListWidget* list) const override;
    QString GetCommandName(uint32_t id) const override { return m_catalogue.GetCommandName(id); }

    CKVTFrameBase* Frame() const { return m_frame; }
    uint32_t Flags() const { return m_flags; }
    bool AutoFromMenus() const { return m_catalogue.AutoFromMenus(); }
    CKVTCustomizePage* CommandsPage() const { return m_commandsPage; }
    CKVTToolbarsPage* ToolbarsPage() const { return m_toolbarsPage; }
    CKVTMenuPage* MenuPage() const { return m_menuPage; }
    CKVTOptionsPage* OptionsPage() const { return m_optionsPage; }
    ui::PropertyPage* KeyboardPage() const { return m_keyboardPage; }
    ui::PropertyPage* MousePage() const { return m_mousePage; }
    QPushButton* CloseButton() const { return m_close; }
    QPushButton* HelpButton() const { return m_help; }
    // The widgets the mode disabled (tests).
    std::vector<QWidget*> DisabledWidgets() const;

    void reject() override;
    void accept() override {}

protected:
    void closeEvent(QCloseEvent* e) override;
    // Enter that no control took closes the sheet, as "Zavřít" does.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void OnHelp();
    void Leave();

    CKVTCustomizeCatalogue m_catalogue;
    CKVTFrameBase* m_frame;
    uint32_t m_flags;
    CKVTCustomizePage* m_commandsPage = nullptr;
    CKVTToolbarsPage* m_toolbarsPage = nullptr;
    ui::PropertyPage* m_keyboardPage = nullptr;
    CKVTMenuPage* m_menuPage = nullptr;
    ui::PropertyPage* m_mousePage = nullptr;
    CKVTOptionsPage* m_optionsPage = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_help = nullptr;
    std::map<QWidget*, QPointer<QWidget>> m_disabled;
    bool m_created = false;
    bool m_closed = false;
    // The frame's control that had the focus when the sheet opened; it
    // gets it back when the sheet closes.
    QPointer<QWidget> m_returnFocus;
};

// Draws each command with its button's own customise-list drawing.
class CKVTCommandItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The command list of the commands page: one item per button (the item
// data is the button), drawn by the button.  A press inside the selected
// item starts a drag of the button through the library's drag controller.
class CKVTCommandListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit CKVTCommandListBox(QWidget* parent = nullptr);
    static constexpr int ButtonRole = Qt::UserRole + 1;
    void AddButton(CKVTToolbarButton* button);
    CKVTToolbarButton* ButtonAt(int row) const;
    int ItemHeight() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
};

// The commands page "Příkazy" (dialog 16104).
class CKVTCustomizePage : public ui::PropertyPage
{
    Q_OBJECT
public:
    explicit CKVTCustomizePage(CKVTToolbarCustomize* sheet);
    bool OnInitDialog() override;
    void OnCategoryChanged();
    void OnCommandChanged();
    QListWidget* CategoryList() const { return m_categories; }
    CKVTCommandListBox* CommandList() const { return m_commands; }
    QLabel* Description() const { return m_description; }

private:
    CKVTToolbarCustomize* m_sheet;
    QListWidget* m_categories = nullptr;
    CKVTCommandListBox* m_commands = nullptr;
    QLabel* m_description = nullptr;
};
