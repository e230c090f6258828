#include "plcviews/PlcCommandDlg.h"

#include "projectui/ProjectHost.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "plcviews/PlcCommandText.h"
#include "platform/sys/LastError.h"
#include "res/StringTable.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

namespace {
constexpr unsigned IDS_WAIT_STATUS = 4054, IDS_WAIT_INFO = 4055, IDS_WAIT_TRANSFER = 4056, IDS_WAIT_CLEAR = 4057,
                   IDS_WAIT_SLEEP = 4058, IDS_WAIT_WAKE = 4059, IDS_WAIT_RUN = 4060, IDS_WAIT_STOP = 4061,
                   IDS_WAIT_BREAK = 4062, IDS_WAIT_STEP = 4063, IDS_WAIT_BACKUP = 4064,
                   IDS_WAIT_BREAKPOINTS = 4065;
// The basic and the extended information record as the link keeps them.
constexpr uint32_t kInfoHeld = 4096;
} // namespace

// What a transfer's job thread and the dialog share: the latest count, the
// pending update and the cancel request.  Found by the request's parameter,
// so that a job never reaches a dialog that has gone.
struct CPlcCommandDlg::TransferShared
{
    ui::MessageHandle target = 0;
    std::atomic<uint32_t> done{0};
    std::atomic<bool> pending{false};
    std::atomic<int> cancel{0};
    std::atomic<int64_t> lastPostMs{INT64_MIN / 2}; // steady clock
};

namespace {
std::mutex g_transferLock;
std::map<std::uintptr_t, std::shared_ptr<CPlcCommandDlg::TransferShared>>& Transfers()
{
    static std::map<std::uintptr_t, std::shared_ptr<CPlcCommandDlg::TransferShared>> m;
    return m;
}
} // namespace

CPlcCommandDlg::CPlcCommandDlg(QWidget* parent) : CPlcCommandDlg(IDD, parent) {}

CPlcCommandDlg::CPlcCommandDlg(uint32_t templateId, QWidget* parent) : CModalDialogBase(templateId, parent)
{
    m_link = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t, intptr_t lParam, ui::MessageRecord*) { return OnMessage(msg, lParam); });
    if (auto* edit = Item<QPlainTextEdit>(IDC_RESULT))
        edit->setTabStopDistance(8 * QFontMetrics(edit->font()).averageCharWidth());
}

CPlcCommandDlg::~CPlcCommandDlg() { EndTransfer(); }

void CPlcCommandDlg::EndTransfer()
{
    if (!m_transfer)
        return;
    {
        std::lock_guard<std::mutex> g(g_transferLock);
        Transfers().erase(m_transferKey);
    }
    m_transfer.reset();
    m_transferKey = 0;
}

uint32_t CPlcCommandDlg::LinkHandle() const { return m_link ? m_link->MessageTarget() : 0; }

QString CPlcCommandDlg::DisplayText(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A run of tabs is one step to the next column (ColumnStops).
    static const QRegularExpression tabs(QStringLiteral("\t{2,}"));
    s.replace(tabs, QStringLiteral("\t"));
    return s;
}

std::vector<double> CPlcCommandDlg::ColumnStops(const QString& text, const QFontMetrics& fm)
{
    // The texts pad a short label with a second tab so that the values
    // line up; with the program's font a fixed tab distance cannot promise
    // that.  Every column is as wide as its widest cell plus two average
    // characters (the text's runs of tabs are single ones by then).
    std::vector<int> widths;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        for (qsizetype i = 0; i + 1 < cells.size(); ++i) {
            if (size_t(i) >= widths.size())
                widths.push_back(0);
            widths[size_t(i)] = std::max(widths[size_t(i)], fm.horizontalAdvance(cells[i]));
        }
    }
    std::vector<double> stops;
    const int gap = 2 * fm.averageCharWidth();
    int x = 0;
    for (int w : widths) {
        x += w + gap;
        stops.push_back(x);
    }
    return stops;
}

void CPlcCommandDlg::DoDataExchange(ui::DataExchange& dx)
{
    if (dx.SaveAndValidate())
        return;  // the texts only go to the controls
    QString wait = DisplayText(m_waitText), result = DisplayText(m_resultText);
    dx.Text(IDC_WAIT, wait);
    dx.Text(IDC_RESULT, result);
    if (auto* edit = Item<QPlainTextEdit>(IDC_RESULT)) {
        // The columns of the text line up whatever the font.
        QTextOption option = edit->document()->defaultTextOption();
        QList<QTextOption::Tab> tabs;
        for (double x : ColumnStops(result, edit->fontMetrics()))
            tabs.append(QTextOption::Tab(x, QTextOption::LeftTab));
        option.setTabs(tabs);
        edit->document()->setDefaultTextOption(option);
    }
}

bool CPlcCommandDlg::OnInitDialog()
{
    // Every run starts in the waiting state.
    if (QWidget* w = GetDlgItem(IDC_WAIT))
        w->setVisible(true);
    if (QWidget* w = GetDlgItem(IDC_RESULT))
        w->setVisible(false);
    if (QWidget* w = GetDlgItem(IDC_PROGRESS))
        w->setVisible(false);
    if (QWidget* w = GetDlgItem(ui::IDOK_BUTTON))
        w->setVisible(false);
    if (QWidget* w = GetDlgItem(ui::IDCANCEL_BUTTON))
        w->setVisible(true);
    return CModalDialogBase::OnInitDialog();
}

void CPlcCommandDlg::StartRun(IOlnkPL* pl, int showResult, unsigned waitText)
{
    EndTransfer();
    m_pl = pl;
    m_error = 0;
    m_showResult = showResult;
    m_cancelThroughJob = 0;
    m_job = 0;
    m_transferRunning = 0;
    m_fallback = false;
    m_noAnswer = false;
    m_refusal = 0;
    m_fateUnknown = false;
    m_showsResult = false;
    m_param = 0;
    m_waitText = LoadResString(waitText);
    m_resultText.clear();
}

int CPlcCommandDlg::RunRequest(const std::function<int(uint32_t, std::uintptr_t)>& send)
{
    // The request goes out with a parameter of this run; a result that
    // carries another one (a request whose wait was cancelled) is dropped.
    if (!m_param)
        m_param = linkui::ProgressParam(LinkHandle(), ++m_counter);
    if (!m_pl || !send(LinkHandle(), m_param)) {
        m_error = 1;  // refused: no modal loop
        m_refusal = m_pl ? sys::GetLastError() : OLNK_LINK_E_NO_SESSION;
    }
    else
        RunModal();
    return EndModal();
}

int CPlcCommandDlg::Simple(IOlnkPL* pl, unsigned waitText, int (IOlnkPL::*op)(uint32_t, std::uintptr_t))
{
    StartRun(pl, 1, waitText);
    if (BeginModal() != 1)
        return 0;
    return Finish(RunRequest([&](uint32_t w, std::uintptr_t p) { return (m_pl->*op)(w, p); }));
}

int CPlcCommandDlg::ClearPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_CLEAR, &IOlnkPL::ClearPLC); }
int CPlcCommandDlg::SleepPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_SLEEP, &IOlnkPL::SleepPLC); }
int CPlcCommandDlg::WakePLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_WAKE, &IOlnkPL::WakePLC); }
int CPlcCommandDlg::RunPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_RUN, &IOlnkPL::RunPLC); }
int CPlcCommandDlg::StopPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_STOP, &IOlnkPL::StopPLC); }
int CPlcCommandDlg::BreakPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_BREAK, &IOlnkPL::BreakPLC); }
int CPlcCommandDlg::StepPLC(IOlnkPL* pl) { return Simple(pl, IDS_WAIT_STEP, &IOlnkPL::StepPLC); }

int CPlcCommandDlg::BackupPLCData(IOlnkPL* pl, int kind)
{
    StartRun(pl, 1, IDS_WAIT_BACKUP);
    if (BeginModal() != 1)
        return 0;
    return Finish(RunRequest([&](uint32_t w, std::uintptr_t p) { return m_pl->BackupPLC(w, p, uint32_t(kind)); }));
}

int CPlcCommandDlg::ClearAllBreakpoints(IOlnkPL* pl)
{
    StartRun(pl, 1, IDS_WAIT_BREAKPOINTS);
    if (BeginModal() != 1)
        return 0;
    // The breakpoint list with no entries: {u16 4, u16 0}.
    static const uint8_t kEmpty[4] = {4, 0, 0, 0};
    return Finish(RunRequest([&](uint32_t w, std::uintptr_t p) { return m_pl->SetBrksAtLine(w, p, kEmpty); }));
}

int CPlcCommandDlg::GetStatus(IOlnkPL* pl, PlcStatusRecord* out, int showResult)
{
    StartRun(pl, showResult, IDS_WAIT_STATUS);
    if (BeginModal() != 1)
        return 0;
    const int result = RunRequest([&](uint32_t w, std::uintptr_t p) { return m_pl->GetStatus(w, p); });
    if (result == IDOK && !m_error) {
        if (out) {
            PlcStatusRecord status{};
            if (!m_pl->GetLastStatus(&status))
                return 0;
            *out = status;  // the typed record, never more
        }
        return 1;
    }
    // A wait the user cancelled filled no record.
    if (result == IDCANCEL && out && !m_error)
        return 0;
    return m_error ? 0 : 1;
}

namespace {
// u32 form, then the held record, within the caller's room and the bytes held.
bool CopyInfo(IOlnkPL* pl, bool extended, void* record, uint32_t capacity)
{
    if (capacity < 4)
        return false;
    std::vector<uint8_t> held(kInfoHeld);
    uint32_t length = 0;
    if (!pl->GetLastPLCInfo(extended, held.data(), uint32_t(held.size()), &length))
        return false;
    const uint32_t form = extended ? 1 : 0;
    std::memcpy(record, &form, 4);
    const uint32_t n = std::min({capacity - 4, length, uint32_t(held.size())});
    std::memcpy(static_cast<uint8_t*>(record) + 4, held.data(), n);
    return true;
}
} // namespace

int CPlcCommandDlg::GetPLCInfo(IOlnkPL* pl, void* record, uint32_t capacity, int showResult)
{
    StartRun(pl, showResult, IDS_WAIT_INFO);
    if (BeginModal() != 1)
        return 0;
    int result = RunRequest([&](uint32_t w, std::uintptr_t p) { return m_pl->GetPLCInfoEx(w, p); });
    if (result == IDOK) {
        if (m_error)
            return 0;
        if (record)
            return CopyInfo(m_pl, true, record, capacity) ? 1 : 0;
        return 1;
    }
    if (result != IDCANCEL)
        return m_error ? 0 : 1;
    if (!m_fallback) {
        // The user cancelled the wait: nothing was filled.
        if (record)
            return 0;
        return m_error ? 0 : 1;
    }
    // The control system does not know the extended form: the basic one.
    StartRun(pl, showResult, IDS_WAIT_INFO);
    if (BeginModal() != 1)
        return 0;
    result = RunRequest([&](uint32_t w, std::uintptr_t p) { return m_pl->GetPLCInfo(w, p); });
    if (result == IDOK && !m_error) {
        if (record)
            return CopyInfo(m_pl, false, record, capacity) ? 1 : 0;
        return 1;
    }
    if (result == IDCANCEL && record && !m_error)
        return 0;
    return m_error ? 0 : 1;
}

int CPlcCommandDlg::TransferPLC(IOlnkPL* pl, uint32_t length, const void* data, int cancelThroughJob)
{
    StartRun(pl, 1, IDS_WAIT_TRANSFER);
    m_cancelThroughJob = cancelThroughJob;
    if (BeginModal() != 1)
        return 0;
    // A bar counts in int: longer transfers are shown in units of 2^k bytes.
    m_progressShift = 0;
    while ((length >> m_progressShift) > 0x7FFFFFFFu)
        ++m_progressShift;
    if (auto* bar = Item<QProgressBar>(IDC_PROGRESS)) {
        bar->setRange(0, int(length >> m_progressShift));
        bar->setValue(0);
        bar->setVisible(true);
    }
    m_transferRunning = 1;
    m_param = linkui::ProgressParam(LinkHandle(), ++m_counter);
    m_transfer = std::make_shared<TransferShared>();
    m_transfer->target = LinkHandle();
    m_transferKey = m_param;
    {
        std::lock_guard<std::mutex> g(g_transferLock);
        Transfers()[m_transferKey] = m_transfer;
    }
    const int result = RunRequest([&](uint32_t w, std::uintptr_t p) {
        return m_pl->TransferPLC(w, p, &CPlcCommandDlg::OnTransferProgress, &m_job, length, data);
    });
    EndTransfer();
    return Finish(result);
}

int CPlcCommandDlg::OnTransferProgress(uint32_t, std::uintptr_t context, uint32_t done, uint32_t total)
{
    std::shared_ptr<TransferShared> shared;
    {
        std::lock_guard<std::mutex> g(g_transferLock);
        auto it = Transfers().find(context);
        if (it != Transfers().end())
            shared = it->second;
    }
    if (!shared)
        return 1;  // nobody waits for this transfer any more
    shared->done.store(done);
    // The bar moves at most every kProgressPeriodMs and at the end: a post
    // for every block woke the UI thread thousands of times a second and
    // slowed the transfer itself.
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if ((done >= total || now - shared->lastPostMs.load() >= kProgressPeriodMs) &&
        !shared->pending.exchange(true)) {
        shared->lastPostMs.store(now);
        ui::PostMessageTo(shared->target, linkui::WM_XFER_PROGRESS, 0, 0);
    }
    return shared->cancel.load();
}

void CPlcCommandDlg::OnProgress()
{
    if (!m_transfer)
        return;
    m_transfer->pending.store(false);
    const uint32_t done = m_transfer->done.load();
    if (auto* bar = Item<QProgressBar>(IDC_PROGRESS))
        bar->setValue(std::min(int(done >> m_progressShift), bar->maximum()));
}

void CPlcCommandDlg::OnCancel()
{
    if (m_transferRunning && InModalState()) {
        if (!m_cancelThroughJob) {
            // The job stops at its next progress call and ends with its own result.
            if (m_transfer)
                m_transfer->cancel.store(1);
            return;
        }
        if (auto* control = dynamic_cast<IOlnkControl*>(m_pl))
            control->CancelJob(m_job);
    }
    CModalDialogBase::OnCancel();
}

void CPlcCommandDlg::OnModalEnd()
{
    // The run is over: a result that still arrives belongs to nobody.
    m_param = 0;
    m_transferRunning = 0;
}

intptr_t CPlcCommandDlg::OnMessage(uint32_t msg, intptr_t lParam)
{
    if (msg == WM_LINK_RESULT) {
        if (const LinkResultRecord* r = linkui::ResultOf(lParam))
            OnLinkResult(*r);
    } else if (msg == linkui::WM_XFER_PROGRESS) {
        OnProgress();
    }
    return 0;
}

void CPlcCommandDlg::OnLinkResult(const LinkResultRecord& r)
{
    if (!m_param || r.parameter != m_param || !InModalState())
        return;
    if (r.kind == plccmd::kTransfer)
        m_transferRunning = 0;
    const std::u16string fate = plccmd::FateUnknownText(r.kind, r.status);
    m_fateUnknown = !fate.empty();
    if (r.status == OLNK_STATUS_NO_ANSWER && r.kind != plccmd::kTransfer) {
        // The link gave up waiting for the reply: the box closes and the
        // connection-error dialog, which the project shows for it, comes
        // to the front instead of a result text over it.  The basic
        // information is not asked for: it would wait as long again.
        m_error = 1;
        m_noAnswer = true;
        m_resultText = QString::fromStdU16String(fate);  // not shown; the caller may
        PostCommand(IDCANCEL);
        return;
    }
    const compout::CListingFile* listing = nullptr;
    if (ProjectHost* host = GetProjectHost())
        if (CStrandworkDoc* doc = host->GetProjectDoc())
            listing = &doc->ListingFile();
    const std::u16string text =
        plccmd::ResultText(r.kind, r.status, r.data, r.data ? r.dataLength : 0, listing);
    const bool failed = OlnkResultFailed(r.kind, r.status);
    if (failed)
        m_error = 1;
    m_resultText = QString::fromStdU16String(text);
    const bool show = !text.empty() && m_showResult;
    // Only a control system that answered may not know the extended form;
    // a request the link itself ended (reset, closed) got no answer, and
    // the basic one would only open a second box on a link that is gone.
    const bool linkEnded = r.status == OLNK_STATUS_LINK_RESET || r.status == OLNK_STATUS_LINK_CLOSED;
    if (r.kind == plccmd::kInfoEx && r.status < 0 && !show && !linkEnded)
        m_fallback = true;
    if (show) {
        ShowResultView();
        return;
    }
    PostCommand(failed ? IDCANCEL : IDOK);
}

void CPlcCommandDlg::ShowResultView()
{
    UpdateData(false);
    m_showsResult = true;
    for (int id : {int(IDC_WAIT), int(IDC_PROGRESS), ui::IDCANCEL_BUTTON})
        if (QWidget* w = GetDlgItem(id))
            w->setVisible(false);
    for (int id : {int(IDC_RESULT), ui::IDOK_BUTTON})
        if (QWidget* w = GetDlgItem(id))
            w->setVisible(true);
    if (auto* ok = Item<QAbstractButton>(ui::IDOK_BUTTON))
        ok->setFocus();
    if (auto* edit = Item<QPlainTextEdit>(IDC_RESULT)) {
        QTextCursor c = edit->textCursor();
        c.movePosition(QTextCursor::Start);
        edit->setTextCursor(c);
        edit->ensureCursorVisible();
        // The dialog grows until the whole text shows (within most of the
        // screen; beyond that the text scrolls).
        const QString text = edit->toPlainText();
        const QFontMetrics fm = edit->fontMetrics();
        const std::vector<double> stops = ColumnStops(text, fm);
        int width = 0, lines = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            ++lines;
            double x = 0;
            const QStringList cells = line.split(QLatin1Char('\t'));
            for (qsizetype i = 0; i < cells.size(); ++i) {
                x += fm.horizontalAdvance(cells[i]);
                if (i + 1 < cells.size()) {
                    const auto next = std::upper_bound(stops.begin(), stops.end(), x);
                    const double tab = edit->tabStopDistance() > 0 ? edit->tabStopDistance() : 8 * fm.averageCharWidth();
                    x = next != stops.end() ? *next : (std::floor(x / tab) + 1) * tab;
                }
            }
            width = std::max(width, int(std::ceil(x)));
        }
        const int around = 2 * edit->frameWidth() + 2 * int(edit->document()->documentMargin()) + 4;
        const QSize want(width + around + edit->verticalScrollBar()->sizeHint().width(),
                         lines * fm.lineSpacing() + around);
        QSize grow = (want - edit->size()).expandedTo(QSize(0, 0));
        if (const QScreen* sc = screen()) {
            const QSize room = sc->availableGeometry().size() * 4 / 5;
            grow = grow.boundedTo((room - size()).expandedTo(QSize(0, 0)));
        }
        if (grow.width() > 0 || grow.height() > 0)
            resize(size() + grow);
    }
}
