#include "platform/ui/Menu.h"

#include "platform/ui/Modal.h"
#include "res/Resources.h"

#include <QAction>
#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

#include <atomic>

namespace ui {

namespace {
std::atomic<uint64_t> g_nextSerial{1};

std::function<QString(uint32_t)>& PromptSource()
{
    static std::function<QString(uint32_t)> source;
    return source;
}

// Tokens of a menu resource: words, numbers and quoted strings.
struct Lexer
{
    QString text;
    int pos = 0;
    int line = 1;
    QString error;
    bool pushed = false;
    QString pushedToken;
    bool pushedQuoted = false;

    void PushBack(const QString& token, bool quoted)
    {
        pushed = true;
        pushedToken = token;
        pushedQuoted = quoted;
    }

    // Next token; quoted is set for a string.  False at the end.
    bool Next(QString& token, bool& quoted)
    {
        if (pushed) {
            pushed = false;
            token = pushedToken;
            quoted = pushedQuoted;
            return true;
        }
        quoted = false;
        token.clear();
        for (;;) {
            while (pos < text.size() && text[pos].isSpace()) {
                if (text[pos] == u'\n')
                    ++line;
                ++pos;
            }
            if (pos < text.size() && text[pos] == u'#') {
                while (pos < text.size() && text[pos] != u'\n')
                    ++pos;
                continue;
            }
            break;
        }
        if (pos >= text.size())
            return false;
        if (text[pos] == u'"') {
            quoted = true;
            ++pos;
            while (pos < text.size() && text[pos] != u'"') {
                QChar c = text[pos++];
                if (c == u'\n') {
                    error = QStringLiteral("line %1: unterminated string").arg(line);
                    return false;
                }
                if (c == u'\\' && pos < text.size()) {
                    QChar e = text[pos++];
                    c = e == u't' ? QChar(u'\t') : e == u'n' ? QChar(u'\n') : e;
                }
                token += c;
            }
            if (pos >= text.size()) {
                error = QStringLiteral("line %1: unterminated string").arg(line);
                return false;
            }
            ++pos;
            return true;
        }
        while (pos < text.size() && !text[pos].isSpace() && text[pos] != u'"' && text[pos] != u'#')
            token += text[pos++];
        return true;
    }
};

bool ParseFlag(const QString& word, uint32_t& flags)
{
    static const struct
    {
        const char* name;
        uint32_t flag;
    } names[] = {{"GRAYED", MF_GRAYED},         {"DISABLED", MF_DISABLED}, {"CHECKED", MF_CHECKED},
                 {"DEFAULT", MF_DEFAULT},       {"MENUBREAK", MF_MENUBREAK},
                 {"MENUBARBREAK", MF_MENUBARBREAK}};
    for (const auto& n : names)
        if (word == QLatin1String(n.name)) {
            flags |= n.flag;
            return true;
        }
    return false;
}

bool ParseNumber(const QString& s, uint32_t& value)
{
    bool ok = false;
    value = s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? s.mid(2).toUInt(&ok, 16)
                                                                     : s.toUInt(&ok, 10);
    return ok;
}

// Parses items up to END (or the end of the text at the top level).
bool ParseItems(Lexer& lx, Menu& menu, bool top)
{
    QString tok;
    bool quoted;
    // Look-ahead so that flags can follow an item.
    bool have = lx.Next(tok, quoted);
    while (have) {
        if (quoted) {
            lx.error = QStringLiteral("line %1: unexpected string").arg(lx.line);
            return false;
        }
        if (tok == QLatin1String("END")) {
            if (top) {
                lx.error = QStringLiteral("line %1: END without POPUP").arg(lx.line);
                return false;
            }
            return true;
        }
        if (tok == QLatin1String("SEPARATOR")) {
            menu.AppendSeparator();
            have = lx.Next(tok, quoted);
            continue;
        }
        bool popup = tok == QLatin1String("POPUP");
        if (!popup && tok != QLatin1String("MENUITEM")) {
            lx.error = QStringLiteral("line %1: unknown word %2").arg(lx.line).arg(tok);
            return false;
        }
        uint32_t id = 0;
        QString text;
        if (!popup) {
            if (!lx.Next(tok, quoted) || quoted || !ParseNumber(tok, id)) {
                lx.error = QStringLiteral("line %1: command id expected").arg(lx.line);
                return false;
            }
        }
        if (!lx.Next(text, quoted) || !quoted) {
            if (lx.error.isEmpty())
                lx.error = QStringLiteral("line %1: item text expected").arg(lx.line);
            return false;
        }
        uint32_t flags = 0;
        while ((have = lx.Next(tok, quoted)) && !quoted && ParseFlag(tok, flags)) {
        }
        if (!lx.error.isEmpty())
            return false;
        if (popup) {
            auto sub = std::make_unique<Menu>();
            if (!have) {
                lx.error = QStringLiteral("line %1: POPUP without END").arg(lx.line);
                return false;
            }
            // The token after the flags begins the popup's body.
            lx.PushBack(tok, quoted);
            if (!ParseItems(lx, *sub, false))
                return false;
            menu.AppendPopup(text, std::move(sub), flags);
            have = lx.Next(tok, quoted);
        } else {
            menu.AppendItem(id, text, flags);
        }
    }
    if (!lx.error.isEmpty())
        return false;
    if (!top) {
        lx.error = QStringLiteral("line %1: POPUP without END").arg(lx.line);
        return false;
    }
    return true;
}
} // namespace

Menu::Menu() : m_serial(g_nextSerial.fetch_add(1)) {}
namespace {
// Never destroyed: menus may die during the program's exit.
std::vector<std::function<void(uint64_t)>>& DestroyObservers()
{
    static auto* observers = new std::vector<std::function<void(uint64_t)>>;
    return *observers;
}
} // namespace

void Menu::AddDestroyObserver(std::function<void(uint64_t serial)> observer)
{
    DestroyObservers().push_back(std::move(observer));
}

Menu::~Menu()
{
    for (const auto& observer : DestroyObservers())
        observer(m_serial);
}

std::unique_ptr<Menu> Menu::Load(uint32_t id, QString* error)
{
    bool ok = false;
    QByteArray data = res::Data(QStringLiteral("menus/%1.menu").arg(id), &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("menu resource %1 not found").arg(id);
        return nullptr;
    }
    return Parse(data, error);
}

std::unique_ptr<Menu> Menu::Parse(const QByteArray& text, QString* error)
{
    Lexer lx;
    lx.text = QString::fromUtf8(text);
    auto menu = std::make_unique<Menu>();
    if (!ParseItems(lx, *menu, true)) {
        if (error)
            *error = lx.error;
        return nullptr;
    }
    return menu;
}

std::unique_ptr<Menu> Menu::Clone() const
{
    auto copy = std::make_unique<Menu>();
    for (const MenuItem& it : m_items) {
        if (it.popup)
            copy->AppendPopup(it.text, it.popup->Clone(), it.flags);
        else
            copy->InsertItem(-1, it.id, it.text, it.flags);
    }
    return copy;
}

const MenuItem* Menu::Item(int index) const
{
    return index >= 0 && index < ItemCount() ? &m_items[size_t(index)] : nullptr;
}

uint32_t Menu::ItemId(int index) const
{
    const MenuItem* it = Item(index);
    return it && !(it->flags & (MF_POPUP | MF_SEPARATOR)) ? it->id : 0;
}

Menu* Menu::SubMenu(int index) const
{
    const MenuItem* it = Item(index);
    return it ? it->popup.get() : nullptr;
}

int Menu::IndexOf(uint32_t id) const
{
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemId(i) == id)
            return i;
    return -1;
}

Menu* Menu::FindMenuOf(uint32_t id, int* index)
{
    for (int i = 0; i < ItemCount(); ++i) {
        if (ItemId(i) == id) {
            if (index)
                *index = i;
            return this;
        }
        if (Menu* sub = SubMenu(i))
            if (Menu* m = sub->FindMenuOf(id, index))
                return m;
    }
    return nullptr;
}

void Menu::AppendItem(uint32_t id, const QString& text, uint32_t flags) { InsertItem(-1, id, text, flags); }

void Menu::AppendSeparator() { InsertItem(-1, 0, {}, MF_SEPARATOR); }

void Menu::AppendPopup(const QString& text, std::unique_ptr<Menu> popup, uint32_t flags)
{
    MenuItem it;
    it.text = text;
    it.flags = flags | MF_POPUP;
    it.popup = std::move(popup);
    m_items.push_back(std::move(it));
}

void Menu::InsertItem(int index, uint32_t id, const QString& text, uint32_t flags)
{
    MenuItem it;
    it.id = id;
    it.text = text;
    it.flags = flags & ~uint32_t(MF_POPUP);
    if (index < 0 || index >= ItemCount())
        m_items.push_back(std::move(it));
    else
        m_items.insert(m_items.begin() + index, std::move(it));
}

bool Menu::RemoveItem(int index)
{
    if (!Item(index))
        return false;
    m_items.erase(m_items.begin() + index);
    return true;
}

bool Menu::SetItemText(int index, const QString& text)
{
    if (!Item(index))
        return false;
    m_items[size_t(index)].text = text;
    return true;
}

static bool MenuEnableFlags(MenuItem& it, bool enable)
{
    if (enable)
        it.flags &= ~uint32_t(MF_GRAYED | MF_DISABLED);
    else
        it.flags |= MF_GRAYED;
    return true;
}

bool Menu::EnableItem(int index, bool enable)
{
    if (!Item(index))
        return false;
    return MenuEnableFlags(m_items[size_t(index)], enable);
}

bool Menu::CheckItem(int index, bool check)
{
    if (!Item(index))
        return false;
    MenuItem& it = m_items[size_t(index)];
    it.flags = check ? (it.flags | MF_CHECKED) : (it.flags & ~uint32_t(MF_CHECKED));
    return true;
}

QString PlainMenuText(const QString& text)
{
    QString t = text.section(QLatin1Char('\t'), 0, 0);
    QString out;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i] == u'&') {
            if (i + 1 < t.size() && t[i + 1] == u'&')
                out += t[++i];
            continue;
        }
        out += t[i];
    }
    return out;
}

void SetCommandPromptSource(std::function<QString(uint32_t)> source) { PromptSource() = std::move(source); }

QString CommandPrompt(uint32_t id)
{
    if (!PromptSource())
        return {};
    return PromptSource()(id).section(QLatin1Char('\n'), 0, 0);
}

namespace {
// The update object of one menu item: it writes into the model.
class MenuItemCmdUI : public CmdUI
{
public:
    MenuItemCmdUI(uint32_t id, Menu* menu, int index) : CmdUI(id) { SetMenuItem(menu, index); }
    void Enable(bool on) override
    {
        CmdUI::Enable(on);
        GetMenu()->EnableItem(Index(), on);
    }
    void SetCheck(int check) override
    {
        CmdUI::SetCheck(check);
        GetMenu()->CheckItem(Index(), check != 0);
    }
    void SetText(const QString& text) override
    {
        CmdUI::SetText(text);
        GetMenu()->SetItemText(Index(), text);
    }
};

} // namespace

void UpdateMenuItems(Menu& menu)
{
    const std::vector<CommandTarget*> route = CurrentRoute();
    for (int i = 0; i < menu.ItemCount(); ++i) {
        const uint32_t id = menu.ItemId(i);
        // System commands are the document window's, not the route's.
        if (id == 0 || (id >= 0xF000 && id <= 0xF1EF))
            continue;
        MenuItemCmdUI cmd(id, &menu, i);
        UpdateCommandUITo(route, cmd);
        i = std::max(i, cmd.Index());
    }
}

namespace {
// Runs the update handlers of every item of model and its popups.
void UpdateModel(const std::vector<CommandTarget*>& route, Menu* model)
{
    for (int i = 0; i < model->ItemCount(); ++i) {
        if (Menu* sub = model->SubMenu(i)) {
            UpdateModel(route, sub);
            continue;
        }
        uint32_t id = model->ItemId(i);
        if (id == 0)
            continue;
        MenuItemCmdUI cmd(id, model, i);
        UpdateCommandUITo(route, cmd);
        i = std::max(i, cmd.Index());
    }
}

void FillPopup(QMenu* qmenu, const Menu* model)
{
    for (int i = 0; i < model->ItemCount(); ++i) {
        const MenuItem* it = model->Item(i);
        if (it->flags & MF_SEPARATOR) {
            qmenu->addSeparator();
            continue;
        }
        bool enabled = !(it->flags & (MF_GRAYED | MF_DISABLED));
        if (it->popup) {
            QMenu* sub = qmenu->addMenu(it->text);
            sub->setEnabled(enabled);
            FillPopup(sub, it->popup.get());
            continue;
        }
        QAction* a = qmenu->addAction(it->text);
        a->setData(it->id);
        a->setEnabled(enabled);
        if (it->flags & MF_CHECKED) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        a->setStatusTip(CommandPrompt(it->id));
    }
}
} // namespace

uint32_t TrackPopupMenu(const Menu& menu, const QPoint& screenPoint, QWidget* owner)
{
    std::unique_ptr<Menu> model = menu.Clone();
    UpdateModel(CurrentRoute(), model.get());
    QMenu qmenu(owner);
    qmenu.setObjectName(QStringLiteral("TrackPopupMenu"));
    FillPopup(&qmenu, model.get());
    NestedLoopScope scope;
    QAction* chosen = qmenu.exec(screenPoint);
    return chosen ? chosen->data().toUInt() : 0;
}

} // namespace ui
