#pragma once
// The application's four docking bars on sizing bars with a caption: the
// project explorer, the debug (watch) bar, the output bar and the connection
// bar.  CAppBar adds a content window that fills the bar (kept in place by
// CControlLayout), a saved status and sizes under "EdtLib\IDE\<profile
// name>", and a context menu and property sheet to which every window of the
// parent chain may contribute (IContextChainHandler).

#include "mainwnd/SizingControlBar.h"
#include "platform/ui/Command.h"
#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"

#include <QPointer>

#include <functional>
#include <map>

class CFontColorPage;
class COutputCtrl;
class CStrandworkDoc;
class CPropertySheetPlus;
namespace ui {
class Document;
class Menu;
class View;
} // namespace ui
namespace linkui {
class CConInfoDlg;
}

// The chain protocol of context menus and property sheets: the bar asks
// itself and then each parent up the chain.  Result bits: 0x1 the window
// added something, 0x2 stop walking, 0x4 the menu now ends with a
// separator, 0x8 offer the properties item; the others count only with 0x1.
class IContextChainHandler
{
public:
    enum : uint32_t { Added = 0x1, Stop = 0x2, EndsWithSeparator = 0x4, WantsProperties = 0x8 };
    virtual ~IContextChainHandler() = default;
    virtual uint32_t AddContextItems(uint32_t previous, ui::Menu& menu) = 0;
    // 0x2 when the command was handled.
    virtual uint32_t RunContextCommand(uint32_t id) = 0;
    virtual uint32_t AddPropertyPages(uint32_t previous, CPropertySheetPlus& sheet) = 0;
};

// Keeps child windows laid out in their owner.  Flags 0xF0 keep a child
// filling the owner's client area: left 0 (0x10), top 0 (0x20), the
// client's width (0x40) and height (0x80); 0x1 moves the child with the
// right edge, 0x2 with the bottom edge, 0x4 and 0x8 stretch its right and
// bottom edges with them.
class CControlLayout
{
public:
    explicit CControlLayout(QWidget* owner) : m_owner(owner) {}
    void AddControl(QWidget* w, uint32_t flags, QRect rect = {}, QWidget* reference = nullptr);
    void RemoveControl(QWidget* w);
    void Layout(int cx, int cy);
    bool Contains(QWidget* w) const;

private:
    struct Entry
    {
        QPointer<QWidget> window;
        uint32_t flags = 0;
        QRect rect;      // relative to the owner's client area when added
        QSize client;    // the client size then
        QPointer<QWidget> reference;
    };
    QWidget* m_owner;
    std::vector<Entry> m_entries;
};

// A property sheet that owns the pages added to it: a page is added once,
// and RemovePage deletes it.
class CPropertySheetPlus : public ui::PropertySheet
{
    Q_OBJECT
public:
    using ui::PropertySheet::PropertySheet;
    bool AddPage(ui::PropertyPage* page);
    bool RemovePage(ui::PropertyPage* page);
    bool RemovePage(int index) { return RemovePage(GetPage(index)); }
};

class CAppBar : public CSizingControlBarCF, public ui::CommandTarget, public IContextChainHandler
{
    Q_OBJECT
public:
    // Status word: the dock site (mask 0xE81F, 0 floating), dockable,
    // visible.
    enum : uint32_t { StatusSiteMask = 0xE81F, StatusDockable = 0x40000000, StatusVisible = 0x80000000 };
    enum : uint32_t {
        ID_DOCKABLE = ID_BAR_DOCKABLE,
        ID_HIDE = ID_BAR_HIDE,
        ID_PROPERTIES = ID_BAR_PROPERTIES
    };
    enum : uint32_t { IDR_BAR_MENU = 4108 };

    CAppBar();
    ~CAppBar() override;

    // Makes the content view of the document as a child of the bar and runs
    // its initial update; null on failure.
    virtual ui::View* CreateView(const std::function<ui::View*()>& factory, QSize size, ui::Document* document,
                                 uint32_t id);
    virtual QString GetProfileName() const = 0;
    // Creates the bar: saved state (wins over status and rect), the sizing
    // bar, docking, docked or floated, hidden without the visible bit.
    virtual bool CreateBar(const QString& caption, QRect rect, uint32_t styleWord, uint32_t status, uint32_t id,
                           QWidget* parent);

    virtual bool AttachProject(CStrandworkDoc* project) { return project != nullptr; }
    virtual bool DetachProject() { return true; }

    // "EdtLib\IDE\<profile name>": "status", the six sizes, "floatLeft",
    // "floatTop".  Loading stops at the first missing value (false).  The
    // sizing bar's forms with a section name stay callable.
    bool LoadState();
    bool SaveState();
    using CSizingControlBarCF::LoadState;
    using CSizingControlBarCF::SaveState;
    // The status as it would be stored now.
    uint32_t CurrentStatus() const;
    uint32_t Status() const { return m_status; }
    bool IsDockable() const { return (m_status & StatusDockable) != 0; }
    // The float position of the last LoadState (-1 none).
    QPoint StoredFloatPos() const { return m_floatPos; }
    CControlLayout& Layout() { return m_layout; }
    // The content window (view, output control or connection monitor).
    QWidget* Content() const { return m_content; }

    // The context menu at a global point (the chain protocol); the chosen
    // command, 0 for none.
    uint32_t RunContextMenu(const QPoint& global);
    // The property sheet of command ID_PROPERTIES; its result (0 without pages).
    int ShowProperties();
    // ID_DOCKABLE: toggles dockable (a docked bar floats first).
    void OnDockable();
    void OnHide();
    // Docking on or off with the status bit.
    void SetDockable(bool on);
    // The frame lays its bars out again.
    void RecalcFrame();
    // Floats a docked bar or docks a floating one where it was.
    void ToggleDocking();

    uint32_t AddContextItems(uint32_t previous, ui::Menu& menu) override;
    uint32_t RunContextCommand(uint32_t id) override;
    uint32_t AddPropertyPages(uint32_t previous, CPropertySheetPlus& sheet) override;

    void OnUpdateCmdUI() override;
    // The menu the last RunContextMenu showed (tests).
    const ui::Menu* LastMenu() const { return m_lastMenu.get(); }
    // Shows the context menu through this hook instead of a popup when set
    // (tests).
    static void SetMenuHook(std::function<uint32_t(const ui::Menu&)> hook);

protected:
    void SetContent(QWidget* w);
    // Destroys a view of the project: the document's auto-delete is off
    // meanwhile, so that the project outlives its last view.
    static void DestroyProjectView(QPointer<ui::View>& view);
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

    CControlLayout m_layout{this};
    uint32_t m_status = 0;
    QPoint m_floatPos{-1, -1};
    QPointer<QWidget> m_content;
    std::unique_ptr<ui::Menu> m_lastMenu;
};

class CProjectExplorerBar : public CAppBar
{
    Q_OBJECT
public:
    enum : unsigned { IDS_CAPTION = 4239 };
    bool CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id);
    using CAppBar::CreateBar;
    QString GetProfileName() const override { return QStringLiteral("ProjectExplorerBar"); }
    bool AttachProject(CStrandworkDoc* project) override;
    bool DetachProject() override;
    // The explorer view's factory, registered by the application; without
    // one AttachProject fails.
    static void SetViewClass(std::function<ui::View*()> factory);
    ui::View* View() const { return m_view; }

private:
    QPointer<ui::View> m_view;
};

class CDebugBar : public CAppBar
{
    Q_OBJECT
public:
    enum : unsigned { IDS_CAPTION = 4238 };
    bool CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id, CFontColorPage* registry,
                   const QString& category);
    using CAppBar::CreateBar;
    QString GetProfileName() const override { return QStringLiteral("DebugBar"); }
    bool AttachProject(CStrandworkDoc* project) override;
    bool DetachProject() override;
    ui::View* View() const { return m_view; }

private:
    QPointer<ui::View> m_view;
    QPointer<CFontColorPage> m_registry;
    QString m_category;
};

class COutputBar : public CAppBar
{
    Q_OBJECT
public:
    enum : unsigned { IDS_CAPTION = 4237 };
    bool CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id, CFontColorPage* registry,
                   const QString& category);
    using CAppBar::CreateBar;
    QString GetProfileName() const override { return QStringLiteral("OutputBar"); }
    bool AttachProject(CStrandworkDoc*) override { return true; }
    COutputCtrl* Output() const;
};

class CConInfoBar : public CAppBar
{
    Q_OBJECT
public:
    enum : unsigned { IDS_CAPTION = 4236 };
    bool CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id);
    using CAppBar::CreateBar;
    QString GetProfileName() const override { return QStringLiteral("ConInfoBar"); }
    bool AttachProject(CStrandworkDoc* project) override;
    bool DetachProject() override;
    linkui::CConInfoDlg* Monitor() const;

private:
    QPointer<linkui::CConInfoDlg> m_monitor;
};

// The bar's own property page (dialog 4107): dockable (1001) and docked
// (1003).
class CAppBarPropPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int { IDD = 4107, IDC_DOCKABLE = 1001, IDC_DOCKED = 1003 };
    explicit CAppBarPropPage(CAppBar* bar);
    bool OnSetActive() override;
    void OnOK() override;
    void DoDataExchange(ui::DataExchange& dx) override;

private:
    void UpdateEnabled();
    QPointer<CAppBar> m_bar;
    int m_dockable = 0;
    int m_docked = 0;
    bool m_filled = false;
};
