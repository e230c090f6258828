#include "uilib/KVTRebar.h"

#include "platform/ui/App.h"
#include "platform/ui/ControlBar.h"
#include "uilib/KVTRegistryKey.h"

#include <cstring>

namespace {
void Put(KvtRebar::BandRecord& r, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        r[off + size_t(i)] = uint8_t(v >> (8 * i));
}
uint32_t Get(const uint8_t* r, size_t off)
{
    return uint32_t(r[off]) | uint32_t(r[off + 1]) << 8 | uint32_t(r[off + 2]) << 16 | uint32_t(r[off + 3]) << 24;
}
} // namespace

KvtRebar::KvtRebar(QWidget* parent, uint32_t id) : QWidget(parent), m_id(id) {}

int KvtRebar::InsertBand(const Band& band, int index)
{
    if (index < 0 || index > GetBandCount())
        index = GetBandCount();
    m_bands.insert(m_bands.begin() + index, band);
    if (band.child && band.child->parentWidget() != this)
        band.child->setParent(this);
    if (band.child)
        band.child->show();
    Relayout();
    return index;
}

KvtRebar::BandRecord KvtRebar::GetBandInfo(int index) const
{
    BandRecord r{};
    if (index < 0 || index >= GetBandCount())
        return r;
    const Band& b = m_bands[size_t(index)];
    Put(r, 0, 80);
    Put(r, 4, StoredMask);
    Put(r, 8, b.style);
    Put(r, 32, 0);
    Put(r, 36, uint32_t(b.minChild.width()));
    Put(r, 40, uint32_t(b.minChild.height()));
    Put(r, 44, uint32_t(b.width));
    Put(r, 52, b.id);
    Put(r, 56, uint32_t(b.childHeight));
    Put(r, 60, uint32_t(b.maxChildHeight));
    Put(r, 64, uint32_t(b.integral));
    Put(r, 68, uint32_t(b.idealWidth));
    return r;
}

bool KvtRebar::SetBandInfo(int index, const BandRecord& r)
{
    if (index < 0 || index >= GetBandCount())
        return false;
    Band& b = m_bands[size_t(index)];
    b.style = Get(r.data(), 8);
    b.minChild = QSize(int(Get(r.data(), 36)), int(Get(r.data(), 40)));
    b.width = int(Get(r.data(), 44));
    b.id = Get(r.data(), 52);
    b.childHeight = int(Get(r.data(), 56));
    b.maxChildHeight = int(Get(r.data(), 60));
    b.integral = int(Get(r.data(), 64));
    b.idealWidth = int(Get(r.data(), 68));
    Relayout();
    return true;
}

bool KvtRebar::MoveBand(int from, int to)
{
    if (from < 0 || from >= GetBandCount() || to < 0 || to >= GetBandCount())
        return false;
    Band b = m_bands[size_t(from)];
    m_bands.erase(m_bands.begin() + from);
    m_bands.insert(m_bands.begin() + to, b);
    Relayout();
    return true;
}

uint32_t KvtRebar::ChildId(int index) const
{
    if (index < 0 || index >= GetBandCount())
        return 0;
    auto* bar = qobject_cast<ui::ControlBar*>(m_bands[size_t(index)].child);
    return bar ? bar->GetDlgCtrlID() : 0;
}

void KvtRebar::SetChildMinSize(QWidget* child, QSize size)
{
    for (Band& b : m_bands)
        if (b.child == child) {
            b.minChild = size;
            Relayout();
            return;
        }
}

QSize KvtRebar::sizeHint() const
{
    int w = 0, h = 0;
    for (const Band& b : m_bands) {
        w += std::max(b.width, b.minChild.width());
        h = std::max(h, std::max(b.childHeight, b.minChild.height()));
    }
    return QSize(w, h);
}

void KvtRebar::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    Relayout();
}

void KvtRebar::Relayout()
{
    int x = 0;
    for (const Band& b : m_bands) {
        const int w = std::max(b.width, b.minChild.width());
        if (b.child)
            b.child->setGeometry(x, 0, w, std::max(b.childHeight, b.minChild.height()));
        x += w;
    }
    updateGeometry();
}

namespace {
QString RebarKey(const QString& path, const KvtRebar* rebar)
{
    return path + QStringLiteral("KVTRebar-%1").arg(qlonglong(int32_t(rebar->GetDlgCtrlID())));
}
} // namespace

bool SaveRebarsState(QWidget* frame, const QString& path)
{
    if (ui::Application::RunsWithoutDisplay())
        return true; // no window layout of a run without a display
    if (!frame)
        return false;
    bool ok = true;
    for (KvtRebar* rebar : frame->findChildren<KvtRebar*>()) {
        const int n = rebar->GetBandCount();
        if (n == 0)
            continue;
        std::vector<uint8_t> rbi, ids;
        for (int i = 0; i < n; ++i) {
            const KvtRebar::BandRecord r = rebar->GetBandInfo(i);
            rbi.insert(rbi.end(), r.begin(), r.end());
            const uint32_t id = rebar->ChildId(i);
            for (int k = 0; k < 4; ++k)
                ids.push_back(uint8_t(id >> (8 * k)));
        }
        CKVTRegistryKey reg;
        ok = reg.CreateKey(RebarKey(path, rebar)) && reg.Write(QStringLiteral("RBI"), rbi) &&
             reg.Write(QStringLiteral("IDs"), ids) && ok;
    }
    return ok;
}

bool LoadRebarsState(QWidget* frame, const QString& path)
{
    if (!frame)
        return false;
    for (KvtRebar* rebar : frame->findChildren<KvtRebar*>()) {
        CKVTRegistryKey reg(false, true);
        if (!reg.Open(RebarKey(path, rebar)))
            continue;
        std::vector<uint8_t> rbi, ids;
        if (!reg.Read(QStringLiteral("RBI"), rbi) || !reg.Read(QStringLiteral("IDs"), ids))
            continue;
        const size_t count = ids.size() / 4;
        if (ids.size() % 4 || rbi.size() != count * 80 || int(count) != rebar->GetBandCount())
            continue;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t id = Get(ids.data(), i * 4);
            int found = -1;
            for (int k = int(i); k < rebar->GetBandCount(); ++k)
                if (rebar->ChildId(k) == id) {
                    found = k;
                    break;
                }
            if (found < 0)
                continue;
            if (found != int(i))
                rebar->MoveBand(found, int(i));
            KvtRebar::BandRecord r;
            std::memcpy(r.data(), rbi.data() + i * 80, 80);
            rebar->SetBandInfo(int(i), r);
        }
    }
    return true;
}
