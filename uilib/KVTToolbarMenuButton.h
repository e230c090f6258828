#pragma once
// The menu buttons: CKVTToolbarMenuButton opens a popup menu built from its
// sub-items (every item of the menu bar and of every popup is one), and the
// special kinds built on the buttons: the overflow button at the end of a
// toolbar (CCustomizeButton), the entry that expands a shortened popup
// (CKVTShowAllButton), and the maximised document window's icon and caption
// buttons on the menu bar (CKVTToolbarSystemMenuButton,
// CKVTToolbarMenuButtonsButton).

#include "uilib/KVTToolbarButton.h"

#include <QIcon>
#include <QPointer>

#include <memory>
#include <vector>

class CKVTPopupMenu;
class QMdiSubWindow;
namespace ui {
class Menu;
}

// The style bit of a sub-item that starts a new menu column.
constexpr uint32_t TBBS_BREAK = 0x20000000;
// The command id of a popup item in the button form.
constexpr uint32_t KVT_POPUP_ID = 0xFFFFFFFF;

class CKVTToolbarMenuButton : public CKVTToolbarButton
{
public:
    CKVTToolbarMenuButton();
    CKVTToolbarMenuButton(uint32_t command, const ui::Menu* menu, int image,
                          const QString& text = {}, bool userImage = false);
    CKVTToolbarMenuButton(const CKVTToolbarMenuButton& src);
    ~CKVTToolbarMenuButton() override;

    const char* ArchiveClassName() const override { return "CKVTToolbarMenuButton"; }
    void Serialize(sys::ObjectArchive& ar) override;

    // The Part's own virtual operations.
    virtual bool OpenPopupMenu(QWidget* parent = nullptr);
    virtual void CreateFromMenu(const ui::Menu* menu);
    virtual std::unique_ptr<ui::Menu> CreateMenu() const;
    virtual CKVTPopupMenu* CreatePopupMenu();
    virtual bool IsEmptyMenuAllowed() const { return false; }

    void CopyFrom(const CKVTToolbarButton& src) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
              bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled) override;
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    bool OnClick(CKVTToolBar* bar, bool delay = true) override;
    void OnParentChanged(CKVTToolBar* bar) override;
    void OnCancelMode() override;
    bool IsDroppedDown() const override { return m_popup != nullptr; }
    bool OnBeforeDrag() override;
    bool OnContextHelp(CKVTToolBar* bar) override;
    void NotifyTopLevelMenu() override;
    bool HaveHotBorder() const override { return false; }

    // The size of the arrow part: the menu image width / 2 + 3 by the glyph height.
    static QSize ArrowSize();

    const std::vector<std::unique_ptr<CKVTToolbarMenuButton>>& SubItems() const
    {
        return m_subItems;
    }
    std::vector<std::unique_ptr<CKVTToolbarMenuButton>>& SubItems() { return m_subItems; }
    CKVTPopupMenu* GetPopupMenu() const { return m_popup; }
    void SetPopupMenu(CKVTPopupMenu* popup);
    CKVTToolBar* GetParentBar() const { return m_parentBar; }
    // Puts the buttons of a bar back as the sub-items (a customised popup
    // written back); without the show-all button.
    void SetSubItemsFrom(const CKVTToolBar* bar);

    bool m_arrow = false;
    bool m_popupItem = false;
    bool m_default = false;
    bool m_clickedArrow = false;
    bool m_horz = true;

protected:
    void DeleteSubItems() { m_subItems.clear(); }
    std::vector<std::unique_ptr<CKVTToolbarMenuButton>> m_subItems;
    QPointer<CKVTPopupMenu> m_popup;
    QPointer<CKVTToolBar> m_parentBar;
    QString m_shortcutText;
};

// The overflow button: "More Buttons", a popup of the hidden buttons and
// the customise command.
class CCustomizeButton : public CKVTToolbarMenuButton
{
public:
    CCustomizeButton();
    CCustomizeButton(uint32_t customizeId, const QString& customizeText);
    const char* ArchiveClassName() const override { return "CCustomizeButton"; }
    void CopyFrom(const CKVTToolbarButton& src) override;
    bool CanBeStored() const override { return false; }
    bool IsEditable() const override { return false; }
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
              bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled) override;
    void OnParentChanged(CKVTToolBar* bar) override;
    std::unique_ptr<ui::Menu> CreateMenu() const override;
    CKVTPopupMenu* CreatePopupMenu() override;
    bool IsEmptyMenuAllowed() const override { return true; }

    void ClearHiddenButtons() { m_hiddenButtons.clear(); }
    void AddHiddenButton(CKVTToolbarButton* b) { m_hiddenButtons.push_back(b); }
    const std::vector<CKVTToolbarButton*>& HiddenButtons() const { return m_hiddenButtons; }
    uint32_t GetCustomizeId() const { return m_customizeId; }
    // The items of the popup (made by the popup when it builds).
    std::vector<std::unique_ptr<CKVTToolbarButton>> MakePopupItems() const;

private:
    uint32_t m_customizeId = 0;
    QString m_customizeText;
    QPointer<CKVTToolBar> m_toolbar;
    std::vector<CKVTToolbarButton*> m_hiddenButtons;
};

// The last item of a shortened popup: shows all items.
class CKVTShowAllButton : public CKVTToolbarMenuButton
{
public:
    CKVTShowAllButton();
    const char* ArchiveClassName() const override { return "CKVTShowAllButton"; }
    bool CanBeStored() const override { return false; }
    bool IsEditable() const override { return false; }
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
              bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled) override;
    bool OnClick(CKVTToolBar* bar, bool delay = true) override;
    bool OpenPopupMenu(QWidget*) override { return false; }
    // The tooltip: "Expand (Ctrl+Down)".
    bool GetCustomToolTipText(QWidget* owner, QString& text) override;
};

// The maximised document window's icon at the start of the menu bar.
class CKVTToolbarSystemMenuButton : public CKVTToolbarMenuButton
{
public:
    CKVTToolbarSystemMenuButton() = default;
    explicit CKVTToolbarSystemMenuButton(QMdiSubWindow* child);
    const char* ArchiveClassName() const override { return "CKVTToolbarSystemMenuButton"; }
    void Serialize(sys::ObjectArchive&) override {}
    bool CanBeStored() const override { return false; }
    bool IsEditable() const override { return false; }
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
              bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled) override;
    void OnDblClick(CKVTToolBar* bar) override;
    std::unique_ptr<ui::Menu> CreateMenu() const override;
    void OnParentChanged(CKVTToolBar* bar) override;
    QMdiSubWindow* Child() const { return m_child; }

private:
    QPointer<QMdiSubWindow> m_child;
};

// A minimise, restore or close button of the maximised document window.
class CKVTToolbarMenuButtonsButton : public CKVTToolbarButton
{
public:
    CKVTToolbarMenuButtonsButton() = default;
    explicit CKVTToolbarMenuButtonsButton(uint32_t sysCommand);
    const char* ArchiveClassName() const override { return "CKVTToolbarMenuButtonsButton"; }
    void Serialize(sys::ObjectArchive&) override {}
    bool CanBeStored() const override { return false; }
    bool IsEditable() const override { return false; }
    bool HaveHotBorder() const override { return false; }
    QSize CalculateSize(QSize defaultSize, bool horz) override;
    void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
              bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled) override;
    static QSize CaptionButtonSize() { return QSize(16, 14); }
};

// Draws a caption button: a raised 3-D frame (sunken while pressed) with
// the glyph of the system command centred (disabled glyph when disabled).
void DrawCaptionButton(QPainter& p, const QRect& rect, uint32_t sysCommand, bool pressed,
                       bool disabled);
// The caption glyph of a system command (-1 for none), normal or disabled.
int CaptionGlyph(uint32_t sysCommand, bool disabled);
