#include "uilib/KVTPopupCore.h"

#include "platform/sys/Registry.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTToolbarButton.h"

#include <algorithm>

KvtPopupPlacementResult KvtPopupPlacement::Compute(const KvtPopupPlacementInput& in)
{
    KvtPopupPlacementResult r;
    const QRect& wa = in.workArea;
    int x = in.origin.x(), y = in.origin.y();
    int w = in.size.width(), h = in.size.height();
    // Right edge.
    if (x + w > wa.right() + 1) {
        if (!in.parentPopup.isEmpty())
            x = in.parentPopup.left() - w;
        else if ((in.barSide == KvtMenuBarSide::Left || in.barSide == KvtMenuBarSide::Right) &&
                 !in.menuBar.isEmpty())
            x = in.menuBar.left() - w;
        else
            x = wa.right() - w; // one pixel inside the right edge
        x = std::max(x, wa.left());
        r.dropRight = false;
    }
    // Bottom edge: upwards from the origin (above the parent item).
    if (y + h > wa.bottom() + 1) {
        const int above =
            in.parentItem.isEmpty()
                ? y
                : (in.parentPopup.isEmpty() ? in.parentItem.top() : in.parentItem.bottom() + 3);
        y = above - h;
        if (y < wa.top())
            y = wa.top();
        r.dropDown = false;
    }
    if (h > wa.height()) {
        h = wa.height();
        y = wa.top();
        r.scroll = true;
    }
    r.rect = QRect(x, y, w, h);
    return r;
}

QRect KvtPopupAnimation::Step(uint32_t kind, const QRect& final, QSize item, bool dropRight,
                              bool dropDown, int step)
{
    if (kind == 0)
        return final;
    const int ih = std::max(1, item.height()), iw = std::max(1, item.width());
    int h = ih * (step + 1);
    int w = kind == 1 ? iw * (step + 1) : final.width();
    if (h >= final.height() && w >= final.width())
        return final;
    h = std::min(h, final.height());
    w = std::min(w, final.width());
    const int left = dropRight ? final.left() : final.right() + 1 - w;
    const int top = dropDown ? final.top() : final.bottom() + 1 - h;
    return QRect(left, top, w, h);
}

namespace {
int g_delay = -1;
}

int KvtMenuDelay::Parse(const std::optional<QString>& value)
{
    if (!value)
        return 500;
    bool ok = false;
    const long long v = value->trimmed().toLongLong(&ok);
    if (!ok)
        return 500;
    return int(std::clamp<long long>(v, 0, 5000));
}

int KvtMenuDelay::Get()
{
    if (g_delay >= 0)
        return g_delay;
    std::optional<QString> value;
    sys::HKEY key = nullptr;
    if (sys::RegOpenKeyEx(sys::HKEY_CURRENT_USER, u"Control Panel\\Desktop", sys::KEY_READ, &key) ==
        sys::ERROR_SUCCESS) {
        std::u16string s;
        if (sys::RegGetString(key, u"MenuShowDelay", s))
            value = QString::fromStdU16String(s);
        sys::RegCloseKey(key);
    }
    g_delay = Parse(value);
    return g_delay;
}

void KvtMenuDelay::Reset()
{
    g_delay = -1;
}

KvtPopupBuildResult KvtPopupBuild::Filter(const ui::Menu& menu, bool allItems,
                                          const std::function<bool(uint32_t)>& rarelyUsed,
                                          const std::function<bool(uint32_t)>& permitted)
{
    KvtPopupBuildResult r;
    const int n = menu.ItemCount();
    for (int i = 0; i < n; ++i) {
        const ui::MenuItem* it = menu.Item(i);
        if (it->flags & ui::MF_SEPARATOR) {
            if (r.entries.empty() || r.entries.back().separator || i == n - 1)
                continue;
            KvtPopupEntry e;
            e.index = i;
            e.separator = true;
            r.entries.push_back(e);
            continue;
        }
        const uint32_t id = it->popup ? 0xFFFFFFFFu : it->id;
        if (!allItems && !it->popup && rarelyUsed && rarelyUsed(id)) {
            r.allShown = false;
            if (!permitted || permitted(id)) {
                const int amp = it->text.indexOf(QLatin1Char('&'));
                if (amp >= 0 && amp + 1 < it->text.size() && it->text[amp + 1] != QLatin1Char('&'))
                    r.hiddenMnemonics[it->text[amp + 1].toUpper()] = id;
            }
            continue;
        }
        KvtPopupEntry e;
        e.index = i;
        e.id = id;
        if (it->flags & (ui::MF_GRAYED | ui::MF_DISABLED))
            e.style |= TBBS_DISABLED;
        if (it->flags & ui::MF_CHECKED)
            e.style |= TBBS_CHECKED;
        if (it->flags & ui::MF_MENUBREAK)
            e.style |= 0x20000000;
        e.isDefault = (it->flags & ui::MF_DEFAULT) != 0;
        r.entries.push_back(e);
    }
    // A separator left last by hidden items goes.
    while (!r.entries.empty() && r.entries.back().separator)
        r.entries.pop_back();
    return r;
}
