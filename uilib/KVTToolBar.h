#pragma once
// The customisable toolbar: an ordered list of buttons (CKVTToolbarButton)
// laid out in rows or columns (KvtToolbarLayout), painted by the bar itself,
// with the hot and pressed button, command state from the update handlers,
// the stored state of the bar and the options shared by all bars.  The menu
// bar and the popup menu bars derive from it.

#include "platform/sys/ObjectArchive.h"
#include "platform/ui/ControlBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarDropTarget.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KvtToolbarLayout.h"

#include <QPointer>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <vector>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;

class CKVTToolBar;
class CCustomizeButton;
namespace ui {
class Menu;
}

// The framework's own commands: the recent files, the system and verb ranges, ID_TRANSIENT_FIRST and up
// (res/CommandIds.h).
bool IsFrameworkCommand(uint32_t id);

// The options shared by all bars (stored under "KVTToolbarParameters").
struct KvtToolbarOptions
{
    bool tooltips = true;
    bool shortcutKeys = true;
    bool largeIcons = false;
    uint32_t menuAnimation = 0;
    bool recentlyUsedMenus = true;
    bool menuShadows = true;
    bool showAllMenusAfterDelay = true;
    bool look2000 = false;
};

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
    void Serialize(sys::ObjectArchive& ar) override;

    // Creation: CreateEx with control style 0x800 and borders 1, 1, 1, 1.
    bool Create(QWidget* parent, uint32_t style, uint32_t id) override;
    virtual bool CreateEx(QWidget* parent, uint32_t ctrlStyle, uint32_t style, const QMargins& borders,
                          uint32_t id);
    uint32_t GetCtrlStyle() const { return m_ctrlStyle; }

    // --- the Part's virtual operations ---
    virtual void RemoveAllButtons();
    virtual int GetRowHeight() const;
    virtual int GetColumnWidth() const;
    virtual void RestoreFocus();
    virtual QRect GetItemRect(int index) const;
    virtual QRect GetInvalidateItemRect(int index) const;
    virtual void SetButtonStyle(int index, uint32_t style);
    virtual bool AllowChangeTextLabels() const { return true; }
    virtual bool LoadState(const QString& profile, int index = -1, uint32_t resourceId = 0xFFFFFFFF);
    virtual bool SaveState(const QString& profile, int index = -1, uint32_t resourceId = 0xFFFFFFFF);
    virtual bool RemoveStateFromRegistry(const QString& profile, int index = -1, uint32_t resourceId = 0xFFFFFFFF);
    virtual bool CanBeRestored() const { return m_resourceId != 0; }
    virtual bool CanBeClosed() const { return !m_noClose; }
    virtual bool RestoreOriginalState();
    virtual void OnReset() {}
    virtual void AdjustLayout();
    virtual int HitTest(QPoint point) const;
    virtual bool SetDefaultButtonText(CKVTToolbarButton* button);
    virtual void OnFillBackground(QPainter&) {}
    virtual QSize CalcSize(bool vertical);
    virtual void SetHotButton(int index);
    virtual QSize CalcLayout(uint32_t mode, int length = -1);
    virtual void DrawButton(QPainter& p, CKVTToolbarButton* button, CKVTToolbarImageList* images,
                            bool highlighted, bool grayDisabled);
    virtual void RepositionButtons();
    virtual bool OnSendCommand(CKVTToolbarButton*) { return false; }
    virtual bool IsPopupMenuBar() const { return false; }
    // Whether the bar works and paints in customisation mode (a popup of the
    // library's own commands never does).
    virtual bool InCustomizeMode() const { return s_customizeMode; }
    // Drops of dragged buttons (customisation mode; the drop target calls
    // them).  keyState has MK_CONTROL while Ctrl is held; the results are
    // drop effects.
    virtual int OnDragEnter(const QMimeData* data, int keyState, const QPoint& point);
    virtual int OnDragOver(const QMimeData* data, int keyState, const QPoint& point);
    virtual void OnDragLeave();
    virtual bool OnDrop(const QMimeData* data, int effect, const QPoint& point);
    // The insertion index and marker rectangle for a point (-1: none).
    virtual int FindDropIndex(const QPoint& point, QRect& marker);
    virtual void DrawDragMarker(QPainter& p);
    // The button to insert from drag data; null when there is none (or the
    // appearance dialog it needed was cancelled).
    virtual std::unique_ptr<CKVTToolbarButton> CreateDroppedButton(const QMimeData* data);
    // A button dragged a little along the bar: 6 pixels or more right (down)
    // gives it a separator before it, left (up) takes that separator away.
    void AddRemoveSeparator(CKVTToolbarButton* button, QPoint start, QPoint end);
    int GetDropIndex() const { return m_dropIndex; }
    QRect GetDropMarker() const { return m_dropMarker; }
    CKVTToolbarButton* GetDragButton() const { return m_dragButton; }
    bool IsResizing() const { return m_resizing; }
    // The press of customisation mode (and of an Alt-drag): selection,
    // width drag, button drag; FALSE when it is not one.
    bool OnCustomizePress(QMouseEvent* e);
    CKVTToolbarDropTarget& DropTarget() { return m_dropTarget; }
    bool RegistersWithFrame() const override { return !IsPopupMenuBar(); }
    virtual void DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz);
    virtual bool OnMenuKey(int) { return false; }
    virtual void OnCustomizeMode(bool on);
    // With a popup open: the previous (next) menu button, wrapping, becomes
    // hot and opens its popup with its first item selected.
    virtual bool DropDownPrevMenu();
    virtual bool DropDownNextMenu();
    // The button context menu of customisation mode (menu 16102).
    virtual void PrepareCustomizeMenu(CKVTToolbarButton* button, ui::Menu& menu);
    // The context menu at a screen point ((-1, -1): from the keyboard).
    virtual void OnContextMenu(QWidget* window, QPoint screenPoint);
    // A hosted control's notification: the button's command goes out (as a
    // click sends it) when the button's NotifyCommand answers TRUE.
    void OnButtonNotify(CKVTToolbarButton* button, int code);
    // Runs a command of the button context menu (ID_BUTTON_RESET .. ID_BUTTON_NEW_MENU) on
    // the selected button.
    void OnCustomizeCommand(uint32_t id);
    // The appearance dialog for a button of this bar; TRUE for OK.
    bool RunAppearanceDialog(CKVTToolbarButton* button);
    virtual void OnCancelMode();
    virtual void OnMouseLeave();
    // The tooltip text of the button under a point; FALSE: none.
    virtual bool OnToolHitTest(QPoint point, QString& text, QRect& rect);

    QSize CalcFixedLayout(bool stretch, bool horz) override;
    QSize CalcDynamicLayout(int length, uint32_t mode) override;
    void OnUpdateCmdUI() override;

    // --- the button list ---
    int GetCount() const { return int(m_buttons.size()); }
    // -1 (and the button is deleted) for a non-permitted command or an index
    // below -1 or above the count; -1 or the count appends.
    int InsertButton(std::unique_ptr<CKVTToolbarButton> button, int index = -1);
    int InsertButton(const CKVTToolbarButton& button, int index = -1); // inserts a copy
    int InsertSeparator(int index = -1);
    bool RemoveButton(int index);
    CKVTToolbarButton* GetButton(int index) const;
    void InvalidateButton(int index);
    int GetHotButton() const { return m_hot; }
    int GetPressedButton() const { return m_pressed; }
    int GetSelectedButton() const { return m_selected; }
    void SetSelectedButton(int index) { m_selected = index; }
    int GetDroppedDownMenu() const { return m_droppedDown; }
    void SetDroppedDown(int index) { m_droppedDown = index; }
    int IndexOf(const CKVTToolbarButton* button) const;
    // Where the last mouse press on the bar happened (client coordinates).
    QPoint LastPressPos() const { return m_lastPress; }
    // The overflow button: on appends a CCustomizeButton (kept last), off removes it.
    void EnableCustomizeButton(bool on, uint32_t customizeId, const QString& text);
    CCustomizeButton* GetCustomizeButton() const { return m_customize; }
    void SetButtons(const uint32_t* ids, int count);
    // Loads a toolbar resource; the optional cold, menu and disabled strips.
    bool LoadToolBar(uint32_t resourceId, uint32_t coldId = 0, uint32_t menuId = 0, uint32_t disabledId = 0,
                     bool locked = false);
    bool ReplaceButton(uint32_t command, const CKVTToolbarButton& button);
    bool SendMenuCommand(CKVTToolbarButton* button);

    // Index helpers.
    int CommandToIndex(uint32_t id) const;
    uint32_t GetItemID(int index) const;
    uint32_t GetButtonStyle(int index) const;
    QString GetButtonText(int index) const;
    bool SetButtonText(int index, const QString& text);
    void GetButtonInfo(int index, uint32_t& id, uint32_t& style, int& image) const;
    void SetButtonInfo(int index, uint32_t id, uint32_t style, int image);

    // Shows the status text of a command (mapped by MapMessageId) in the
    // owner frame's message pane.
    void ShowCommandMessage(uint32_t id);
    static uint32_t MapMessageId(uint32_t id);

    // --- the bar's own state ---
    bool IsLocked() const { return m_locked; }
    void SetLocked(bool on) { m_locked = on; }
    bool m_largeIcons = true; // takes part in large icons
    bool GetTextLabels() const { return m_textLabels; }
    void SetTextLabels(bool on);
    bool IsMenuMode() const { return m_menuMode; }
    void SetMenuMode(bool on) { m_menuMode = on; }
    void SetNoClose(bool on) { m_noClose = on; }
    // Keeps the bar out of the customisation sheet's list of toolbars.
    void SetHideInCustomizeList(bool on) { m_hideInCustomizeList = on; }
    bool IsHiddenInCustomizeList() const { return m_hideInCustomizeList; }
    int GetFixedLength() const { return m_fixedLength; }
    void SetFixedLength(int length) { m_fixedLength = length; }
    uint32_t GetResourceId() const { return m_resourceId; }
    int GetFirstImageIndex() const { return m_firstImage; }
    bool GetLabelsTaller() const { return m_labelsTaller; }
    int GetLabelHeight() const { return m_labelHeight; }
    QSize GetButtonSize() const;
    QSize GetImageSize() const;
    QSize GetOwnButtonSize() const { return m_ownButton; }
    QSize GetCurrentOwnButtonSize() const { return m_curOwnButton; }
    void SetOwnSizes(QSize button, QSize image);
    CKVTToolbarImageList& OwnImages(ImageKind kind) { return m_ownImages[kind]; }
    CKVTToolbarButton* FindMnemonic(QChar c) const;
    void SetDrawBorder(bool on) { m_drawBorder = on; }
    void SetGrayDisabled(bool on) { m_grayDisabled = on; }

    // The key of the bar's state: prefix + "KVTToolBar-%d%x" (or "-%d" for
    // resource id -1); the prefix is GetRegPath("KVTToolBars", profile).
    QString StateKey(const QString& profile, int index, uint32_t resourceId) const;
    // Forgets which bar saved under which key (tests).
    static void ClearStateKeyRecord();
    // The stored bytes of the bar (Serialize) and loading from them; false
    // (bar unchanged) for damaged data.
    std::vector<uint8_t> StoreButtons();
    bool LoadButtons(const std::vector<uint8_t>& bytes);

    // --- statics ---
    static const std::vector<CKVTToolBar*>& AllBars() { return s_bars; }
    static bool SetCustomizeMode(bool on);
    static bool IsCustomizeMode() { return s_customizeMode; }
    static bool IsTempCustomizeMode() { return s_tempCustomize; }
    static void SetAltCustomization(bool on) { s_altCustomize = on; }
    static bool IsAltCustomization() { return s_altCustomize; }
    static void SetLargeIcons(bool on);
    static void SetLook2000(bool on);
    static void SetMenuSizes(QSize button, QSize image);
    static QSize GetMenuButtonSize() { return s_menuButton; }
    static QSize GetMenuImageSize() { return s_menuImage; }
    static void SetDefaultSizes(QSize button, QSize image);
    static QSize GetDefaultButtonSize() { return s_defaultButton; }
    static QSize GetDefaultImageSize() { return s_defaultImage; }
    static QSize GetCurrentButtonSize() { return s_curButton; }
    static QSize GetCurrentImageSize() { return s_curImage; }
    static void SetNonPermittedCommands(const std::vector<uint32_t>& ids) { s_nonPermitted = ids; }
    static bool IsCommandPermitted(uint32_t id);
    static void SetBasicCommands(const std::vector<uint32_t>& ids) { s_basic = ids; }
    static bool IsBasicCommand(uint32_t id);
    // Whether the application gave basic commands (the recently-used menus).
    static bool HasBasicCommands() { return !s_basic.empty(); }
    static bool IsCommandRarelyUsed(uint32_t id);
    static bool SetUserImages(CKVTToolbarImageList* images);
    static CKVTToolbarImageList* GetUserImages() { return s_userImages; }
    static CKVTToolbarImageList* GetSharedImages(ImageKind kind);
    static KvtToolbarOptions& Options() { return s_options; }
    static bool LoadParameters(const QString& profile);
    static bool SaveParameters(const QString& profile);
    static void CleanUp();
    // Loads the images of a toolbar resource into the shared strips and the
    // command-image map without making a bar of it (images for the menus).
    static bool LoadSharedImages(uint32_t resourceId);
    // The system sounds "MenuCommand" and "MenuPopup": nothing on this system.
    static void PlaySystemSound(const char* name) { (void)name; }
    // The mouse watch: while it is on, the bar under the mouse follows every
    // move (KvtEventFilter), the message pane gets nothing from the bars and
    // leaving a bar is ignored.  Off cancels every bar.
    static void SetMouseHook(bool on);
    static bool IsMouseHook();
    // Hot tracking of a move at a point of the bar (mouse moves and the watch).
    void TrackMouse(QPoint point);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    // A platform drag from outside shows no drop effect and never reaches
    // the frame: enter is taken, every move refused.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool event(QEvent* e) override;

    // Makes a button hot without the menu rules of SetHotButton: repaint and prompt.
    void SetHotIndex(int index);
    void PaintNonClient(QPainter& p);
    void DrawBarGripper(QPainter& p, QRect band, bool horz);
    void CalcMaxLabelHeight();
    void RebuildMnemonics();
    std::vector<KvtLayoutButton> LayoutItems(bool horz);
    KvtLayoutBar LayoutBar(bool horz) const;
    CKVTToolbarImageList* ImageList(ImageKind kind);
    void UpdateOwnCurrentSizes();
    // The layout core's drop place for a point under rules.
    KvtDropPlace FindDropPlace(const QPoint& point, const KvtDropRules& rules, bool horz);

private:
    class ToolCmdUI;

    std::array<CKVTToolbarImageList, IMAGES_COUNT> m_ownImages;
    bool m_locked = false;
    CKVTToolbarDropTarget m_dropTarget;
    bool m_textLabels = false;
    bool m_labelsTaller = false;
    int m_labelHeight = 0;
    QSize m_ownButton{23, 22};
    QSize m_ownImage{16, 15};
    QSize m_curOwnButton{23, 22};
    QSize m_curOwnImage{16, 15};
    int m_pressed = -1;
    int m_hot = -1;
    int m_selected = -1;
    int m_droppedDown = -1;
    int m_fixedLength = -1;
    std::vector<std::unique_ptr<CKVTToolbarButton>> m_buttons;
    int m_firstImage = 0;
    uint32_t m_resourceId = 0;
    bool m_menuMode = false;
    std::map<QChar, CKVTToolbarButton*> m_mnemonics;
    bool m_drawBorder = true;
    bool m_grayDisabled = true;
    bool m_noClose = false;
    bool m_hideInCustomizeList = false;
    uint32_t m_ctrlStyle = 0;
    CCustomizeButton* m_customize = nullptr;
    QPoint m_lastPress;
    // Customisation by mouse.
    int m_dropIndex = -1;
    QRect m_dropMarker;
    CKVTToolbarButton* m_dragButton = nullptr;
    QPoint m_dragStart{-1, -1};
    bool m_copy = false;
    bool m_resizing = false;
    QRect m_resizeRect;
    CKVTToolbarButton* m_resizeButton = nullptr;
    void StartButtonDrag(int index, QMouseEvent* e, bool temporary);
    void OnDragDone(int effect, bool started, bool escape, bool deleted, QPoint releasePos);
    void EndResize(bool apply, QPoint point);

    static std::vector<CKVTToolBar*> s_bars;
    static bool s_customizeMode;
    static bool s_tempCustomize;
    static bool s_altCustomize;
    static QSize s_defaultButton, s_defaultImage, s_curButton, s_curImage, s_menuButton, s_menuImage;
    static std::vector<uint32_t> s_nonPermitted;
    static std::vector<uint32_t> s_basic;
    static CKVTToolbarImageList* s_userImages;
    static KvtToolbarOptions s_options;
};
