#include "mainwnd/TipDlg.h"

#include "mainwnd/SplashWnd.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <cstdio>
#include <ctime>

namespace {
constexpr unsigned IDS_TIP_FILE_ABSENT = 302;   // "Soubor s tipy v zadaném adresáři neexistuje."
constexpr unsigned IDS_TIP_FILE_CORRUPT = 303;  // "Problém se čtením souboru s tipy."
constexpr unsigned IDS_TIP_FILE_EMPTY = 4670;   // "Soubor s tipy neobsahuje žádný tip."
const char16_t kSection[] = u"EdtLib";

bool Qualifies(const QByteArray& line)
{
    if (line.isEmpty())
        return false;
    const char c = line.front();
    return c != ' ' && c != '\t' && c != ';';
}
} // namespace

CTipDlg::CTipDlg(QWidget* parent) : CTipDlg(parent, TipFileOf(QCoreApplication::applicationFilePath())) {}

CTipDlg::CTipDlg(QWidget* parent, const QString& tipFile) : ui::Dialog(IDD, parent)
{
    if (auto* next = Item<QAbstractButton>(IDC_NEXT))
        connect(next, &QAbstractButton::clicked, this, &CTipDlg::OnNextTip);
    Open(tipFile);
}

CTipDlg::~CTipDlg()
{
    if (m_file.isOpen()) {
        sys::Profile::WriteInt(kSection, u"FilePos", int32_t(m_file.pos()));
        m_file.close();
    }
}

QString CTipDlg::TipFileOf(const QString& programPath)
{
    const QFileInfo info(programPath);
    const QString suffix = info.suffix();
    if (suffix.isEmpty())
        return programPath + QStringLiteral(".tip");
    return programPath.left(programPath.size() - suffix.size()) + QStringLiteral("tip");
}

QString CTipDlg::TimeStampText(const QDateTime& time)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = std::time_t(time.toSecsSinceEpoch());
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[tm.tm_wday % 7], kMonths[tm.tm_mon % 12],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 1900 + tm.tm_year);
    return QString::fromLatin1(text);
}

void CTipDlg::Open(const QString& tipFile)
{
    m_bStartup = true;
    m_file.setFileName(tipFile);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_tip = LoadResString(IDS_TIP_FILE_ABSENT);
        m_hasTips = false;
        return;
    }
    m_bStartup = sys::Profile::GetInt(kSection, u"StartUp", 0) == 0;
    qint64 pos = uint32_t(sys::Profile::GetInt(kSection, u"FilePos", 0));
    const std::u16string stamp = sys::Profile::GetString(kSection, u"TimeStamp");
    const QString current = TimeStampText(QFileInfo(tipFile).lastModified());
    if (QString::fromStdU16String(stamp) != current) {
        pos = 0;
        sys::Profile::WriteString(kSection, u"TimeStamp", current.toStdU16String());
    }
    if (pos > m_file.size())
        pos = 0;   // the file became shorter: start again
    if (!m_file.seek(pos)) {
        m_tip = LoadResString(IDS_TIP_FILE_CORRUPT);
        return;
    }
    ReadNextTip();
}

void CTipDlg::ReadNextTip()
{
    // One full pass over the file at most: a file without a usable line
    // ends here instead of going round for ever.
    const qint64 size = m_file.size();
    qint64 scanned = 0;
    while (scanned <= size) {
        if (m_file.atEnd()) {
            if (!m_file.seek(0)) {
                m_tip = LoadResString(IDS_TIP_FILE_CORRUPT);
                return;
            }
            if (size == 0)
                break;
        }
        const QByteArray raw = m_file.readLine();
        if (raw.isEmpty()) {   // a read error: atEnd is not set
            m_tip = LoadResString(IDS_TIP_FILE_CORRUPT);
            return;
        }
        scanned += raw.size();
        QByteArray line = raw;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!Qualifies(line))
            continue;
        m_tip = QString::fromStdU16String(sys::AnsiToWide(std::string_view(line.constData(), size_t(line.size()))))
                    .left(kMaxTip);
        m_hasTips = true;
        return;
    }
    m_tip = LoadResString(IDS_TIP_FILE_EMPTY);
    m_hasTips = false;
}

int CTipDlg::DoModal()
{
    if (!m_file.isOpen()) {
        ui::MessageBeep(0xFFFFFFFF);
        return ui::IDOK;
    }
    return ui::Dialog::DoModal();
}

bool CTipDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (QWidget* next = GetDlgItem(IDC_NEXT))
        next->setEnabled(m_file.isOpen() && m_hasTips);
    if (auto* box = Item<QCheckBox>(IDC_STARTUP))
        box->setChecked(m_bStartup);
    if (auto* bulb = Item<QLabel>(IDC_BULB))
        bulb->setPixmap(LoadPicture(QStringLiteral("tip-bulb"), QSize(32, 32)));
    if (QWidget* area = GetDlgItem(IDC_AREA)) {
        // The tip area: the window colour inside a sunken frame.
        area->setAutoFillBackground(true);
        QPalette pal = area->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Base));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
        area->setPalette(pal);
    }
    if (auto* tip = Item<QLabel>(IDC_TIP))
        tip->setText(m_tip);
    return true;
}

void CTipDlg::OnOK()
{
    if (auto* box = Item<QCheckBox>(IDC_STARTUP)) {
        m_bStartup = box->isChecked();
        sys::Profile::WriteInt(kSection, u"StartUp", m_bStartup ? 0 : 1);
    }
    ui::Dialog::OnOK();
}

void CTipDlg::OnNextTip()
{
    if (!m_file.isOpen())
        return;
    ReadNextTip();
    if (auto* tip = Item<QLabel>(IDC_TIP))
        tip->setText(m_tip);
    if (QWidget* next = GetDlgItem(IDC_NEXT))
        next->setEnabled(m_hasTips);
}
