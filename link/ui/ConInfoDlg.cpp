#include "link/ui/ConInfoDlg.h"

#include "link/linkobj/olnk_link.h"
#include "fontcolor/ColorEdit.h"
#include "platform/ui/Dialog.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace linkui {

namespace {
constexpr unsigned IDS_TAB_TABLE = 11018, IDS_TAB_GRAPH = 11019, IDS_TAB_SETUP = 11020;
constexpr int kMinInterval = 100;
constexpr QSize kGraphMinimum(40, 30);

QColor FromColorRef(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// The form of a page laid into the page widget through a scroll area: the
// form fills the page while the page is at least as large as the form's
// minimum, and scroll bars appear when it is smaller (a small docking bar),
// so nothing is ever cut off.
QWidget* EmbedScrolled(QWidget* page, uint32_t id)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(page);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    layout->addWidget(scroll);
    QWidget* form = ui::LoadForm(id, scroll);
    if (form) {
        form->setAutoFillBackground(false);
        scroll->setWidget(form);
    }
    return form;
}

// The dialog's own form, laid over the whole widget.
QWidget* Embed(QWidget* w, uint32_t id)
{
    QWidget* form = ui::LoadForm(id, w);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    if (form)
        layout->addWidget(form);
    return form;
}

QString Number(int64_t v) { return QString::number(v); }
} // namespace

// ---------------------------------------------------------------- stat page

CConInfoStatPage::CConInfoStatPage(QWidget* parent) : QWidget(parent) { EmbedScrolled(this, 11001); }

void CConInfoStatPage::Set(int id, const QString& text)
{
    if (auto* l = findChild<QLabel*>(QStringLiteral("c%1").arg(id)))
        l->setText(text);
}

QString CConInfoStatPage::Value(int id) const
{
    auto* l = findChild<QLabel*>(QStringLiteral("c%1").arg(id));
    return l ? l->text() : QString();
}

void CConInfoStatPage::Show(const OlnkStatistics& s, const Rates& r)
{
    auto counter = [](uint64_t v) { return QString::fromStdU16String(CounterText(v)); };
    Set(1026, counter(s.ConnectionTime / 10000000));
    Set(1027, counter(s.SendBytes));
    Set(1028, counter(s.SendPackets));
    Set(1029, counter(s.RecBytes));
    Set(1030, counter(s.RecPackets));
    Set(1031, counter(s.PutBytes));
    Set(1032, counter(s.PutPackets));
    Set(1033, counter(s.GetBytes));
    Set(1034, counter(s.GetPackets));
    Set(1035, counter(s.HeaderErr));
    Set(1036, counter(s.DataErr));
    Set(1037, counter(s.ProgramErr));
    Set(1046, counter(s.NAKs));
    Set(1038, Number(r.SendBytes()));
    Set(1039, Number(r.RecBytes()));
    Set(1040, Number(r.PutBytes()));
    Set(1041, Number(r.GetBytes()));
    Set(1042, Number(r.SendPackets()));
    Set(1043, Number(r.RecPackets()));
    Set(1044, Number(r.PutPackets()));
    Set(1045, Number(r.GetPackets()));
}

// --------------------------------------------------------------- graph page

CConInfoGraphPage::CConInfoGraphPage(QWidget* parent, ConInfoModel* model) : QWidget(parent), m_model(model)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The graph draws at any size: a small one must never widen the monitor
    // beyond its bar.
    setMinimumSize(kGraphMinimum);
}

void CConInfoGraphPage::SetSettings(const GraphSettings& s)
{
    m_model->settings = s;
    update();
}

void CConInfoGraphPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    Paint(p, *m_model, width(), height());
}

void CConInfoGraphPage::Paint(QPainter& p, const ConInfoModel& model, int w, int h)
{
    p.fillRect(0, 0, w, h, Qt::black);
    const QColor grey(0x82, 0x82, 0x82), light(0xC8, 0xC8, 0xC8);
    p.setPen(QPen(grey, 1));
    const double perCent = (h - 6) * 0.01;
    for (int i = 0; i <= 10; ++i) {
        const int y = int((h - 3) - i * 10 * perCent);
        p.drawLine(3, y, w - 3, y);
    }
    for (int x = 3; x <= w - 3; x += 40)
        p.drawLine(x, 3, x, h - 3);
    p.setPen(QPen(light, 1));
    p.drawRect(3, 3, w - 7, h - 7);
    for (int slot : ConInfoModel::kDrawOrder) {
        const auto pts = model.Polyline(slot, w, h);
        if (pts.size() < 2)
            continue;
        p.setPen(QPen(FromColorRef(model.settings.series[size_t(slot)].colour), 1));
        std::vector<QPoint> q;
        q.reserve(pts.size());
        for (const auto& pt : pts)
            q.emplace_back(pt.x, pt.y);
        p.drawPolyline(q.data(), int(q.size()));
    }
}

// --------------------------------------------------------------- setup page

CConInfoSetupPage::CConInfoSetupPage(QWidget* parent) : QWidget(parent)
{
    EmbedScrolled(this, 11004);
    for (int row = 0; row < kSeries; ++row) {
        const SetupRow& r = kSetupRows[row];
        const int slot = r.slot;
        m_check[size_t(slot)] = findChild<QCheckBox*>(QStringLiteral("c%1").arg(r.checkId));
        m_range[size_t(slot)] = findChild<QLineEdit*>(QStringLiteral("c%1").arg(r.rangeId));
        m_rate[size_t(slot)] = findChild<QLabel*>(QStringLiteral("c%1").arg(r.rateId));
        auto* swatch = new CColorEdit(this, r.swatchId);
        if (QWidget* ph = findChild<QWidget*>(QStringLiteral("c%1").arg(r.swatchId))) {
            QWidget* parentW = ph->parentWidget();
            swatch->setParent(parentW);
            swatch->setMinimumSize(ph->minimumSize());
            if (auto* grid = qobject_cast<QGridLayout*>(parentW->layout()))
                delete grid->replaceWidget(ph, swatch);
            ph->setObjectName(QString());
            ph->hide();
            ph->deleteLater();
            swatch->show();
        }
        swatch->setObjectName(QStringLiteral("c%1").arg(r.swatchId));
        m_swatch[size_t(slot)] = swatch;
    }
    m_interval = findChild<QLineEdit*>(QStringLiteral("c11047"));
}

GraphSettings CConInfoSetupPage::Read()
{
    GraphSettings& s = m_last;
    for (int slot = 0; slot < kSeries; ++slot) {
        SeriesSettings& ss = s.series[size_t(slot)];
        if (m_check[size_t(slot)])
            ss.shown = m_check[size_t(slot)]->isChecked() ? 1 : 0;
        int64_t v = 0;
        if (m_range[size_t(slot)] && ReadSettingNumber(m_range[size_t(slot)]->text().toStdU16String(), v))
            ss.range = uint32_t(v);
        ss.colour = m_swatch[size_t(slot)]->GetColor();
    }
    int64_t v = 0;
    if (m_interval && ReadSettingNumber(m_interval->text().toStdU16String(), v))
        s.intervalMs = uint32_t(std::clamp<int64_t>(v, kMinInterval, INT32_MAX));
    return s;
}

void CConInfoSetupPage::Write(const GraphSettings& s)
{
    m_last = s;
    for (int slot = 0; slot < kSeries; ++slot) {
        const SeriesSettings& ss = s.series[size_t(slot)];
        if (m_check[size_t(slot)])
            m_check[size_t(slot)]->setChecked(ss.shown != 0);
        if (m_range[size_t(slot)])
            m_range[size_t(slot)]->setText(QString::number(int32_t(ss.range)));
        m_swatch[size_t(slot)]->SetColor(ss.colour);
    }
    if (m_interval)
        m_interval->setText(QString::number(int32_t(s.intervalMs)));
}

void CConInfoSetupPage::ShowRates(const Rates& r)
{
    for (int slot = 0; slot < kSeries; ++slot)
        if (m_rate[size_t(slot)])
            m_rate[size_t(slot)]->setText(QString::number(r.bySlot[size_t(slot)]));
}

// ------------------------------------------------------------------- dialog

CConInfoDlg::CConInfoDlg(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    QWidget* form = Embed(this, 11000);
    m_tabs = form ? form->findChild<QTabWidget*>(QStringLiteral("c11000")) : nullptr;
    if (!m_tabs) {
        m_tabs = new QTabWidget(this);
        m_tabs->setObjectName(QStringLiteral("c11000"));
        layout()->addWidget(m_tabs);
    }
    m_stat = new CConInfoStatPage(nullptr);
    m_graph = new CConInfoGraphPage(nullptr, &m_model);
    m_graph->setObjectName(QStringLiteral("c11009"));
    m_setup = new CConInfoSetupPage(nullptr);
    m_tabs->addTab(m_stat, LoadResString(IDS_TAB_TABLE));
    m_tabs->addTab(m_graph, LoadResString(IDS_TAB_GRAPH));
    m_tabs->addTab(m_setup, LoadResString(IDS_TAB_SETUP));
    m_model.settings = GraphSettings::Defaults();
    m_setup->Write(m_model.settings);
    m_tabs->setCurrentIndex(0);
    // No minimum of the pages' size (the monitor has none, see
    // minimumSizeHint): the bar that holds it may be smaller, and then the
    // pages scroll and so do the tabs.
    m_tabs->setUsesScrollButtons(true);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CConInfoDlg::OnTabSelChange);
    connect(m_timer, &QTimer::timeout, this, &CConInfoDlg::OnTimer);
}

CConInfoDlg::~CConInfoDlg() = default;

QSize CConInfoDlg::sizeHint() const
{
    // The tab widget around the largest page at its full size (a scroll
    // area's own hint is cut to a few dozen lines).
    QSize page(0, 0);
    for (QWidget* w : {static_cast<QWidget*>(m_stat), static_cast<QWidget*>(m_setup)})
        if (auto* scroll = w->findChild<QScrollArea*>())
            if (QWidget* form = scroll->widget())
                page = page.expandedTo(form->sizeHint().expandedTo(form->minimumSizeHint()));
    page = page.expandedTo(kGraphMinimum);
    const QSize tabBar = m_tabs->tabBar()->sizeHint();
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(m_tabs);
    opt.tabBarSize = tabBar;
    const QSize frame = m_tabs->style()->sizeFromContents(QStyle::CT_TabWidget, &opt, page, m_tabs);
    QSize s(std::max(frame.width(), tabBar.width()), frame.height() + tabBar.height());
    // The margins of the layouts between the tab widget and this widget.
    for (QWidget* w = m_tabs->parentWidget(); w; w = w == this ? nullptr : w->parentWidget())
        if (const QLayout* l = w->layout()) {
            const QMargins m = l->contentsMargins();
            s += QSize(m.left() + m.right(), m.top() + m.bottom());
        }
    return s;
}

QSize CConInfoDlg::minimumSizeHint() const { return QSize(0, 0); }

bool CConInfoDlg::StartRefresh(COlnkLink* link)
{
    m_timer->stop();
    m_model.Invalidate();
    OlnkStatistics s{};
    s.size = 120;
    if (link && link->GetStatistics(&s))
        m_model.Reading(s); // the first reading only samples
    const GraphSettings g = m_setup->Read();
    m_interval = int(std::max<uint32_t>(g.intervalMs, kMinInterval));
    m_link = link;
    m_timer->start(m_interval);
    return true;
}

void CConInfoDlg::StopRefresh()
{
    m_link = nullptr;
    m_timer->stop();
}

void CConInfoDlg::OnTimer()
{
    if (!m_link)
        return;
    OlnkStatistics s{};
    s.size = 120;
    const bool channel = m_link->GetStatistics(&s);
    if (!m_model.HasPrevious()) {
        if (channel)
            m_model.Reading(s);
        return;
    }
    if (!channel) {
        m_model.Invalidate();
        return;
    }
    const auto rates = m_model.Reading(s);
    m_stat->Show(s, rates ? *rates : Rates{});
    if (rates) {
        m_graph->update();
        m_setup->Read();
        m_setup->ShowRates(*rates);
    }
}

void CConInfoDlg::OnTabSelChange(int index)
{
    if (m_tabs->widget(index) == m_graph)
        m_graph->SetSettings(m_setup->Read());
    if (m_link)
        Restart(int(m_setup->Read().intervalMs));
}

void CConInfoDlg::Restart(int interval)
{
    interval = std::max(interval, kMinInterval);
    if (interval != m_interval) {
        m_interval = interval;
        m_timer->start(m_interval);
    }
}

} // namespace linkui
