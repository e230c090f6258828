#pragma once
// The control-bar base of every bar of the program: the bar style word, the
// control id, the owner frame, the fixed and dynamic layout and the
// non-client insets (borders and gripper), which are the widget's contents
// margins.  While visible the bar is a client of the idle updater.

#include "platform/ui/BarStyle.h"
#include "platform/ui/Command.h"

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
    // Docking comes later: until then no bar has a dock context.
    bool HasDockContext() const { return false; }

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

private:
    uint32_t m_barStyle = 0;
    uint32_t m_id = 0;
    QPointer<QWidget> m_owner;
    QMargins m_borders;
    int m_mruWidth = 32767;
    bool m_created = false;
    bool m_client = false;
};

} // namespace ui
