#include "link/ui/FileOpDlg.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LocalFiles.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Modal.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>

#include <climits>

namespace linkui {

namespace {
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
} // namespace

CFileOpDlg::CFileOpDlg(QWidget* parent) : ui::Dialog(11008, parent), m_engine(this)
{
    m_headline = Item<QLabel>(1106);
    m_current = Item<QLabel>(1096);
    m_bar = Item<QProgressBar>(1103);
    if (auto* storno = Item<QAbstractButton>(11081))
        connect(storno, &QAbstractButton::clicked, this, [this] { OnCancel(); });
}

CFileOpDlg::~CFileOpDlg() = default;

int CFileOpDlg::ProgressShift(uint64_t total)
{
    int shift = 0;
    while ((total >> shift) > uint64_t(INT_MAX))
        ++shift;
    return shift;
}

bool CFileOpDlg::Run()
{
    if (BeginModal() < 0) {
        // No template: the work still runs, without a window.
        m_engine.Start();
        while (m_engine.Running())
            ui::PumpMessages();
        return m_engine.Succeeded();
    }
    m_engine.Start();
    if (!m_engine.Ended())
        RunModal();
    EndModal();
    return m_engine.Succeeded();
}

bool CFileOpDlg::Copy(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                      const std::u16string* names, const std::u16string* targetNames, int count, void* argument,
                      FileOpErrorCallback callback)
{
    if (count <= 0)
        return true;
    m_engine.SetupCopy(link, sourceFolder, targetFolder, names, targetNames, count, argument, callback);
    return Run();
}

bool CFileOpDlg::Move(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                      const std::u16string* names, const std::u16string* targetNames, int count, void* argument,
                      FileOpErrorCallback callback)
{
    if (count <= 0)
        return true;
    m_engine.SetupMove(link, sourceFolder, targetFolder, names, targetNames, count, argument, callback);
    return Run();
}

bool CFileOpDlg::Delete(IOxfrC* link, std::u16string_view folder, const std::u16string* names, int count,
                        void* argument, FileOpErrorCallback callback)
{
    if (count <= 0)
        return true;
    m_engine.SetupDelete(link, folder, names, count, argument, callback);
    return Run();
}

bool CFileOpDlg::CreateDir(IOxfrC* link, std::u16string_view path, void* argument, FileOpErrorCallback callback)
{
    if (!sys::WinPath::IsControlSystemPath(path)) {
        std::string native;
        return sys::TextToNative(path, native) && sys::CreateLocalFolder(native);
    }
    m_engine.SetupCreateDir(link, path, argument, callback);
    return Run();
}

void CFileOpDlg::OnCancel()
{
    if (m_engine.Running())
        m_engine.Cancel(); // ends the dialog through OnEnd
    else
        done(QDialog::Rejected);
}

void CFileOpDlg::OnCaption(const std::u16string& text) { setWindowTitle(Q(text)); }

void CFileOpDlg::OnHeadline(const std::u16string& text)
{
    if (m_headline)
        m_headline->setText(Q(text));
}

void CFileOpDlg::OnCurrentItem(const std::u16string& text)
{
    if (m_current)
        m_current->setText(Q(text));
}

void CFileOpDlg::OnProgress(uint64_t total, uint64_t done)
{
    if (!m_bar)
        return;
    const int shift = ProgressShift(total);
    const int max = int(total >> shift);
    // A range of 0..0 would show the busy animation.
    m_bar->setRange(0, max > 0 ? max : 1);
    m_bar->setValue(int(std::min(done, total) >> shift));
}

void CFileOpDlg::OnEnd(bool ok) { done(ok ? QDialog::Accepted : QDialog::Rejected); }

} // namespace linkui
