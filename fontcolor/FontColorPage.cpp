#include "fontcolor/FontColorPage.h"

#include "fontcolor/FontColorPageDlg.h"
#include "platform/sys/Registry.h"

#include <QWidget>

#include <algorithm>

namespace {
CFontColorPage* g_registry = nullptr;

std::u16string U16(const QString& s) { return s.toStdU16String(); }

std::u16string CategorySection(const QString& root, const QString& category)
{
    return U16(root + QLatin1Char('\\') + category);
}

std::u16string ItemSection(const QString& root, const QString& category, const QString& item)
{
    return U16(root + QLatin1Char('\\') + category + QLatin1Char('\\') + item);
}

FontColorItem* FindIn(std::vector<FontColorItem>& items, const QString& name)
{
    for (FontColorItem& it : items)
        if (it.name == name)
            return &it;
    return nullptr;
}

void CopyItemValues(const FontColorItem& from, FontColorItem& to)
{
    to.textColor = from.textColor;
    to.backColor = from.backColor;
    to.bold = from.bold;
    to.italic = from.italic;
    to.underline = from.underline;
    to.strikeOut = from.strikeOut;
}

void CopyCategoryValues(const FontColorCategory& from, FontColorCategory& to)
{
    to.face = from.face;
    to.size = from.size;
    to.charSet = from.charSet;
    to.fixedPitch = from.fixedPitch;
}
} // namespace

CFontColorPage* GetFontColorPage() { return g_registry; }
void SetFontColorPage(CFontColorPage* registry) { g_registry = registry; }

CFontColorPage::CFontColorPage() = default;

CFontColorPage::~CFontColorPage()
{
    if (g_registry == this)
        g_registry = nullptr;
}

FontColorCategory* CFontColorPage::Find(std::vector<FontColorCategory>& list, const QString& name)
{
    for (FontColorCategory& c : list)
        if (c.name == name)
            return &c;
    return nullptr;
}

bool CFontColorPage::AddCategory(const QString& name, const QString& displayName, const QString& face, int size,
                                 uint8_t charSet, int fixedPitch)
{
    if (name.size() >= kMaxName || displayName.size() >= kMaxName)
        return false;
    FontColorCategory* c = Find(m_defaults, name);
    if (!c) {
        m_defaults.push_back(FontColorCategory{});
        c = &m_defaults.back();
        c->name = name;
    }
    c->displayName = displayName;
    c->face = face;
    c->size = size;
    c->charSet = charSet;
    c->fixedPitch = fixedPitch;
    if (m_loaded && !Find(m_current, name)) {
        FontColorCategory copy = *c;
        Overlay(copy, m_loadedRoot);
        m_current.push_back(std::move(copy));
    }
    return true;
}

bool CFontColorPage::AddItem(const QString& category, const QString& name, const QString& displayName,
                             COLORREF text, COLORREF back, int bold, int italic, int underline, int strikeOut)
{
    if (name.size() >= kMaxName || displayName.size() >= kMaxName)
        return false;
    FontColorCategory* c = Find(m_defaults, category);
    if (!c)
        return false;
    FontColorItem* it = FindIn(c->items, name);
    if (!it) {
        c->items.push_back(FontColorItem{});
        it = &c->items.back();
        it->name = name;
    }
    it->displayName = displayName;
    it->textColor = text & 0xFFFFFF;
    it->backColor = back & 0xFFFFFF;
    it->bold = bold;
    it->italic = italic;
    it->underline = underline;
    it->strikeOut = strikeOut;
    if (m_loaded) {
        FontColorCategory* cur = Find(m_current, category);
        if (cur && !FindIn(cur->items, name)) {
            FontColorItem copy = *it;
            Overlay(copy, category, m_loadedRoot);
            cur->items.push_back(std::move(copy));
        }
    }
    return true;
}

const FontColorCategory* CFontColorPage::FindCategory(const QString& name) const
{
    for (const FontColorCategory& c : m_current)
        if (c.name == name)
            return &c;
    return nullptr;
}

const FontColorItem* CFontColorPage::FindItem(const FontColorCategory* category, const QString& name) const
{
    if (!category)
        return nullptr;
    for (const FontColorItem& it : category->items)
        if (it.name == name)
            return &it;
    return nullptr;
}

bool CFontColorPage::AddListener(QWidget* window, uint32_t id)
{
    auto* listener = dynamic_cast<CFontColorListener*>(window);
    if (!listener)
        return false;
    for (const Listener& l : m_listeners)
        if (l.window == window)
            return true;
    m_listeners.push_back({window, listener, id});
    return true;
}

void CFontColorPage::RemoveListener(QWidget* window)
{
    std::erase_if(m_listeners, [window](const Listener& l) { return l.window.isNull() || l.window == window; });
}

int CFontColorPage::ListenerCount() const
{
    return int(std::count_if(m_listeners.begin(), m_listeners.end(),
                             [](const Listener& l) { return !l.window.isNull(); }));
}

void CFontColorPage::NotifyListeners()
{
    // A listener may join or leave while it is told: walk a copy and check
    // each window again before the call.
    std::vector<Listener> listeners = m_listeners;
    for (const Listener& l : listeners) {
        if (l.window.isNull())
            continue;
        bool stillListed = std::any_of(m_listeners.begin(), m_listeners.end(),
                                       [&l](const Listener& m) { return m.window == l.window; });
        if (stillListed)
            l.listener->OnFontColorChange(l.id);
    }
    std::erase_if(m_listeners, [](const Listener& l) { return l.window.isNull(); });
}

bool CFontColorPage::CreateItemFont(const FontColorItem& item, const FontColorCategory& category, QFont& font) const
{
    if (category.size < 1)
        return false;
    font = QFont(category.face);
    font.setPointSize(category.size);
    font.setBold(item.bold > 0);
    font.setItalic(item.italic > 0);
    font.setUnderline(item.underline > 0);
    font.setStrikeOut(item.strikeOut > 0);
    if (category.fixedPitch != 0) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    }
    return true;
}

QFont CFontColorPage::CreateItemFont(const FontColorItem& item, const FontColorCategory& category) const
{
    QFont font;
    CreateItemFont(item, category, font);
    return font;
}

void CFontColorPage::Overlay(FontColorCategory& c, const QString& root) const
{
    using namespace sys::Profile;
    std::u16string section = CategorySection(root, c.name);
    std::u16string face = GetString(section, u"FontName", u"");
    if (!face.empty())
        c.face = QString::fromStdU16String(face);
    int size = GetInt(section, u"FontSize", c.size);
    if (size >= CFontColorPageDlg::kMinSize && size <= CFontColorPageDlg::kMaxSize)
        c.size = size;
    int charSet = GetInt(section, u"CharSet", c.charSet);
    if (charSet >= 0 && charSet <= 255)
        c.charSet = uint8_t(charSet);
    c.fixedPitch = GetInt(section, u"FixedPitch", c.fixedPitch);
    for (FontColorItem& it : c.items)
        Overlay(it, c.name, root);
}

void CFontColorPage::Overlay(FontColorItem& it, const QString& category, const QString& root) const
{
    using namespace sys::Profile;
    std::u16string section = ItemSection(root, category, it.name);
    it.textColor = COLORREF(GetInt(section, u"TextColor", int32_t(it.textColor))) & 0xFFFFFF;
    it.backColor = COLORREF(GetInt(section, u"BackColor", int32_t(it.backColor))) & 0xFFFFFF;
    it.bold = GetInt(section, u"Bold", it.bold);
    it.italic = GetInt(section, u"Italic", it.italic);
    it.underline = GetInt(section, u"UnderLine", it.underline);
    it.strikeOut = GetInt(section, u"StrikeOut", it.strikeOut);
}

bool CFontColorPage::LoadSettings(const QString& root)
{
    m_current = m_defaults;
    for (FontColorCategory& c : m_current)
        Overlay(c, root);
    m_loadedRoot = root;
    m_loaded = true;
    return true;
}

bool CFontColorPage::SaveSettings(const QString& root)
{
    using namespace sys::Profile;
    bool ok = true;
    for (const FontColorCategory& c : m_current) {
        std::u16string section = CategorySection(root, c.name);
        ok = WriteString(section, u"FontName", U16(c.face)) && ok;
        ok = WriteInt(section, u"FontSize", c.size) && ok;
        ok = WriteInt(section, u"CharSet", c.charSet) && ok;
        ok = WriteInt(section, u"FixedPitch", c.fixedPitch) && ok;
        for (const FontColorItem& it : c.items) {
            std::u16string is = ItemSection(root, c.name, it.name);
            ok = WriteInt(is, u"TextColor", int32_t(it.textColor)) && ok;
            ok = WriteInt(is, u"BackColor", int32_t(it.backColor)) && ok;
            ok = WriteInt(is, u"Bold", it.bold) && ok;
            ok = WriteInt(is, u"Italic", it.italic) && ok;
            ok = WriteInt(is, u"UnderLine", it.underline) && ok;
            ok = WriteInt(is, u"StrikeOut", it.strikeOut) && ok;
        }
    }
    // The values are in the store either way; a write of its file that
    // fails leaves the store changed, and the next flush (at the latest at
    // exit) writes it again.
    (void)sys::RegistryStore::Flush();
    return ok;
}

void CFontColorPage::Construct(uint16_t flags, const QString& root)
{
    m_flags = flags;
    m_root = root;
}

ui::PropertyPage* CFontColorPage::CreatePage() { return new CFontColorPageDlg(this); }

void CFontColorPage::CopyValues(const std::vector<FontColorCategory>& from, std::vector<FontColorCategory>& to)
{
    for (FontColorCategory& dst : to) {
        const FontColorCategory* src = nullptr;
        for (const FontColorCategory& c : from)
            if (c.name == dst.name)
                src = &c;
        if (!src)
            continue;
        CopyCategoryValues(*src, dst);
        for (FontColorItem& it : dst.items)
            for (const FontColorItem& s : src->items)
                if (s.name == it.name)
                    CopyItemValues(s, it);
    }
}

void CFontColorPage::ApplyEdit(const std::vector<FontColorCategory>& edit)
{
    CopyValues(edit, m_current);
    NotifyListeners();
}
