#include "link/ui/OlnkPropPage.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>

namespace linkui {

namespace {
constexpr unsigned IDS_PORT_BUSY = 11111; // "Com%d (Obsazen)"
constexpr unsigned IDS_PORT_FREE = 11112; // "Com%d (Volný)"
constexpr unsigned IDS_DEVICE_FREE = 4650;
constexpr unsigned IDS_DEVICE_BUSY = 4651;
constexpr char16_t kEntry[] = u"OlnkConnectionString";

std::optional<std::vector<sys::SerialCandidate>>& Candidates()
{
    static std::optional<std::vector<sys::SerialCandidate>> c;
    return c;
}
} // namespace

void COlnkPropPage::SetPortCandidates(std::optional<std::vector<sys::SerialCandidate>> candidates)
{
    Candidates() = std::move(candidates);
}

COlnkPropPage::COlnkPropPage() : ui::PropertyPage(IDD, QStringLiteral("Spojení OLNK"))
{
    m_stringEdit = Item<QLineEdit>(IDC_STRING);
    m_portCombo = Item<QComboBox>(IDC_PORT);
    m_baudCombo = Item<QComboBox>(IDC_BAUD);
    m_windowEdit = Item<QLineEdit>(IDC_WINDOW);
    m_checkBox = Item<QCheckBox>(IDC_DEFAULT);
    if (!m_stringEdit || !m_portCombo || !m_baudCombo || !m_windowEdit || !m_checkBox)
        return;
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_baudCombo->setInsertPolicy(QComboBox::NoInsert);

    connect(m_stringEdit, &QLineEdit::textChanged, this, [this] { SetModified(true); });
    connect(m_portCombo, &QComboBox::activated, this, [this] {
        m_portPending = false;
        OnPortSelected(false);
    });
    connect(m_portCombo->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_portPending = true;
        SetModified(true);
    });
    connect(m_baudCombo, &QComboBox::activated, this, [this] {
        m_baudPending = false;
        OnBaudSelected(false);
    });
    connect(m_baudCombo->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_baudPending = true;
        SetModified(true);
    });
    connect(m_windowEdit, &QLineEdit::textEdited, this, [this] {
        m_windowPending = true;
        SetModified(true);
    });
    for (QWidget* w : {static_cast<QWidget*>(m_stringEdit), static_cast<QWidget*>(m_portCombo),
                       static_cast<QWidget*>(m_baudCombo), static_cast<QWidget*>(m_windowEdit)})
        w->installEventFilter(this);
    m_portCombo->lineEdit()->installEventFilter(this);
    m_baudCombo->lineEdit()->installEventFilter(this);
}

COlnkPropPage::~COlnkPropPage() = default;

void COlnkPropPage::Construct(uint16_t flags, const char16_t* section, std::u16string* bound, bool checkShown,
                              const QString& checkCaption, uint32_t captionId)
{
    m_flags = flags;
    m_section = section ? section : u"";
    m_bound = bound;
    m_checkShown = checkShown;
    m_checkCaption = checkCaption;
    if (captionId != 0)
        if (QString c = LoadResString(captionId); !c.isEmpty())
            setWindowTitle(c);
}

std::u16string COlnkPropPage::GetConnectionString()
{
    SetModified(false);
    return m_string.toStdU16String();
}

void COlnkPropPage::SetConnectionString(std::u16string_view text)
{
    m_model.Parse(text);
    if (m_filled)
        Refresh();
    else
        m_string = QString::fromStdU16String(m_model.Build());
    SetModified(false);
}

void COlnkPropPage::DoDataExchange(ui::DataExchange& dx)
{
    dx.Text(IDC_STRING, m_string);
    dx.Check(IDC_DEFAULT, m_check);
    dx.Int(IDC_WINDOW, m_windowShown, OlnkPageModel::kMinWindow, OlnkPageModel::kMaxWindow);
}

bool COlnkPropPage::OnSetActive()
{
    const bool first = !Created();
    if (!ui::PropertyPage::OnSetActive())
        return false;
    if (first && m_stringEdit) {
        FillPorts();
        FillBauds();
        m_filled = true;
        m_checkBox->setVisible(m_checkShown);
        if (!m_checkCaption.isEmpty())
            m_checkBox->setText(m_checkCaption);
        OnCancel();
    }
    return true;
}

void COlnkPropPage::OnOK()
{
    if (IsModified()) {
        if (m_flags & kSaveProfile)
            sys::Profile::WriteString(m_section, kEntry, m_string.toStdU16String());
        if ((m_flags & kSaveBound) && m_bound)
            *m_bound = m_string.toStdU16String();
    }
    ui::PropertyPage::OnOK(); // clears modified
}

void COlnkPropPage::OnCancel()
{
    if (m_flags & kLoadProfile)
        m_model.Parse(sys::Profile::GetString(m_section, kEntry, u""));
    if ((m_flags & kLoadBound) && m_bound)
        m_model.Parse(*m_bound);
    if (m_filled)
        Refresh();
    else
        m_string = QString::fromStdU16String(m_model.Build());
    SetModified(false);
    ui::PropertyPage::OnCancel();
}

void COlnkPropPage::FillPorts()
{
    m_portCombo->clear();
    m_ports.clear();
    const auto candidates = Candidates() ? *Candidates() : sys::SerialPortCandidates();
    for (const auto& c : candidates) {
        const sys::PortProbe probe = sys::ProbeSerialPort(c.path);
        if (probe == sys::PortProbe::Absent)
            continue;
        const bool free = probe == sys::PortProbe::Free;
        const std::u16string name = sys::Utf8ToUtf16Lenient(c.name);
        const int n = OlnkPageModel::ComNumber(name);
        QString text = n >= 0 ? FormatResString(free ? IDS_PORT_FREE : IDS_PORT_BUSY, n)
                              : FormatResString(free ? IDS_DEVICE_FREE : IDS_DEVICE_BUSY, name);
        m_portCombo->addItem(text, QString::fromStdU16String(name));
        m_ports.push_back({text.toStdU16String(), name});
    }
}

void COlnkPropPage::FillBauds()
{
    m_baudCombo->clear();
    for (const auto& e : kBaudEntries)
        m_baudCombo->addItem(QString::fromStdU16String(e.text), e.rate);
}

void COlnkPropPage::Refresh()
{
    m_refreshing = true;
    m_string = QString::fromStdU16String(m_model.Build());
    const int port = OlnkPageModel::FindPortEntry(m_model.port, m_ports);
    if (port >= 0) {
        m_portCombo->setCurrentIndex(port);
    } else {
        m_portCombo->setCurrentIndex(-1);
        m_portCombo->setEditText(QString::fromStdU16String(m_model.port));
    }
    const int baud = OlnkPageModel::FindBaudEntry(m_model.baud);
    if (baud >= 0) {
        m_baudCombo->setCurrentIndex(baud);
    } else {
        m_baudCombo->setCurrentIndex(-1);
        m_baudCombo->setEditText(QString::number(m_model.baud));
    }
    m_windowShown = m_model.window;
    UpdateData(false);
    m_portPending = m_baudPending = m_windowPending = false;
    m_refreshing = false;
}

void COlnkPropPage::Show()
{
    m_string = QString::fromStdU16String(m_model.Build());
    m_stringEdit->setText(m_string);
    SetModified(true);
}

void COlnkPropPage::OnStringLeft()
{
    m_string = m_stringEdit->text();
    m_check = m_checkBox->isChecked() ? 1 : 0;
    m_model.Parse(m_string.toStdU16String());
    const bool modified = IsModified();
    Refresh();
    SetModified(modified);
}

// The entry whose text the combo shows, or -1 (typed text).
static int ShownEntry(QComboBox* combo)
{
    const int i = combo->currentIndex();
    return i >= 0 && combo->itemText(i) == combo->currentText() ? i : combo->findText(combo->currentText());
}

void COlnkPropPage::OnPortSelected(bool fromText)
{
    const int i = fromText ? ShownEntry(m_portCombo) : m_portCombo->currentIndex();
    if (i >= 0)
        m_model.port = m_portCombo->itemData(i).toString().toStdU16String();
    else
        m_model.port = m_portCombo->currentText().toStdU16String();
    Show();
}

void COlnkPropPage::OnBaudSelected(bool fromText)
{
    const int i = fromText ? ShownEntry(m_baudCombo) : m_baudCombo->currentIndex();
    if (i >= 0)
        m_model.baud = m_baudCombo->itemData(i).toInt();
    else
        OlnkPageModel::ReadDecimal(m_baudCombo->currentText().toStdU16String(), m_model.baud);
    Show();
}

void COlnkPropPage::OnWindowLeft()
{
    // The range check refuses 0 and 128 with its message; the last valid
    // size stays in the string.
    int shown = m_windowShown;
    ui::DataExchange dx(this, true);
    dx.Int(IDC_WINDOW, shown, OlnkPageModel::kMinWindow, OlnkPageModel::kMaxWindow);
    if (dx.Failed())
        return;
    m_windowShown = shown;
    m_model.window = shown;
    Show();
}

bool COlnkPropPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && !m_refreshing) {
        if (watched == m_stringEdit) {
            OnStringLeft();
        } else if ((watched == m_portCombo || watched == m_portCombo->lineEdit()) && m_portPending) {
            m_portPending = false;
            OnPortSelected(true);
        } else if ((watched == m_baudCombo || watched == m_baudCombo->lineEdit()) && m_baudPending) {
            m_baudPending = false;
            OnBaudSelected(true);
        } else if (watched == m_windowEdit && m_windowPending) {
            m_windowPending = false;
            OnWindowLeft();
        }
    }
    return ui::PropertyPage::eventFilter(watched, event);
}

} // namespace linkui
