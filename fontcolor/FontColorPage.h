#pragma once
// The font and colour registry of the text windows and the "Formát" page
// (dialog 2) on which the user edits it.
//
// Each kind of text window registers a category (a font) with named items
// (colours and styles) once; the main frame then loads the user's values
// from the profile ("Formats").  Windows look their category up when they
// apply it and join as listeners (CFontColorListener) to hear of changes.
// The registry (a long-lived object owned by the main frame) keeps the lists
// defaults and current; the page, made anew by CreatePage for each showing
// and owned by its sheet, keeps its own edit list.

#include "platform/ui/SysColor.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <vector>

namespace ui {
class PropertyPage;
}

using ui::COLORREF;

struct FontColorItem
{
    QString name, displayName;
    COLORREF textColor = 0, backColor = 0;
    int bold = 0, italic = 0, underline = 0, strikeOut = 0; // > 0 means on
};

struct FontColorCategory
{
    QString name, displayName, face;
    int size = 10;          // points
    uint8_t charSet = 0;    // kept and edited; text is Unicode
    int fixedPitch = 0;     // non-zero: fixed-pitch faces only
    std::vector<FontColorItem> items; // in registration order
};

// Implemented by every window that listens to the registry.
class CFontColorListener
{
public:
    // The user applied a change: look the category up again and re-apply it.
    virtual void OnFontColorChange(uint32_t id) = 0;

protected:
    ~CFontColorListener() = default;
};

class CFontColorPage : public QObject
{
    Q_OBJECT
public:
    // Names and display names are refused from this length on.
    static constexpr int kMaxName = 32;
    // The flags of Construct.
    static constexpr uint16_t kLoadOnActivate = 0x1;
    static constexpr uint16_t kSaveOnApply = 0x4;

    CFontColorPage();
    ~CFontColorPage() override;

    // Registers (or re-registers: the font changes, the items stay) a
    // category in defaults; after LoadSettings a new category also joins
    // current, overlaid by the profile.  False for names of 32 or more
    // characters.
    bool AddCategory(const QString& name, const QString& displayName, const QString& face, int size,
                     uint8_t charSet, int fixedPitch);
    // Registers (or re-registers) an item of a category, likewise; false for
    // long names or an unknown category.
    bool AddItem(const QString& category, const QString& name, const QString& displayName, COLORREF text,
                 COLORREF back, int bold, int italic, int underline, int strikeOut);

    // Look-ups in current.  The pointers stay valid only until the registry
    // next changes; windows copy what they need.
    const FontColorCategory* FindCategory(const QString& name) const;
    const FontColorItem* FindItem(const FontColorCategory* category, const QString& name) const;

    // Joins window (which must be a CFontColorListener) with its id; a window
    // listed already is not added again.  False for null or a non-listener.
    bool AddListener(QWidget* window, uint32_t id);
    void RemoveListener(QWidget* window);
    int ListenerCount() const;

    // The item's font: the category's face and point size, its styles
    // (> 0), fixed pitch for a fixed-pitch category.
    bool CreateItemFont(const FontColorItem& item, const FontColorCategory& category, QFont& font) const;
    QFont CreateItemFont(const FontColorItem& item, const FontColorCategory& category) const;

    // current = defaults overlaid by the profile under root; always true.
    bool LoadSettings(const QString& root);
    // Writes current under root; true when every write succeeded.
    bool SaveSettings(const QString& root);

    // The page's flags (kLoadOnActivate, kSaveOnApply) and profile root.
    void Construct(uint16_t flags, const QString& root);
    uint16_t Flags() const { return m_flags; }
    const QString& Root() const { return m_root; }
    // A new "Formát" page over this registry, to be owned by its sheet.
    ui::PropertyPage* CreatePage();

    const std::vector<FontColorCategory>& Defaults() const { return m_defaults; }
    const std::vector<FontColorCategory>& Current() const { return m_current; }

    // The page's apply: copies every value of edit into current (by
    // category and item name), then tells the listeners in order.
    void ApplyEdit(const std::vector<FontColorCategory>& edit);
    void NotifyListeners();

    // Copies the values (font, colours, styles) of from into to, matching
    // categories and items by name; entries without a match stay.
    static void CopyValues(const std::vector<FontColorCategory>& from, std::vector<FontColorCategory>& to);

private:
    struct Listener
    {
        QPointer<QWidget> window;
        CFontColorListener* listener;
        uint32_t id;
    };
    static FontColorCategory* Find(std::vector<FontColorCategory>& list, const QString& name);
    void Overlay(FontColorCategory& category, const QString& root) const;
    void Overlay(FontColorItem& item, const QString& category, const QString& root) const;

    std::vector<FontColorCategory> m_defaults;
    std::vector<FontColorCategory> m_current;
    std::vector<Listener> m_listeners;
    uint16_t m_flags = 0;
    QString m_root = QStringLiteral("Formats");
    QString m_loadedRoot; // set by LoadSettings
    bool m_loaded = false;
};

// The process-wide registry; null before its owner sets it.
CFontColorPage* GetFontColorPage();
void SetFontColorPage(CFontColorPage* registry);
