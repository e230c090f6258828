#include "link/ui/TransferProgressDlg.h"

#include "core/common/OutputSink.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/Beneath.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/Time.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <climits>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace linkui {

namespace {
constexpr int kMaxInFlight = 5;

int Cmp(unsigned a, unsigned b) { return a > b ? 1 : a < b ? -1 : 0; }
} // namespace

int CompareDosDateTime(uint16_t date1, uint16_t time1, uint16_t date2, uint16_t time2)
{
    if (int c = Cmp(date1 >> 9, date2 >> 9))
        return c;
    if (int c = Cmp((date1 >> 5) & 0xF, (date2 >> 5) & 0xF))
        return c;
    if (int c = Cmp(date1 & 0x1F, date2 & 0x1F))
        return c;
    if (int c = Cmp(time1 >> 11, time2 >> 11))
        return c;
    if (int c = Cmp((time1 >> 5) & 0x3F, (time2 >> 5) & 0x3F))
        return c;
    const int s1 = time1 & 0x1F, s2 = time2 & 0x1F;
    if (s1 > s2 + 2)
        return 1;
    if (s1 + 2 < s2)
        return -1;
    return 0;
}

XferLocalInfo LocalInfoOf(const std::u16string& nativePath)
{
    XferLocalInfo info;
    std::string native;
    struct stat st;
    if (!sys::TextToNative(nativePath, native) || ::stat(native.c_str(), &st) != 0)
        return info;
    info.exists = true;
    info.regular = S_ISREG(st.st_mode);
    if (!info.regular)
        return info;
    info.size = uint32_t(st.st_size);
    const sys::FileTime ft = sys::FileTimeFromUnix(int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec));
    if (!sys::FileTimeToDosDateTime(ft, info.date, info.time))
        info.regular = false; // an unusable stamp counts as no information
    return info;
}

XferDecision DecideTransfer(int type, const FileListRecord* remote, const XferLocalInfo& local)
{
    XferDecision d;
    if (local.exists && !local.regular) {
        d.error = true;
        return d;
    }
    if (!remote) {
        d.transfer = d.send = true;
        return d;
    }
    if (!local.exists) {
        if (type == 4)
            d.transfer = true; // fetch
        else
            d.error = true;
        return d;
    }
    const uint16_t rDate = remote->dosDate, rTime = remote->dosTime;
    const uint32_t rSize = remote->size;
    const int cmp = CompareDosDateTime(local.date, local.time, rDate, rTime);
    switch (type) {
    case 2:
        d.transfer = d.send = cmp > 0;
        break;
    case 3:
        d.transfer = d.send = cmp != 0 || local.size != rSize;
        break;
    case 4:
        if (cmp > 0) {
            d.transfer = d.send = true;
        } else if (cmp < 0) {
            d.transfer = true;
        } else if (local.size != rSize) {
            d.transfer = d.send = true;
        }
        break;
    default:
        break;
    }
    return d;
}

CTransferProgressDlg::CTransferProgressDlg(QWidget* parent, core::OutputSink* output)
    : ui::Dialog(1024, parent), m_output(output)
{
    m_text = Item<QLabel>(1105);
    m_bar = Item<QProgressBar>(1103);
    if (m_text)
        m_text->setText(LoadResString(4181));
    m_barTimer = new QTimer(this);
    m_barTimer->setInterval(50);
    connect(m_barTimer, &QTimer::timeout, this, [this] {
        if (m_barDirty)
            UpdateBar();
    });
}

CTransferProgressDlg::~CTransferProgressDlg()
{
    if (m_running)
        Finish(false);
}

void CTransferProgressDlg::Out(const QString& line)
{
    if (m_output)
        m_output->AppendText(line.toStdU16String());
}

bool CTransferProgressDlg::Setup(IOxfrC* link, XferFileItem* items, int count, const char* text)
{
    if (count <= 0)
        return true;
    m_link = link;
    m_control = ControlOf(link);
    m_items = items;
    m_count = count;
    for (int i = 0; i < count; ++i) {
        items[i].decided = false;
        items[i].job = 0;
        items[i].total = items[i].done = 0;
    }
    m_nextAsk = m_asking = m_nextTransfer = m_transfersRunning = m_maxTransfers = m_finished = 0;
    if (text && m_text)
        m_text->setText(QString::fromStdU16String(sys::AnsiToWide(text)));
    m_result = true;
    m_target = ui::RegisterMessageTarget(this, [this](uint32_t msg, uintptr_t w, intptr_t l, ui::MessageRecord*) {
        return OnMessage(msg, w, l);
    });
    if (m_control && m_control->RegisterWindow(m_target, OLNK_LIST_LINK_STATE))
        m_registered = true;
    m_running = true;
    if (BeginModal() < 0) {
        Finish(false);
        return false;
    }
    m_barTimer->start();
    StepA();
    StepB();
    CheckEnd();
    if (m_running)
        RunModal();
    EndModal();
    m_barTimer->stop();
    return result() == QDialog::Accepted;
}

void CTransferProgressDlg::OnCancel()
{
    if (m_running)
        Finish(false);
    else
        done(QDialog::Rejected);
}

void CTransferProgressDlg::Finish(bool ok)
{
    if (!m_running)
        return;
    m_running = false;
    // Transfers still running are cancelled; their results are dropped.
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i].job && m_control)
            m_control->CancelJob(m_items[i].job);
        m_items[i].job = 0;
    }
    if (m_registered && m_control)
        m_control->UnregisterWindow(m_target, 0);
    m_registered = false;
    if (m_target)
        ui::UnregisterMessageTarget(m_target);
    m_target = 0;
    UpdateBar();
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void CTransferProgressDlg::StepA()
{
    while (m_running && m_nextAsk < m_count && m_asking < kMaxInFlight) {
        XferFileItem& it = m_items[m_nextAsk];
        const int index = m_nextAsk++;
        const QString local = QString::fromStdU16String(it.localPath);
        const QString remote = QString::fromStdU16String(it.remotePath);
        switch (it.type) {
        case 2:
        case 3:
        case 4:
            Out(FormatResString(4182, local, remote));
            if (!m_link || !m_link->GetFileInfo(m_target, ProgressParam(m_target, uint32_t(index)), it.remotePath.c_str())) {
                m_result = false;
                Out(FormatResString(4183, remote));
                it.decided = true;
                it.transfer = false;
            } else {
                ++m_asking;
            }
            break;
        case 5:
        case 6: {
            it.decided = true;
            const XferLocalInfo info = LocalInfoOf(it.localPath);
            if (info.exists && !info.regular) {
                m_result = false;
                Out(FormatResString(IDS_FILE_INFO_FAILED, local));
                it.transfer = false;
            } else {
                it.transfer = true;
                it.send = it.type == 5;
                if (it.send)
                    it.total = info.size; // the bar counts the file before its first progress
            }
            break;
        }
        default:
            it.decided = true;
            it.transfer = false;
            break;
        }
    }
}

bool CTransferProgressDlg::Fetch(XferFileItem& it, std::uintptr_t param, bool& link)
{
    link = false;
    std::string base, path, rel;
    if (it.localBase.empty() || !sys::TextToNative(it.localBase, base) || !sys::TextToNative(it.localPath, path) ||
        !sys::RelativeBelow(base, path, rel))
        return m_link->Get(m_target, param, &PostProgress, &it.job, it.remotePath.c_str(), it.localPath.c_str());
    // Below the project folder: through its descriptor, never through a link.
    const sys::OwnedFd root(sys::OpenChosenFolder(base));
    std::string name;
    const sys::OwnedFd parent(sys::OpenParentBeneath(root.Get(), rel, name));
    struct stat st;
    if (!parent.Valid()) {
        link = errno == ELOOP;
        return false;
    }
    if (::fstatat(parent.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        link = true;
        return false;
    }
    if (m_link->GetInto(m_target, param, &PostProgress, &it.job, it.remotePath.c_str(), parent.Get(),
                        sys::NativeToText(name).c_str()))
        return true;
    link = sys::GetLastError() == ELOOP;
    return false;
}

void CTransferProgressDlg::StepB()
{
    while (m_running && m_nextTransfer < m_count && m_items[m_nextTransfer].decided &&
           m_transfersRunning < kMaxInFlight) {
        XferFileItem& it = m_items[m_nextTransfer];
        const int index = m_nextTransfer++;
        if (!it.transfer) {
            ++m_finished;
            continue;
        }
        const QString local = QString::fromStdU16String(it.localPath);
        const QString remote = QString::fromStdU16String(it.remotePath);
        const std::uintptr_t param = ProgressParam(m_target, uint32_t(index));
        int ok = 0;
        if (it.send) {
            Out(FormatResString(4184, local, remote));
            ok = m_link && m_link->Put(m_target, param, &PostProgress, &it.job, it.localPath.c_str(), it.remotePath.c_str());
            if (!ok)
                Out(FormatResString(4185, local, remote));
        } else {
            Out(FormatResString(4186, local, remote));
            bool link = false;
            ok = m_link && Fetch(it, param, link);
            if (link)
                Out(FormatResString(IDS_TARGET_IS_LINK, local));
            else if (!ok)
                Out(FormatResString(4187, local, remote));
        }
        if (!ok) {
            m_result = false;
            it.job = 0;
            ++m_finished;
        } else {
            ++m_transfersRunning;
            m_maxTransfers = std::max(m_maxTransfers, m_transfersRunning);
        }
    }
}

void CTransferProgressDlg::CheckEnd()
{
    if (m_running && m_finished >= m_count)
        Finish(m_result);
}

intptr_t CTransferProgressDlg::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    if (!m_running)
        return 0;
    if (msg == WM_XFER_RESULT && lParam) {
        OnResult(*ResultOf(lParam));
    } else if (msg == WM_XFER_PROGRESS) {
        if (wParam < uintptr_t(m_count)) {
            XferFileItem& it = m_items[wParam];
            it.done = uint32_t(uint64_t(lParam));
            it.total = uint32_t(uint64_t(lParam) >> 32);
            m_barDirty = true;
        }
    } else if (msg == WM_LINK_STATE) {
        Out(FormatResString(4191));
        Finish(false);
    }
    return 0;
}

void CTransferProgressDlg::Decide(XferFileItem& it, const FileListRecord* remote)
{
    const XferLocalInfo local = LocalInfoOf(it.localPath);
    const XferDecision d = DecideTransfer(it.type, remote, local);
    it.decided = true;
    it.transfer = d.transfer;
    it.send = d.send;
    if (d.transfer && d.send)
        it.total = local.size;
    if (d.error) {
        m_result = false;
        Out(FormatResString(IDS_FILE_INFO_FAILED, QString::fromStdU16String(it.localPath)));
    }
}

void CTransferProgressDlg::OnResult(const LinkResultRecord& r)
{
    const uint32_t index = ValueOfParam(r.parameter);
    if (index >= uint32_t(m_count))
        return;
    XferFileItem& it = m_items[index];
    if (r.kind == 4 || r.kind == 6) {
        it.job = 0;
        --m_transfersRunning;
        ++m_finished;
        if (r.status < 0) {
            m_result = false;
            const QString local = QString::fromStdU16String(it.localPath);
            const QString remote = QString::fromStdU16String(it.remotePath);
            Out(it.send ? FormatResString(4188, local, remote) : FormatResString(4189, remote, local));
        } else {
            it.done = it.total;
        }
        m_barDirty = true;
    } else if (r.kind == 5) {
        --m_asking;
        if (r.status < 0 || !r.data || r.dataLength < sizeof(FileListRecord)) {
            const XferLocalInfo local = LocalInfoOf(it.localPath);
            it.decided = true;
            if (local.exists && !local.regular) {
                m_result = false;
                it.transfer = false;
                Out(FormatResString(IDS_FILE_INFO_FAILED, QString::fromStdU16String(it.localPath)));
            } else {
                it.transfer = it.send = true;
                it.total = local.size;
            }
        } else {
            FileListRecord info;
            std::memcpy(&info, r.data, sizeof info);
            it.total = info.size;
            Decide(it, &info);
        }
    } else {
        return;
    }
    StepA();
    StepB();
    CheckEnd();
}

void CTransferProgressDlg::UpdateBar()
{
    m_barDirty = false;
    if (!m_bar || !m_items)
        return;
    uint64_t total = 0, done = 0;
    for (int i = 0; i < m_count; ++i)
        if (m_items[i].decided && m_items[i].transfer) {
            total += m_items[i].total;
            done += m_items[i].done;
        }
    int shift = 0;
    while ((total >> shift) > uint64_t(INT_MAX))
        ++shift;
    const int max = int(total >> shift);
    m_bar->setRange(0, max > 0 ? max : 1);
    m_bar->setValue(int(std::min(done, total) >> shift));
}

} // namespace linkui
