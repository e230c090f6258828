#pragma once
// The link settings page "Spojení OLNK" (template 11007): the whole
// connection string in edit 11066 and the serial settings beside it: the
// port (11064, the ports of this computer and whether they are free), the
// baud rate (11065) and the protocol's window size (11058).  Editing any
// of them rebuilds the string; leaving the string edit updates them.  The
// page loads from and saves to a profile section and/or a bound string
// (flags 1, 2, 4, 8).  See docs/link-windows.md.

#include "link/ui/OlnkPageModel.h"
#include "platform/sys/SerialPort.h"
#include "platform/ui/Dialog.h"

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace linkui {

class COlnkPropPage : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : uint16_t { kLoadProfile = 1, kLoadBound = 2, kSaveProfile = 4, kSaveBound = 8 };
    enum : int { IDD = 11007, IDC_STRING = 11066, IDC_PORT = 11064, IDC_BAUD = 11065, IDC_WINDOW = 11058,
                 IDC_DEFAULT = 11082 };

    COlnkPropPage();
    ~COlnkPropPage() override;

    void Construct(uint16_t flags, const char16_t* section, std::u16string* bound, bool checkShown,
                   const QString& checkCaption, uint32_t captionId = 0);
    void ConstructBound(std::u16string* bound) { Construct(kLoadBound | kSaveBound, nullptr, bound, false, {}); }

    // The edited string; clears modified.
    std::u16string GetConnectionString();
    // Parses the text, refreshes the controls when the page is shown, clears
    // modified.
    void SetConnectionString(std::u16string_view text);

    bool OnSetActive() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(ui::DataExchange& dx) override;

    bool CheckState() const { return m_check != 0; }
    const OlnkPageModel& Model() const { return m_model; }

    // The ports offered (tests give pseudo-terminals); default: the
    // system's candidates.
    static void SetPortCandidates(std::optional<std::vector<sys::SerialCandidate>> candidates);

private:
    void FillPorts();
    void FillBauds();
    void Refresh();
    void Show(); // the rebuilt string into the edit
    void OnStringLeft();
    void OnPortSelected(bool fromText);
    void OnBaudSelected(bool fromText);
    void OnWindowLeft();
    bool eventFilter(QObject* watched, QEvent* event) override;

    uint16_t m_flags = 0;
    std::u16string m_section;
    std::u16string* m_bound = nullptr;
    bool m_checkShown = false;
    QString m_checkCaption;
    int m_check = 0;
    QString m_string;
    OlnkPageModel m_model;
    int m_windowShown = 20;
    bool m_portPending = false, m_baudPending = false, m_windowPending = false;
    bool m_filled = false;
    bool m_refreshing = false;
    std::vector<PortEntry> m_ports;

    QLineEdit* m_stringEdit = nullptr;
    QComboBox* m_portCombo = nullptr;
    QComboBox* m_baudCombo = nullptr;
    QLineEdit* m_windowEdit = nullptr;
    QCheckBox* m_checkBox = nullptr;
};

} // namespace linkui
