#include "mainwnd/OptionsSheet.h"

#include "fontcolor/FontColorPage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QAbstractButton>
#include <cerrno>
#include <QFileDialog>
#include "platform/ui/LocalPath.h"
#include <QLabel>
#include <QLineEdit>

namespace {
constexpr unsigned IDS_OPTIONS_CAPTION = 4036;  // "Možnosti aplikace Strandwork..."
constexpr unsigned IDS_SETTINGS_NOT_WRITTEN = 4961; // "Nastavení nelze uložit do souboru %s: ..."
constexpr unsigned IDS_SETTINGS_FILE_FAILED = 4980; // "Nastavení nelze uložit: soubor %s ..."
constexpr unsigned IDS_SETTINGS_LOCKED = 4981;      // "... zamčený jiným programem ..."
constexpr uint16_t kFontPageFlags = 14;
const QString kFormats = QStringLiteral("Formats");
const char16_t kOptions[] = u"Options";

bool EndsWithSeparator(const QString& s)
{
    return s.endsWith(QLatin1Char('/')) || s.endsWith(QLatin1Char('\\'));
}
} // namespace

CPPPaths::CPPPaths(core::AppSettings* settings) : ui::PropertyPage(IDD), m_settings(settings)
{
    for (size_t i = 0; i < kEdits.size(); ++i) {
        if (auto* edit = Item<QLineEdit>(kEdits[i]))
            connect(edit, &QLineEdit::textEdited, this, [this] {
                if (!m_updating)
                    SetModified(true);
            });
        if (auto* button = Item<QAbstractButton>(kBrowse[i]))
            connect(button, &QAbstractButton::clicked, this, [this, i] { OnBrowse(int(i)); });
    }
}

std::u16string* CPPPaths::Field(int i) const
{
    switch (i) {
    case 0:
        return &m_settings->PathTemplates;
    case 1:
        return &m_settings->PathTarvane;
    case 2:
        return &m_settings->PathBorlandBin;
    case 3:
        return &m_settings->PathBorlandLib;
    default:
        return &m_settings->PathWinXPDDK;
    }
}

void CPPPaths::Fill()
{
    for (int i = 0; i < int(m_values.size()); ++i)
        m_values[size_t(i)] = QString::fromStdU16String(*Field(i));
    m_updating = true;
    UpdateData(false);
    m_updating = false;
    m_filled = true;
}

bool CPPPaths::OnSetActive()
{
    if (!m_filled)
        Fill();
    return ui::PropertyPage::OnSetActive();
}

void CPPPaths::OnCancel()
{
    Fill();
    ui::PropertyPage::OnCancel();
}

void CPPPaths::OnOK()
{
    if (m_filled) {
        UpdateData(true);
        for (int i = 0; i < int(m_values.size()); ++i) {
            m_values[size_t(i)] = WithSeparator(m_values[size_t(i)]);
            *Field(i) = m_values[size_t(i)].toStdU16String();
        }
        m_updating = true;
        UpdateData(false);
        m_updating = false;
    }
    ui::PropertyPage::OnOK();
}

void CPPPaths::DoDataExchange(ui::DataExchange& dx)
{
    for (size_t i = 0; i < kEdits.size(); ++i)
        dx.Text(kEdits[i], m_values[i]);
}

QString CPPPaths::WithSeparator(const QString& value)
{
    QStringList parts = value.split(QLatin1Char(';'));
    // The separator of the path's own kind: a Windows path (a drive, or
    // backslashes alone) gets a backslash, a path of this system "/".
    for (QString& p : parts) {
        if (p.isEmpty() || EndsWithSeparator(p))
            continue;
        const bool windows = (p.size() >= 2 && p[1] == QLatin1Char(':') && p[0].isLetter()) ||
                             (p.contains(QLatin1Char('\\')) && !p.contains(QLatin1Char('/')));
        p += windows ? QLatin1Char('\\') : QLatin1Char('/');
    }
    return parts.join(QLatin1Char(';'));
}

QString CPPPaths::BrowseResult(int i, const QString& current, const QString& folder)
{
    if (folder.isEmpty())
        return current;
    QString chosen = folder;
    if (!EndsWithSeparator(chosen))
        chosen += QLatin1Char('/');
    if (i == 0 && current.contains(QLatin1Char(';'))) {
        const QStringList listed = current.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (listed.contains(chosen))
            return current;
        QString joined = current;
        if (!joined.endsWith(QLatin1Char(';')))
            joined += QLatin1Char(';');
        return joined + chosen;
    }
    return chosen;
}

void CPPPaths::OnBrowse(int i)
{
    UpdateData(true);
    QString start = m_values[size_t(i)];
    if (start.contains(QLatin1Char(';')))
        start = start.section(QLatin1Char(';'), -1, -1, QString::SectionSkipEmpty);
    start.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString title;
    if (auto* label = findChild<QLabel*>(QStringLiteral("label%1").arg(kEdits[size_t(i)])))
        title = label->text().remove(QLatin1Char('&'));
    QString folder = QFileDialog::getExistingDirectory(this, title, start);
    if (folder.isEmpty() || !ui::TakeExactChosenPath(folder, this))
        return;
    const QString next = BrowseResult(i, m_values[size_t(i)], folder);
    if (next == m_values[size_t(i)])
        return;
    m_values[size_t(i)] = next;
    m_updating = true;
    UpdateData(false);
    m_updating = false;
    SetModified(true);
}

int RunOptionsSheet(QWidget* parent, core::AppSettings& settings, CFontColorPage* fontColors)
{
    ui::PropertySheet sheet(LoadResString(IDS_OPTIONS_CAPTION), parent);
    sheet.AddPage(new CPPPaths(&settings));
    sheet.AddPage(new CPPAppLink(&settings.OlnkConnectionString));
    if (fontColors) {
        fontColors->Construct(kFontPageFlags, kFormats);
        sheet.AddPage(fontColors->CreatePage());
    }
    const int result = sheet.DoModal();
    // Written now, whatever the result (what was cancelled did not reach
    // the settings): another instance that ends later keeps them.  The
    // program goes on with `settings` either way.
    (void)settings.Save(kOptions);
    WriteSettingsNow(parent);
    return result;
}

bool WriteSettingsNow(QWidget* owner)
{
    if (sys::RegistryStore::Flush())
        return true;
    const int cause = errno;
    const auto shown = [](const std::string& native) {
        return ui::ShownLocalPath(ui::LocalPathOfNative(native));
    };
    const std::string settings = sys::RegistryStore::FilePath();
    const std::string failed = sys::RegistryStore::FailedFile();
    const QString causeText = QString::fromLocal8Bit(sys::ErrorText(uint32_t(cause)));
    // The file that failed is named: the settings file, or its lock file or
    // folder; a lock that another program holds is said as such.
    const QString text =
        cause == EWOULDBLOCK ? FormatResString(IDS_SETTINGS_LOCKED, shown(settings), shown(failed))
        : failed == settings ? FormatResString(IDS_SETTINGS_NOT_WRITTEN, shown(settings), causeText)
                             : FormatResString(IDS_SETTINGS_FILE_FAILED, shown(failed), causeText, shown(settings));
    ui::Prompt(text, {}, ui::MB_OK | ui::MB_ICONERROR, owner);
    return false;
}
