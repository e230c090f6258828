#include "uilib/KVTToolbarLayout.h"

#include "platform/ui/BarStyle.h"

#include <algorithm>

int KvtToolbarLayout::Wrap(std::vector<KvtLayoutButton>& buttons, int length, bool horizontal)
{
    int rows = buttons.empty() ? 0 : 1;
    int x = 0;
    for (size_t i = 0; i < buttons.size(); ++i) {
        KvtLayoutButton& b = buttons[i];
        b.wrap = false;
        int w = Along(b, horizontal);
        if (b.separator && x == 0)
            w = 0;
        if (x + w > length && !b.separator && i > 0) {
            buttons[i - 1].wrap = true;
            ++rows;
            x = 0;
        }
        x += w;
    }
    return rows;
}

QSize KvtToolbarLayout::CalcSize(const std::vector<KvtLayoutButton>& buttons, const KvtLayoutBar& bar)
{
    const bool horz = bar.horizontal;
    int maxAlong = 0, along = 0, rows = 0;
    bool rowStart = true, prevSep = false;
    for (const KvtLayoutButton& b : buttons) {
        int w = Along(b, horz);
        if (b.separator && (rowStart || prevSep || (b.wrap && horz)))
            w = 0; // hidden, or drawn as the line between two rows
        along += w;
        prevSep = b.separator;
        rowStart = false;
        if (b.wrap) {
            maxAlong = std::max(maxAlong, along);
            along = 0;
            ++rows;
            rowStart = true;
            prevSep = false;
        }
    }
    if (!rowStart || rows == 0) {
        maxAlong = std::max(maxAlong, along);
        ++rows;
    }
    if (buttons.empty())
        return QSize(0, 0);
    if (horz)
        return QSize(maxAlong, rows * bar.rowHeight + (rows - 1) * 5);
    return QSize(rows * bar.columnWidth, maxAlong);
}

void KvtToolbarLayout::SizeToolBar(std::vector<KvtLayoutButton>& buttons, int length, bool vertical,
                                   const KvtLayoutBar& bar)
{
    KvtLayoutBar h = bar;
    h.horizontal = true;
    if (!vertical) {
        int maxW = length;
        const int target = Wrap(buttons, maxW);
        int minW = 0;
        if (Wrap(buttons, minW) != target) {
            while (minW < maxW) {
                const int mid = (minW + maxW) / 2;
                if (Wrap(buttons, mid) == target) {
                    maxW = mid;
                } else {
                    if (minW == mid) {
                        Wrap(buttons, maxW);
                        break;
                    }
                    minW = mid;
                }
            }
        }
        Wrap(buttons, CalcSize(buttons, h).width());
        return;
    }
    Wrap(buttons, 0);
    QSize sizeMin = CalcSize(buttons, h);
    Wrap(buttons, 32767);
    QSize sizeMax = CalcSize(buttons, h);
    while (sizeMin.width() < sizeMax.width()) {
        const int midW = (sizeMin.width() + sizeMax.width()) / 2;
        Wrap(buttons, midW);
        const QSize mid = CalcSize(buttons, h);
        if (length < mid.height()) {
            if (sizeMin == mid) {
                Wrap(buttons, sizeMax.width());
                return;
            }
            sizeMin = mid;
        } else if (length > mid.height()) {
            if (sizeMax == mid) {
                Wrap(buttons, sizeMax.width());
                return;
            }
            sizeMax = mid;
        } else {
            return;
        }
    }
}

QSize KvtToolbarLayout::CalcLayout(std::vector<KvtLayoutButton>& buttons, uint32_t mode, int length,
                                   KvtLayoutBar& bar)
{
    using namespace ui;
    const uint32_t style = bar.barStyle;
    const bool floating = (style & CBRS_FLOATING) != 0;
    bar.horizontal = (mode & LM_HORZ) != 0;
    if (!(style & CBRS_SIZE_FIXED)) {
        if (style & CBRS_SIZE_DYNAMIC) {
            if (mode & LM_HORZDOCK) {
                Wrap(buttons, 32767, bar.horizontal);
            } else if (mode & LM_VERTDOCK) {
                Wrap(buttons, 32767, false);
            } else if (length != -1) {
                if (mode & LM_LENGTHY)
                    SizeToolBar(buttons, length - bar.borderAcross, true, bar);
                else
                    SizeToolBar(buttons, length - bar.borderAlong, false, bar);
            } else if ((mode & LM_MRUWIDTH) || floating) {
                SizeToolBar(buttons, bar.mruWidth, false, bar);
            } else {
                Wrap(buttons, 32767, bar.horizontal);
            }
        } else {
            Wrap(buttons, 32767, bar.horizontal);
        }
    }
    QSize size = CalcSize(buttons, bar);
    if ((mode & LM_COMMIT) && floating && (style & CBRS_SIZE_DYNAMIC) && bar.horizontal)
        bar.mruWidth = size.width();
    if (bar.horizontal)
        size += QSize(bar.borderAlong, bar.borderAcross);
    else
        size += QSize(bar.borderAcross, bar.borderAlong);
    const bool stretch = (mode & LM_STRETCH) != 0;
    const QSize fixed(stretch && bar.horizontal ? 32767 : 0, stretch && !bar.horizontal ? 32767 : 0);
    return size.expandedTo(fixed);
}

std::vector<int> KvtToolbarLayout::Reposition(std::vector<KvtLayoutButton>& buttons, const KvtLayoutBar& bar)
{
    std::vector<int> overflow;
    if (buttons.empty())
        return overflow;
    const bool horz = bar.horizontal;
    const int limit = bar.overflowLength > 0 ? bar.availableLength - bar.overflowLength : -1;
    int across = (horz ? bar.origin.y() : bar.origin.x()) + 1;
    const int startAlong = horz ? bar.origin.x() : bar.origin.y();
    size_t i = 0;
    while (i < buttons.size()) {
        // One row (column).
        size_t end = i;
        while (end < buttons.size() && !buttons[end].wrap)
            ++end;
        if (end < buttons.size())
            ++end; // the wrapping button belongs to the row
        int along = startAlong;
        bool prevSep = false;
        for (size_t k = i; k < end; ++k) {
            KvtLayoutButton& b = buttons[k];
            QSize sz = b.size;
            if (b.textBelow && horz)
                sz.setHeight(bar.rowHeight);
            const bool hideSep = b.separator && (k == i || prevSep);
            if (hideSep)
                sz = QSize(0, 0);
            else if (b.separator && b.wrap && horz)
                sz.setWidth(0); // drawn as a line under its row
            prevSep = b.separator;
            b.rect = horz ? QRect(along, across, sz.width(), sz.height())
                          : QRect(across, along, sz.width(), sz.height());
            b.hidden = hideSep;
            const int farEdge = along + (horz ? sz.width() : sz.height()) - startAlong;
            if (limit >= 0 && !hideSep && farEdge > limit) {
                b.hidden = true;
                overflow.push_back(int(k));
            }
            along += horz ? sz.width() : sz.height();
        }
        if (horz && bar.textLabels) {
            const int unused = bar.availableLength - (along - startAlong);
            if (unused > 0)
                for (size_t k = i; k < end; ++k)
                    buttons[k].rect.translate(unused / 2, 0);
        }
        across += horz ? bar.rowHeight + 5 : bar.columnWidth;
        i = end;
    }
    return overflow;
}

int KvtToolbarLayout::HitTest(const std::vector<KvtLayoutButton>& buttons, QPoint point)
{
    for (size_t i = 0; i < buttons.size(); ++i) {
        const KvtLayoutButton& b = buttons[i];
        if (b.hidden || b.rect.isEmpty() || !b.rect.contains(point))
            continue;
        return b.separator ? -1 : int(i);
    }
    return -1;
}

KvtDropPlace KvtToolbarLayout::FindDropIndex(const std::vector<KvtLayoutButton>& buttons, QPoint point,
                                             const KvtLayoutBar& bar, const QRect& client, const KvtDropRules& rules)
{
    const bool horz = bar.horizontal;
    const int count = int(buttons.size());
    const int maxIndex = rules.maxIndex < 0 ? count : std::min(rules.maxIndex, count);
    auto placed = [&](int i) {
        return i >= 0 && i < count && i != rules.customizeIndex && !buttons[size_t(i)].hidden &&
               !buttons[size_t(i)].rect.isEmpty();
    };
    std::vector<int> candidates;
    for (int i = 0; i < count; ++i)
        if (placed(i) && i >= rules.minIndex && i < maxIndex)
            candidates.push_back(i);
    const int customize = rules.customizeIndex;
    if (customize >= 0 && customize < count && !buttons[size_t(customize)].hidden &&
        buttons[size_t(customize)].rect.contains(point))
        return {};
    if (candidates.empty()) {
        KvtDropPlace p;
        p.index = std::clamp(0, rules.minIndex, maxIndex);
        p.marker = client;
        return p;
    }
    // The buttons of the row (column) under the point.
    std::vector<int> line;
    if (horz) {
        const int top0 = bar.origin.y() + 1;
        const int pitch = std::max(1, bar.rowHeight + 5);
        auto rowOf = [&](int y) { return y < top0 ? 0 : (y - top0) / pitch; };
        const int row = rowOf(point.y());
        int best = -1;
        for (int i : candidates) {
            const int r = rowOf(buttons[size_t(i)].rect.top());
            if (r <= row)
                best = std::max(best, r);
        }
        if (best < 0)
            best = rowOf(buttons[size_t(candidates.front())].rect.top());
        for (int i : candidates)
            if (rowOf(buttons[size_t(i)].rect.top()) == best)
                line.push_back(i);
    } else {
        line = candidates;
    }
    auto lead = [&](int i) { return horz ? buttons[size_t(i)].rect.left() : buttons[size_t(i)].rect.top(); };
    auto trail = [&](int i) {
        return horz ? buttons[size_t(i)].rect.right() + 1 : buttons[size_t(i)].rect.bottom() + 1;
    };
    auto markerAt = [&](int i, int edge) {
        const QRect& r = buttons[size_t(i)].rect;
        return horz ? QRect(edge - 3, r.top(), 6, r.height()) : QRect(r.left(), edge - 3, r.width(), 6);
    };
    const int p = horz ? point.x() : point.y();
    KvtDropPlace place;
    for (int i : line) {
        if (p < lead(i)) {
            place.index = i;
            place.marker = markerAt(i, lead(i));
            return place;
        }
        if (p < trail(i)) {
            if (p - lead(i) < trail(i) - p) {
                place.index = i;
                place.marker = markerAt(i, lead(i));
            } else {
                place.index = i + 1;
                place.marker = markerAt(i, trail(i));
            }
            return place;
        }
    }
    const int last = line.back();
    place.index = last + 1;
    place.marker = markerAt(last, trail(last));
    return place;
}
