#pragma once
// The customisable toolbar: the window of an ordered list of buttons with
// the hot and pressed button, clicks, hot tracking, tooltips and command
// state from the update handlers.  Its collaborators do the rest and are
// reached through it, never through forwarders on it: Items() is the button
// list (CKVTToolbarItems: count, indices, styles, the selected and
// dropped-down indices, the customize button, mnemonics), Layout() lays the
// buttons out in rows or columns (CKVTToolbarLayouter over the pure core
// KvtToolbarLayout), Customizer() handles customisation by mouse, the drop
// target and drops, the button context menu and whether the customisation
// sheet lists the bar (CKVTToolbarCustomizer), Store() keeps the stored state
// (CKVTToolbarStore); CKVTToolbarPainter draws the bar.  What all bars share
// is called on CKVTToolbarShared directly.  The bar itself keeps the
// button-list operations that do more than the list, its own flags and the
// virtual operations a derived bar replaces.  The menu bar and the popup
// menu bars derive from it.

#include "platform/sys/ObjectArchive.h"
#include "platform/ui/ControlBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarCustomizer.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTToolbarItems.h"
#include "uilib/KVTToolbarLayout.h"
#include "uilib/KVTToolbarLayouter.h"
#include "uilib/KVTToolbarPainter.h"
#include "uilib/KVTToolbarShared.h"
#include "uilib/KVTToolbarStore.h"

#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QMimeData;

class CKVTToolBar;
namespace ui {
class Menu;
}

class CKVTToolBar : public ui::ControlBar, public sys::ArchiveObject
{
    Q_OBJECT
public:
    static constexpr uint32_t Schema = 0x80000001;
    enum ImageKind { IMAGES_NORMAL, IMAGES_COLD, IMAGES_MENU, IMAGES_DISABLED, IMAGES_DISABLED_MENU, IMAGES_COUNT };

    explicit CKVTToolBar(QWidget* parent = nullptr);
    ~CKVTToolBar() override;

    const char* ArchiveClassName() const override { return "CKVTToolBar"; }
    // The stored bar: the storable buttons, the text-labels flag, the caption.
    // Loading replaces the buttons only when everything has loaded.
    void Serialize(sys::ObjectArchive& ar) override { m_store.Serialize(ar); }

    // Creation: CreateEx with control style 0x800 and borders 1, 1, 1, 1.
    bool Create(QWidget* parent, uint32_t style, uint32_t id) override;
    virtual bool CreateEx(QWidget* parent, uint32_t ctrlStyle, uint32_t style, const QMargins& borders,
                          uint32_t id);

    // --- the virtual operations (a derived bar may replace any of them) ---
    virtual void RemoveAllButtons();
    virtual void RestoreFocus();
    virtual QRect GetItemRect(int index) const;
    virtual QRect GetInvalidateItemRect(int index) const { return GetItemRect(index); }
    virtual void SetButtonStyle(int index, uint32_t style);
    virtual bool AllowChangeTextLabels() const { return true; }
    virtual bool LoadState(const QString& profile, int index = -1, uint32_t resourceId = 0xFFFFFFFF)
    {
        return m_store.LoadState(profile, index, resourceId);
    }
    virtual bool SaveState(const QString& profile, int index = -1, uint32_t resourceId = 0xFFFFFFFF)
    {
        return m_store.SaveState(profile, index, resourceId);
    }
    virtual bool CanBeRestored() const { return m_resourceId != 0; }
    virtual bool CanBeClosed() const { return !m_noClose; }
    virtual bool RestoreOriginalState();
    virtual void OnReset() {}
    virtual void AdjustLayout() { m_layout.AdjustLayout(); }
    virtual int HitTest(QPoint point) const { return m_layout.HitTest(point); }
    virtual bool SetDefaultButtonText(CKVTToolbarButton* button);
    virtual void OnFillBackground(QPainter&) {}
    virtual void SetHotButton(int index);
    virtual QSize CalcLayout(uint32_t mode, int length = -1) { return m_layout.CalcLayout(mode, length); }
    virtual void RepositionButtons() { m_layout.RepositionButtons(); }
    virtual bool OnSendCommand(CKVTToolbarButton*) { return false; }
    virtual bool IsPopupMenuBar() const { return false; }
    // Whether the bar works and paints in customisation mode (a popup of the
    // library's own commands never does).
    virtual bool InCustomizeMode() const { return CKVTToolbarShared::IsCustomizeMode(); }
    // Drops of dragged buttons (customisation mode; the drop target calls
    // them).  keyState has MK_CONTROL while Ctrl is held; the results are
    // drop effects.
    virtual int OnDragOver(const QMimeData* data, int keyState, const QPoint& point)
    {
        return m_customizer.OnDragOver(data, keyState, point);
    }
    // The insertion index and marker rectangle for a point (-1: none).
    virtual int FindDropIndex(const QPoint& point, QRect& marker) { return m_customizer.FindDropIndex(point, marker); }
    virtual void DrawDragMarker(QPainter& p) { m_painter.DrawDragMarker(p, m_customizer.DropMarker()); }
    // The button to insert from drag data; null when there is none (or the
    // appearance dialog it needed was cancelled).
    virtual std::unique_ptr<CKVTToolbarButton> CreateDroppedButton(const QMimeData* data)
    {
        return m_customizer.CreateDroppedButton(data);
    }

    // The collaborators, for what is not an operation of the bar itself:
    // sizes, layout passes, hit tests and drop places; the customisation
    // press, the width drag, the drop target and drops, the button context
    // menu and the listing in the customisation sheet; the stored record
    // and its registry key.
    CKVTToolbarLayouter& Layout() { return m_layout; }
    CKVTToolbarCustomizer& Customizer() { return m_customizer; }
    CKVTToolbarStore& Store() { return m_store; }
    virtual void DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz)
    {
        m_painter.DrawSeparator(p, button, horz);
    }
    virtual void OnCustomizeMode(bool on) { m_customizer.OnCustomizeMode(on); }
    // With a popup open: the previous (next) menu button, wrapping, becomes
    // hot and opens its popup with its first item selected.
    virtual bool DropDownPrevMenu();
    virtual bool DropDownNextMenu();
    // A hosted control's notification: the button's command goes out (as a
    // click sends it) when the button's NotifyCommand answers TRUE.
    void OnButtonNotify(CKVTToolbarButton* button, int code);
    virtual void OnCancelMode();
    // The tooltip text of the button under a point; FALSE: none.
    virtual bool OnToolHitTest(QPoint point, QString& text, QRect& rect);

    QSize CalcFixedLayout(bool stretch, bool horz) override { return m_layout.CalcFixedLayout(stretch, horz); }
    QSize CalcDynamicLayout(int length, uint32_t mode) override { return m_layout.CalcDynamicLayout(length, mode); }
    void OnUpdateCmdUI() override;

    // --- the button list ---
    // The list itself: counts, indices by command or button, what a button
    // has, the selected and dropped-down indices, the customize button and
    // the mnemonics (bar->Items().Count(), bar->Items().CommandToIndex(id)).
    CKVTToolbarItems& Items() { return m_items; }
    const CKVTToolbarItems& Items() const { return m_items; }
    // -1 (and the button is deleted) for a non-permitted command or an index
    // below -1 or above the count; -1 or the count appends.
    int InsertButton(std::unique_ptr<CKVTToolbarButton> button, int index = -1);
    int InsertSeparator(int index = -1);
    bool RemoveButton(int index) { return m_items.Remove(index); }
    CKVTToolbarButton* GetButton(int index) const { return m_items.At(index); }
    void InvalidateButton(int index);
    int GetHotButton() const { return m_items.hot; }
    // Where the last mouse press on the bar happened (client coordinates).
    QPoint LastPressPos() const { return m_lastPress; }
    // The overflow button: on appends a CCustomizeButton (kept last), off removes it.
    void EnableCustomizeButton(bool on, uint32_t customizeId, const QString& text);
    void SetButtons(const uint32_t* ids, int count);
    // Loads a toolbar resource; the optional cold, menu and disabled strips.
    bool LoadToolBar(uint32_t resourceId, uint32_t coldId = 0, uint32_t menuId = 0, uint32_t disabledId = 0,
                     bool locked = false);
    bool ReplaceButton(uint32_t command, const CKVTToolbarButton& button);
    bool SendMenuCommand(CKVTToolbarButton* button);

    // Shows the status text of a command (mapped by MapMessageId) in the
    // owner frame's message pane.
    void ShowCommandMessage(uint32_t id);

    // --- the bar's own state ---
    bool IsLocked() const { return m_locked; }
    void SetLocked(bool on) { m_locked = on; }
    bool GetTextLabels() const { return m_textLabels; }
    void SetTextLabels(bool on);
    bool IsMenuMode() const { return m_menuMode; }
    void SetMenuMode(bool on) { m_menuMode = on; }
    void SetNoClose(bool on) { m_noClose = on; }
    uint32_t GetResourceId() const { return m_resourceId; }
    CKVTToolbarImageList& OwnImages(ImageKind kind) { return m_ownImages[kind]; }

    // Hot tracking of a move at a point of the bar (mouse moves and the watch).
    void TrackMouse(QPoint point);

protected:
    void paintEvent(QPaintEvent* e) override { m_painter.Paint(e); }
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    // The mouse left the bar: the hot button and the prompt are cleared
    // unless the mouse watch runs, a popup of the bar is open (outside
    // customisation mode) or a button is held down.
    void leaveEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Besides the tooltips and the Esc of the width drag: a platform drag
    // from outside shows no drop effect and never reaches the frame (its
    // enter is taken, every move and the drop refused).
    bool event(QEvent* e) override;

    // Makes a button hot without the menu rules of SetHotButton: repaint and prompt.
    void SetHotIndex(int index);

private:
    class ToolCmdUI;
    friend class CKVTToolbarLayouter;
    friend class CKVTToolbarPainter;
    friend class CKVTToolbarCustomizer;
    friend class CKVTToolbarStore;
    friend class CKVTToolbarShared;

    CKVTToolbarItems m_items;
    CKVTToolbarLayouter m_layout{*this};
    CKVTToolbarPainter m_painter{*this};
    CKVTToolbarCustomizer m_customizer{*this};
    CKVTToolbarStore m_store{*this};
    std::array<CKVTToolbarImageList, IMAGES_COUNT> m_ownImages;
    bool m_locked = false;
    bool m_textLabels = false;
    int m_firstImage = 0;
    uint32_t m_resourceId = 0;
    bool m_menuMode = false;
    bool m_drawBorder = true;
    bool m_grayDisabled = true;
    bool m_noClose = false;
    uint32_t m_ctrlStyle = 0;
    QPoint m_lastPress;
};
