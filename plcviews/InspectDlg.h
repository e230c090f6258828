#pragma once
// The variable window "Proměnná" (dialog 2010): an expression resolved
// through the project's map file, its value read from the running PLC and
// kept fresh, shown by type with location, both number forms, a
// mechanism's state and the eight bits of a byte; new values, an inverted
// bit, single bits typed into the bit fields, and a mechanism started or
// stopped.  See docs/plcviews.md.

#include "core/compout/MapFile.h"
#include "plcviews/ModalDialogBase.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QString>

#include <memory>

class CStrandworkDoc;
class CHistoryCombo;
class QTimer;
struct LinkResultRecord;
namespace linkui {
class LinkWindow;
}

// A bit field of the variable window: "1", "0" and the space notify the
// parent (codes 0, 1, 2) and insert nothing; other characters are ignored.
class CNumEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CNumEdit(QWidget* parent = nullptr);

signals:
    void notified(int code);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
};

namespace plcviews {
// Registers the program's own controls of the debugging forms
// (CHistoryCombo, CNumEdit) with the form loader; may be called often.
void RegisterFormControls();
}

class CInspectDlg : public CModalDialogBase
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 2010;
    enum Control {
        IDC_EXPRESSION = 2020,
        IDC_TYPE = 2021,
        IDC_AREA = 2022,
        IDC_ADDRESS = 2023,
        IDC_BITNUMBER = 2024,
        IDC_DECIMAL = 2025,
        IDC_HEX = 2026,
        IDC_STATE = 2027,
        IDC_BITLABEL0 = 2028,
        IDC_BIT0 = 2036,
        IDC_NEWVALUE = 2044,
        IDC_REFRESH = 2003,
        IDC_START = 2006,
        IDC_STOP = 2007,
        IDC_SET = 2045,
        IDC_INVERT = 2046,
    };

    explicit CInspectDlg(QWidget* parent = nullptr);
    ~CInspectDlg() override;

    // Shows the window for the expression and runs it until it is closed;
    // the modal result, or 0 without a project or when it could not begin.
    int Run(CStrandworkDoc* doc, const QString& expression);
    virtual void InitContents();

    void OnRefresh();
    void OnSetValue();
    void OnInvert();
    void OnStartWatch() { SetMechanism(true); }
    void OnStopWatch() { SetMechanism(false); }
    // Bit k of a Byte: code 0 sets it, 1 clears it, 2 toggles it.
    void OnBitNotify(int bit, int code);
    void OnOK() override;
    void OnCancel() override;

    // State for tests.
    bool IsValid() const { return m_valid; }
    uint32_t RequestId() const { return m_requestId; }
    int Outstanding() const { return m_outstanding; }
    bool ValueValid() const { return m_valueValid; }
    bool Polling() const { return m_polling; }
    const compout::SymbolInfo& Symbol() const { return m_symbol; }
    uint32_t LinkHandle() const;

protected:
    void OnCommand(int id) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    intptr_t OnMessage(uint32_t msg, intptr_t lParam);
    void OnLinkResult(const LinkResultRecord& r);
    void ClearFields();
    void FillStatics();
    // Sends the read of the current symbol; false when refused.
    bool SendRead();
    void SchedulePoll();
    // After a change whose fate is unknown: polls again when it stopped, so
    // that the window shows what the control system holds once it answers.
    void ReadBack();
    void ShowValue();
    void ShowReadFailure(int status);
    bool WriteBits(uint8_t values, uint8_t mask);
    void SetMechanism(bool run);
    void SetText(int id, const QString& text);
    void Message(const QString& text);

    CStrandworkDoc* m_doc = nullptr;
    std::unique_ptr<linkui::LinkWindow> m_link;
    CHistoryCombo* m_expression = nullptr;
    CHistoryCombo* m_newValue = nullptr;
    QTimer* m_pollTimer = nullptr;
    QElapsedTimer m_lastRead;

    compout::SymbolInfo m_symbol;
    QString m_name;
    bool m_valid = false;
    uint32_t m_requestId = 0;
    int m_outstanding = 0;
    bool m_expressionEdited = false;
    bool m_closing = false;
    bool m_polling = false;
    // The latest value read.
    bool m_valueValid = false;
    int64_t m_value = 0;
    double m_real = 0;
};
