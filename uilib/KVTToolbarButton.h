#pragma once
// One item of a customisable bar: a command button with an image, a text or
// both, or a separator.  A plain object (not a widget) that the bar owns,
// places and forwards events to.  Stored as the archive class
// "CKVTToolbarButton" (versionable schema 1).

#include "platform/sys/ObjectArchive.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>

class CKVTToolBar;
class CKVTToolbarImageList;
class QMimeData;
class QPainter;
class QPalette;
class QWidget;

// Style bits of a button (the toolbar style word).
constexpr uint32_t TBBS_BUTTON = 0x0;
constexpr uint32_t TBBS_SEPARATOR = 0x1;
constexpr uint32_t TBBS_CHECKBOX = 0x2;
constexpr uint32_t TBBS_CHECKED = 0x10000;
constexpr uint32_t TBBS_PRESSED = 0x20000;
constexpr uint32_t TBBS_DISABLED = 0x40000;
constexpr uint32_t TBBS_INDETERMINATE = 0x100000;
// The bits that follow the command's state (enabled, checked, pressed):
// never stored, so a bar's record holds only what the user chose.
constexpr uint32_t TBBS_STATE = TBBS_CHECKED | TBBS_PRESSED | TBBS_DISABLED | TBBS_INDETERMINATE;

// The clipboard format of a button.
inline constexpr char kKvtButtonClipboardFormat[] = "KVTToolbarButton";

// The images recorded for commands: one map of default images and one of
// user images.  A command keeps the kind of image it got first.
class CKVTCommandImageMap
{
public:
    static CKVTCommandImageMap& Instance();
    void SetImage(uint32_t command, int image, bool user);
    int GetImage(uint32_t command, bool user) const; // -1 when none
    void RemoveAll();
    // Forgets the user images: every command shows its default image again.
    void RemoveUserImages() { m_user.clear(); }
    // A user image was deleted from the toolbars' user strip: an entry equal
    // to index goes, higher ones go down by one.
    void OnUserImageDeleted(int index);
    const std::map<uint32_t, int>& Map(bool user) const { return user ? m_user : m_default; }

private:
    std::map<uint32_t, int> m_default;
    std::map<uint32_t, int> m_user;
};

class CKVTToolbarButton : public sys::ArchiveObject
{
public:
    static constexpr uint32_t Schema = 0x80000001;

    CKVTToolbarButton();
    CKVTToolbarButton(uint32_t command, int image, const QString& text = {}, bool userImage = false,
                      bool locked = false);
    ~CKVTToolbarButton() override;

    const char* ArchiveClassName() const override { return "CKVTToolbarButton"; }
    void Serialize(sys::ObjectArchive& ar) override;

    // A new object of the same class with this button's state (CopyFrom).
    std::unique_ptr<CKVTToolbarButton> Clone() const;

    virtual bool CanBeDropped(CKVTToolBar* bar) const;
    virtual void CopyFrom(const CKVTToolbarButton& src);
    virtual void Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images, bool horz,
                      bool customizeMode, bool highlighted, bool drawBorder, bool grayDisabled);
    virtual QSize CalculateSize(QSize defaultSize, bool horz);
    virtual bool OnClick(CKVTToolBar* bar, bool delay = true);
    virtual void OnParentChanged(CKVTToolBar* bar);
    virtual void OnRectChanged() {}
    virtual void OnWidthChanged(int) {}
    virtual QWidget* GetHwnd() const { return nullptr; }
    virtual bool CanBeStretched() const { return false; }
    virtual bool NotifyCommand(int) { return false; }
    // The colours of a hosted control while customisation mode disables it
    // (on an unlocked bar); FALSE leaves the toolbar's own.
    virtual bool OnCtlColor(QPalette&) { return false; }
    virtual void OnAddToCustomizePage() {}
    virtual void OnDblClick(CKVTToolBar*) {}
    virtual bool CanBeStored() const { return true; }
    virtual bool HaveHotBorder() const { return true; }
    virtual void OnCancelMode() {}
    virtual bool IsEditable() const;
    virtual bool OnContextHelp(CKVTToolBar*) { return false; }
    virtual int DrawInCustomizeList(QPainter& p, const QRect& rect, bool selected);
    virtual bool IsDroppedDown() const { return false; }
    virtual bool OnBeforeDrag() { return true; }
    virtual bool GetCustomToolTipText(QWidget* owner, QString& text);
    virtual void NotifyTopLevelMenu() {}
    virtual void OnShow(bool) {}
    virtual QRect GetButtonRect() const { return m_rect; }
    virtual void SetImage(int image);

    // Stores the rectangle; OnRectChanged only when it differs.
    void SetRect(const QRect& r);

    bool CopyToClipboard(QMimeData* data) const;
    static std::unique_ptr<CKVTToolbarButton> CreateFromClipboard(const QMimeData* data);

    bool HasText() const { return m_showText && !m_text.isEmpty(); }
    bool IsSeparator() const { return (m_style & TBBS_SEPARATOR) != 0; }
    // The image in use: the user image index with the user-image flag, else the image index.
    int GetImage() const { return m_userImage ? m_userImageIndex : m_imageIndex; }
    bool HasImage() const { return !IsSeparator() && GetImage() >= 0; }

    // The fields.
    bool m_userImage = false;
    uint32_t m_id = 0;
    uint32_t m_style = 0;
    QString m_text;
    bool m_showText = false;
    bool m_showImage = true;
    bool m_wrap = false;
    bool m_flag = true;
    bool m_textBelow = false;
    bool m_extra = false;
    QRect m_rect;
    int m_imageIndex = -1;
    int m_userImageIndex = -1;
    bool m_locked = false;
    bool m_hidden = false;
    int m_textWidth = 0;
    int m_textHeight = 0;
};

// The text without the mnemonic marks ("&&" stays one '&').
QString StripMnemonic(const QString& text);
