#pragma once
// The library's resizable docking bar: a caption band with a gripper and
// two caption buttons (hide, expand), sizing edges, separate sizes for
// horizontal and vertical docking and floating, kept in the profile.
// Several bars of one dock row share its length (uilib/dock/SizingRow.h).
// CKVTDialogBar hosts a dialog form in such a bar.

#include "platform/ui/ControlBar.h"
#include "uilib/dock/SizingRow.h"

#include <QPointer>

#include <vector>

class CKVTToolDockBar;
class QRubberBand;

class CKVTSizingControlBar : public ui::ControlBar
{
    Q_OBJECT
public:
    static constexpr int kBorder = 5;     // the non-client band
    static constexpr int kEdge = 7;       // a sizing edge
    static constexpr int kGripper = 12;   // the caption band
    static constexpr int kButton = 13;    // a caption button

    explicit CKVTSizingControlBar(QWidget* parent = nullptr);
    ~CKVTSizingControlBar() override;

    // The plain bar's Create stays callable beside this one.
    using ui::ControlBar::Create;
    virtual bool Create(const QString& title, QWidget* parent, QSize defaultSize, bool gripper, uint32_t id,
                        uint32_t style = ui::WS_CHILD | ui::WS_VISIBLE | ui::CBRS_ALIGN_TOP);
    // The widget shown inside (owned).
    void SetContent(QWidget* content);
    QWidget* Content() const { return m_content; }

    // "%s-SCBar-%d" under the profile path (or "KVTSizingControlBar").
    virtual bool LoadState(const QString& profile);
    virtual bool SaveState(const QString& profile);
    static void LoadAllStates(const QString& profile);
    static void SaveAllStates(const QString& profile);
    // The live sizing bars (left when a bar is destroyed by any path).
    static const std::vector<CKVTSizingControlBar*>& AllBars();

    QSize CalcFixedLayout(bool stretch, bool horz) override;
    QSize CalcDynamicLayout(int length, uint32_t mode) override;
    void OnDockSiteChanged(uint32_t siteId) override;
    void OnShownInSite() override { m_rec.hold = true; }
    int LeastDockedThickness(bool horz) const override { return horz ? m_rec.minSize.cy : m_rec.minSize.cx; }
    bool LimitDockedThickness(int thickness, bool horz) override;
    // Disables the children while the customisation mode is on.
    virtual void OnCustomizeMode(bool on);

    bool IsExpanded() const { return m_rec.expanded; }
    bool CannotExpand() const { return m_rec.cannotExpand; }
    void ToggleExpanded();
    dock::SizingRecord& Record() { return m_rec; }
    uint32_t EdgeMask() const { return m_edges; }
    // The hit code at a point of the bar (docked).
    int HitTest(QPoint p) const;
    QRect EdgeRect(int hit) const;
    QRect ButtonRect(int index) const;   // 0 hide, 1 expand
    bool IsTracking() const { return m_tracking; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    CKVTToolDockBar* Site() const;
    bool HorzRow() const;
    dock::SizingLookup Lookup(std::map<int, dock::SizingRecord>& others) const;
    void UpdateEdges();
    void UpdateMargins();
    void StartTracking(int hit, QPoint global);
    void StopTracking(bool byRelease);
    void RecalcSite(bool now);

    dock::SizingRecord m_rec;
    uint32_t m_edges = 16;
    int m_gripper = 0;
    bool m_layoutPass = false;
    bool m_pendingExpand = false;
    bool m_tracking = false;
    int m_trackHit = 0;
    QPoint m_press;
    int m_pressedButton = -1;
    int m_hotButton = -1;

protected:
    QPointer<QWidget> m_content;

private:
    QRubberBand* m_band = nullptr;
};

class CKVTDialogBar : public CKVTSizingControlBar
{
    Q_OBJECT
public:
    using CKVTSizingControlBar::CKVTSizingControlBar;
    // The form dialogs/<templateId>.ui in a bar.  Without CBRS_SIZE_DYNAMIC
    // the bar keeps the form's size.
    using CKVTSizingControlBar::Create;
    bool Create(const QString& title, QWidget* parent, bool gripper, uint32_t templateId, uint32_t style,
                uint32_t id);
    // Each button child "c<id>" is enabled (and checked) by its command's
    // update handlers.
    void OnUpdateCmdUI() override;
    bool SetOccDialogInfo(void* info)
    {
        m_occ = info;
        return true;
    }
    QSize CalcFixedLayout(bool stretch, bool horz) override;
    QSize CalcDynamicLayout(int length, uint32_t mode) override;
    QSize TemplateSize() const { return m_template; }

private:
    QSize m_template;
    bool m_sizing = false;
    void* m_occ = nullptr;
};
