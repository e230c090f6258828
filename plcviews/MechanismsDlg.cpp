#include "plcviews/MechanismsDlg.h"

#include "projectui/ProjectHost.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Help.h"
#include "platform/ui/Prompt.h"
#include "plcviews/LinkNotices.h"
#include "plcviews/InspectLogic.h"
#include "res/Resources.h"
#include "res/StringTable.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>

namespace {
constexpr unsigned IDS_COL_NAME = 4130, IDS_COL_STATE = 4131, IDS_RUNNING = 4132;
constexpr unsigned IDS_WATCH_REFUSED = 4133;   // "Při provádění příkazu WatchMech došlo k chybě..."
constexpr unsigned IDS_WATCH_RESULT = 4134;    // "Chyba příkazu WatchMech %d"
constexpr unsigned IDS_GETMECH_RESULT = 4135;  // "Chyba příkazu GetMech %d"
constexpr unsigned IDS_SETMECH_RESULT = 4136;  // "Chyba příkazu SetMech %d"
constexpr unsigned IDS_GETMECH_REFUSED = 4138;
constexpr unsigned IDS_SETMECH_REFUSED = 4139;
constexpr unsigned IDS_SETMECH_FATE_UNKNOWN = 4922; // "... stav mechanismu mohl nastavit."
constexpr int kIconWatched = 1009, kIconUnwatched = 1012;

QIcon Icon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }
} // namespace

CMechanismsDlg::CMechanismsDlg(QWidget* parent) : CModalDialogBase(IDD, parent)
{
    m_link = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t, intptr_t lParam, ui::MessageRecord*) { return OnMessage(msg, lParam); });
    auto button = [this](int id, void (CMechanismsDlg::*fn)()) {
        if (auto* b = Item<QAbstractButton>(id))
            connect(b, &QAbstractButton::clicked, this, [this, fn] { (this->*fn)(); });
    };
    button(IDC_WATCH, &CMechanismsDlg::OnWatchSelected);
    button(IDC_UNWATCH, &CMechanismsDlg::OnUnwatchSelected);
    button(IDC_REFRESH, &CMechanismsDlg::OnRefresh);
    button(IDC_GOTO, &CMechanismsDlg::OnGoTo);
    button(IDC_SETPERIOD, &CMechanismsDlg::OnSetPeriod);
    button(IDC_START, &CMechanismsDlg::OnStartWatch);
    button(IDC_STOP, &CMechanismsDlg::OnStopWatch);
    button(IDC_HELP, &CMechanismsDlg::OnHelp);
    if (auto* period = Item<QLineEdit>(IDC_PERIOD))
        connect(period, &QLineEdit::textEdited, this, [this] {
            if (QWidget* b = GetDlgItem(IDC_SETPERIOD))
                b->setEnabled(true);
        });
    if (QTableWidget* list = List())
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

void CMechanismsDlg::UpdateButtons()
{
    // A button is enabled only while it has something to act on: watch a
    // selected row not watched yet, unwatch a selected watched one, read
    // the watched rows, go to exactly one row, start or stop the selected.
    const std::vector<int> selected = SelectedRows();
    bool anyWatched = false, selWatched = false, selUnwatched = false;
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const bool on = m_rows[row].mech && m_rows[row].mech->state == 1;
        anyWatched = anyWatched || on;
        if (std::binary_search(selected.begin(), selected.end(), int(row)) && m_rows[row].mech)
            (on ? selWatched : selUnwatched) = true;
    }
    auto enable = [this](int id, bool on) {
        if (QWidget* b = GetDlgItem(id))
            b->setEnabled(on);
    };
    enable(IDC_WATCH, selUnwatched);
    enable(IDC_UNWATCH, selWatched);
    enable(IDC_REFRESH, anyWatched);
    enable(IDC_GOTO, selected.size() == 1);
    enable(IDC_START, !selected.empty());
    enable(IDC_STOP, !selected.empty());
}

CMechanismsDlg::~CMechanismsDlg()
{
    if (m_registered && m_doc) {
        m_doc->Link().UnregisterWindow(LinkHandle(), 0);
        m_doc->Link().UnregisterWindow(LinkHandle(), 1);
    }
}

uint32_t CMechanismsDlg::LinkHandle() const { return m_link ? m_link->MessageTarget() : 0; }

QTableWidget* CMechanismsDlg::List() const { return Item<QTableWidget>(IDC_LIST); }

void CMechanismsDlg::Error(const QString& text) { ui::Prompt(text, {}, ui::MB_OK | ui::MB_ICONERROR, this); }

int CMechanismsDlg::Run(CStrandworkDoc* doc)
{
    m_doc = doc;
    if (!doc || BeginModal() != 1)
        return 0;
    // Pushed states reach the window only while it is on list 1; the end of
    // the link (list 0) makes every state read before it stale.
    m_registered = doc->Link().RegisterWindow(LinkHandle(), OLNK_LIST_NOTIFY) != 0;
    if (m_registered)
        doc->Link().RegisterWindow(LinkHandle(), OLNK_LIST_LINK_STATE);
    InitContents();
    RunModal();
    if (m_registered) {
        doc->Link().UnregisterWindow(LinkHandle(), 0);
        doc->Link().UnregisterWindow(LinkHandle(), 1);
        m_registered = false;
    }
    return EndModal();
}

void CMechanismsDlg::InitContents()
{
    if (auto* b = Item<QAbstractButton>(IDC_WATCH))
        b->setIcon(Icon(kIconWatched));
    if (auto* b = Item<QAbstractButton>(IDC_UNWATCH))
        b->setIcon(Icon(kIconUnwatched));
    QTableWidget* list = List();
    m_rows.clear();
    m_blocks.clear();
    const compout::CListingFile& listing = m_doc->ListingFile();
    for (uint32_t i = 0; i < listing.GetMechanismCount(); ++i)
        if (compout::ListingMechanism* m = listing.GetMechanism(i))
            m_rows.push_back(Row{m});
    // In listing order: the listing gives them by name.
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const Row& a, const Row& b) { return a.mech->firstLine < b.mech->firstLine; });
    if (list) {
        list->setColumnCount(2);
        list->setHorizontalHeaderLabels({LoadResString(IDS_COL_NAME), LoadResString(IDS_COL_STATE)});
        list->setColumnWidth(0, 100);
        list->setColumnWidth(1, 200);
        list->horizontalHeader()->setStretchLastSection(true);
        list->verticalHeader()->setVisible(false);
        list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
        list->setIconSize(QSize(16, 16));
        list->setRowCount(int(m_rows.size()));
    }
    if (auto* period = Item<QLineEdit>(IDC_PERIOD))
        period->setText(QString::number(m_doc->Data().WatchMechInterval));
    if (QWidget* b = GetDlgItem(IDC_SETPERIOD))
        b->setEnabled(false);
    UpdateRows();
    OnRefresh();
}

bool CMechanismsDlg::RowState(int row, bool& running, uint32_t& index)
{
    if (row < 0 || size_t(row) >= m_rows.size() || !m_doc)
        return false;
    const Row& r = m_rows[size_t(row)];
    if (!r.mech || r.mech->state != 1)
        return false;
    MechStateRecord pushed{};
    if (m_doc->Link().GetWatchMechState(r.mech->selector, r.mech->address, &pushed) >= 0) {
        running = pushed.running != 0;
        index = pushed.index;
        return true;
    }
    if (!r.refreshed)
        return false;
    running = r.running;
    index = r.index;
    return true;
}

QString CMechanismsDlg::RowText(int row, int column)
{
    if (row < 0 || size_t(row) >= m_rows.size() || !m_rows[size_t(row)].mech)
        return {};
    if (column == 0)
        return QString::fromStdU16String(m_rows[size_t(row)].mech->name);
    bool running = false;
    uint32_t index = 0;
    return RowState(row, running, index) && running ? LoadResString(IDS_RUNNING) : QString();
}

void CMechanismsDlg::UpdateRows()
{
    QTableWidget* list = List();
    if (!list)
        return;
    const QIcon watched = Icon(kIconWatched), unwatched = Icon(kIconUnwatched);
    for (int row = 0; row < int(m_rows.size()); ++row) {
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem* item = list->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                list->setItem(row, column, item);
            }
            const QString text = RowText(row, column);
            if (item->text() != text)
                item->setText(text);
        }
        const bool on = m_rows[size_t(row)].mech && m_rows[size_t(row)].mech->state == 1;
        list->item(row, 0)->setIcon(on ? watched : unwatched);
    }
    UpdateButtons();
}

std::vector<int> CMechanismsDlg::SelectedRows() const
{
    std::vector<int> rows;
    if (QTableWidget* list = List())
        for (const QModelIndex& i : list->selectionModel()->selectedRows())
            rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CMechanismsDlg::SelectRows(const std::vector<int>& rows)
{
    QTableWidget* list = List();
    if (!list)
        return;
    list->clearSelection();
    for (int r : rows)
        list->selectionModel()->select(list->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

bool CMechanismsDlg::SendPeriodAndCommit()
{
    COlnkLink& link = m_doc->Link();
    return link.SetWatchMechPeriod(LinkHandle(), 0, m_doc->Data().WatchMechInterval, 0) &&
           link.CommitWatchMech(LinkHandle(), 0);
}

void CMechanismsDlg::OnWatchSelected()
{
    if (!m_doc)
        return;
    bool changed = false, refused = false;
    auto& names = m_doc->Data().WatchedMechanisms;
    auto& set = m_doc->MechanismWatchSet();
    for (int row : SelectedRows()) {
        compout::ListingMechanism* m = m_rows[size_t(row)].mech;
        if (!m || m->state == 1)
            continue;  // already watched: nothing for it
        names.push_back(m->name);
        set.push_back(MechanismWatch{m->address, m->selector});
        m->state = 1;
        changed = true;
        if (!m_doc->Link().AddWatchMech(LinkHandle(), 0, m->selector, m->address, 0))
            refused = true;
    }
    if (changed)
        FinishWatchChange(refused);
}

void CMechanismsDlg::OnUnwatchSelected()
{
    if (!m_doc)
        return;
    bool changed = false, refused = false;
    auto& names = m_doc->Data().WatchedMechanisms;
    auto& set = m_doc->MechanismWatchSet();
    for (int row : SelectedRows()) {
        compout::ListingMechanism* m = m_rows[size_t(row)].mech;
        if (!m || m->state != 1)
            continue;
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const std::u16string& n) { return core::EqualsFileNameNoCase(n, m->name); }),
                    names.end());
        if (auto it = std::find(set.begin(), set.end(), MechanismWatch{m->address, m->selector}); it != set.end())
            set.erase(it);
        m->state = 0;
        m_rows[size_t(row)].refreshed = false;
        changed = true;
        if (!m_doc->Link().RemoveWatchMech(LinkHandle(), 0, m->selector, m->address, 0))
            refused = true;
    }
    if (changed)
        FinishWatchChange(refused);
}

// After a watch or unwatch: the project is modified, one request sets the
// period and commits the whole action, and the rows show the new state.
void CMechanismsDlg::FinishWatchChange(bool refused)
{
    m_doc->SetModifiedFlag(true);
    if (!SendPeriodAndCommit())
        refused = true;
    UpdateRows();
    if (refused)
        Error(plcviews::RefusalText(IDS_WATCH_REFUSED));
}

void CMechanismsDlg::OnRefresh()
{
    if (!m_doc)
        return;
    std::vector<int> watched;
    std::vector<inspect::MechKey> keys;
    for (int row = 0; row < int(m_rows.size()); ++row)
        if (const compout::ListingMechanism* m = m_rows[size_t(row)].mech; m && m->state == 1) {
            watched.push_back(row);
            keys.push_back({m->address, m->selector});
        }
    const auto blocks = inspect::ReadMechanismBlocks(keys);
    m_blocks.clear();
    for (size_t k = 0; k < blocks.size(); ++k) {
        const size_t first = k * inspect::kMechBlock;
        m_blocks.emplace_back(watched.begin() + std::ptrdiff_t(first),
                              watched.begin() + std::ptrdiff_t(std::min(watched.size(), first + inspect::kMechBlock)));
    }
    for (size_t k = 0; k < blocks.size(); ++k)
        if (!m_doc->Link().GetMech(LinkHandle(), k, blocks[k].data())) {
            Error(LoadResString(IDS_GETMECH_REFUSED));
            break;
        }
}

void CMechanismsDlg::ForgetRefreshedStates(const std::vector<int>& rows)
{
    if (rows.empty()) {
        for (Row& row : m_rows)
            row.refreshed = false;
        return;
    }
    for (int row : rows)
        if (row >= 0 && size_t(row) < m_rows.size())
            m_rows[size_t(row)].refreshed = false;
}

void CMechanismsDlg::OnGoTo()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1 || !m_doc)
        return;
    const compout::ListingMechanism* m = m_rows[size_t(rows[0])].mech;
    if (!m)
        return;
    bool running = false;
    uint32_t index = 0;
    m_doc->GoToListingLine(m->firstLine);
    if (RowState(rows[0], running, index) && index >= m->firstLine && index <= m->lastLine)
        m_doc->GoToListingLine(index);
    PostCommand(IDOK);
}

void CMechanismsDlg::OnSetPeriod()
{
    if (!m_doc)
        return;
    int period = m_doc->Data().WatchMechInterval;
    ui::DataExchange dx(this, true);
    dx.Int(IDC_PERIOD, period, 0, 65535);
    if (dx.Failed())
        return;
    m_doc->Data().WatchMechInterval = uint16_t(period);
    m_doc->SetModifiedFlag(true);
    if (QWidget* b = GetDlgItem(IDC_SETPERIOD))
        b->setEnabled(false);
    if (!SendPeriodAndCommit())
        Error(plcviews::RefusalText(IDS_WATCH_REFUSED));
}

void CMechanismsDlg::SetSelected(bool run)
{
    if (!m_doc)
        return;
    for (int row : SelectedRows()) {
        const compout::ListingMechanism* m = m_rows[size_t(row)].mech;
        if (!m)
            continue;
        const auto rec = inspect::SetMechanismRecord(m->address, m->selector, run);
        if (!m_doc->Link().SetMech(LinkHandle(), 0, rec.data())) {
            Error(plcviews::RefusalText(IDS_SETMECH_REFUSED));
            return;
        }
    }
}

void CMechanismsDlg::OnHelp()
{
    ProjectHost* host = GetProjectHost();
    ui::WinHelp(host ? host->GetHelpPath(0) : QString(), ui::HELP_KEY, QStringLiteral("Mechanismy"));
}

intptr_t CMechanismsDlg::OnMessage(uint32_t msg, intptr_t lParam)
{
    if (msg == WM_LINK_NOTIFY) {
        // A control system that fell silent: the states read from it are no
        // more current than after a reset.
        if (lParam == OLNK_NOTIFY_SILENT)
            ForgetRefreshedStates({});
        if (lParam == 5 || lParam == OLNK_NOTIFY_SILENT)
            UpdateRows();
    } else if (msg == WM_LINK_STATE) {
        // The link was reset: no state read before is current.
        ForgetRefreshedStates({});
        UpdateRows();
    } else if (msg == WM_LINK_RESULT) {
        if (const LinkResultRecord* r = linkui::ResultOf(lParam))
            OnLinkResult(*r);
    }
    return 0;
}

void CMechanismsDlg::OnLinkResult(const LinkResultRecord& r)
{
    switch (r.kind) {
    case 21:
        if (plcviews::FateUnknown(r))
            Error(plcviews::FateUnknownLine(QStringLiteral("WatchMech")).trimmed());
        else if (r.status < 0)
            Error(FormatResString(IDS_WATCH_RESULT, int(r.status)));
        if (ProjectHost* host = GetProjectHost())
            host->UpdatePlcViews(nullptr, 13, nullptr);
        break;
    case 24: {
        if (r.status < 0) {
            // The rows it asked for no longer show what an earlier read said.
            ForgetRefreshedStates(r.parameter < m_blocks.size() ? m_blocks[r.parameter] : std::vector<int>{});
            UpdateRows();
            Error(FormatResString(IDS_GETMECH_RESULT, int(r.status)));
            break;
        }
        // Block k answers the rows it asked for, within the reply.
        if (r.parameter >= m_blocks.size())
            break;
        const std::vector<int>& rows = m_blocks[r.parameter];
        const auto states = inspect::ReadMechanismStates(r.data, r.data ? r.dataLength : 0, rows.size());
        for (size_t i = 0; i < states.size(); ++i) {
            Row& row = m_rows[size_t(rows[i])];
            row.refreshed = true;
            row.running = states[i].running;
            row.index = states[i].index;
        }
        UpdateRows();
        break;
    }
    case 25:
        if (plcviews::FateUnknown(r))
            Error(LoadResString(IDS_SETMECH_FATE_UNKNOWN));
        else if (r.status < 0)
            Error(FormatResString(IDS_SETMECH_RESULT, int(r.status)));
        break;
    default: break;
    }
}
