#pragma once
// The control-bar base of every bar of the program: the bar style word, the
// control id, the owner frame, the fixed and dynamic layout and the
// non-client insets (borders and gripper), which are the widget's contents
// margins.  While visible the bar is a client of the idle updater.

#include "platform/ui/BarStyle.h"
#include "platform/ui/Command.h"
#include "platform/ui/DockContext.h"

#include <QPointer>
#include <QWidget>

namespace ui {

class ControlBar : public QWidget, public UpdateClient
{
    Q_OBJECT
public:
    explicit ControlBar(QWidget* parent = nullptr);
    ~ControlBar() override;

    // Creates the bar in parent: the bar style is style & 0x0040FFFF and
    // WS_VISIBLE shows it.  The owner is the frame it was created in.
    virtual bool Create(QWidget* parent, uint32_t style, uint32_t id);

    uint32_t GetBarStyle() const { return m_barStyle; }
    virtual void SetBarStyle(uint32_t style);
    uint32_t GetDlgCtrlID() const { return m_id; }
    QWidget* GetOwner() const { return m_owner; }
    void SetOwner(QWidget* owner) { m_owner = owner; }
    bool IsFloating() const { return (m_barStyle & CBRS_FLOATING) != 0; }
    bool IsHorizontal() const { return (m_barStyle & CBRS_ORIENT_HORZ) != 0; }
    bool IsCreated() const { return m_created; }
    // --- docking ---
    // Gives the bar a dock context from its frame (CBRS_ALIGN_ bits; 0 =
    // none).
    void EnableDocking(uint32_t sides);
    uint32_t GetEnabledAlignment() const { return m_dockSides; }
    bool HasDockContext() const { return m_dockContext != nullptr; }
    DockContext* GetDockContext() const { return m_dockContext.get(); }
    // A bar may install its own context (sizing bars do).
    void SetDockContext(std::unique_ptr<DockContext> context);
    // The site the bar lies in (DOCKBAR_TOP ... DOCKBAR_BOTTOM), DOCKBAR_FLOAT
    // when floating, 0 before it was docked anywhere.
    uint32_t GetDockSiteId() const { return m_siteId; }
    // Set by the docking engine; calls OnDockSiteChanged.
    void SetDockSiteId(uint32_t id);
    // The frame the bar docks in (its owner).
    QWidget* GetDockingFrame() const { return m_owner; }
    // Whether the bar is meant to be shown (its own visibility, whatever
    // its floating frame does).
    bool IsVisible() const { return !isHidden(); }
    // Whether the bar registers with its frame (popup menu bars do not).
    virtual bool RegistersWithFrame() const { return true; }
    // Hooks of sizing bars: the new site on each dock, float or move, and
    // "being shown in a site".
    virtual void OnDockSiteChanged(uint32_t siteId) { (void)siteId; }
    virtual void OnShownInSite() {}
    // A docked bar that gives way when its frame lacks room (a sizing
    // bar): the least it takes across a row (horizontal: its height), 0
    // for a bar that keeps its size; and the docked size limited to a
    // thickness, true when it changed (the floating size stays).
    virtual int LeastDockedThickness(bool horz) const
    {
        (void)horz;
        return 0;
    }
    virtual bool LimitDockedThickness(int thickness, bool horz)
    {
        (void)thickness;
        (void)horz;
        return false;
    }

    // Where the bar was last docked and last floated (for ToggleDocking and
    // the stored dock layout).
    struct DockMemory
    {
        uint32_t dockId = 0;
        int row = 0;
        int pos = 0;
        bool hasFloat = false;
        QPoint floatPos;
        bool horz = true;
    };
    DockMemory& Memory() { return m_memory; }
    const DockMemory& Memory() const { return m_memory; }
    // The position the bar keeps along its dock row.
    int DockPos() const { return m_dockPos; }
    void SetDockPos(int pos) { m_dockPos = pos; }

    // The border sizes (left, top, right, bottom).
    void SetBorders(int left, int top, int right, int bottom);
    QMargins Borders() const { return m_borders; }
    // The inside of rect: the border bits, the border sizes and the gripper
    // taken off.
    QRect CalcInsideRect(QRect rect, bool horz) const;

    virtual QSize CalcFixedLayout(bool stretch, bool horz);
    virtual QSize CalcDynamicLayout(int length, uint32_t mode);
    QSize sizeHint() const override;

    int LastFloatingWidth() const { return m_mruWidth; }
    void SetLastFloatingWidth(int w) { m_mruWidth = w; }

    // Runs from the idle updater while the bar is visible.
    void UpdateCmdUI() override { OnUpdateCmdUI(); }
    virtual void OnUpdateCmdUI() {}

protected:
    // Sets the contents margins from CalcInsideRect.
    void UpdateInsets();
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    // A left press on the bar's own area starts a dock drag; a double-click
    // toggles docking.
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    uint32_t m_barStyle = 0;
    uint32_t m_id = 0;
    QPointer<QWidget> m_owner;
    QMargins m_borders;
    int m_mruWidth = 32767;
    bool m_created = false;
    bool m_client = false;
    uint32_t m_dockSides = 0;
    uint32_t m_siteId = 0;
    int m_dockPos = 0;
    DockMemory m_memory;
    std::unique_ptr<DockContext> m_dockContext;
};

} // namespace ui
