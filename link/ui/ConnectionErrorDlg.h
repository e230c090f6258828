#pragma once
// The connection-error dialog (modeless: shown when the traffic with the
// control system has stalled, hidden when it flows again) and the one-line
// prompt dialog.

#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"

#include <QPointer>
#include <QString>

namespace linkui {

// The owner of the link that "&Odpojit" disconnects (the project document).
class IConnectionOwner
{
public:
    virtual ~IConnectionOwner() = default;
    virtual bool StopCommunication() = 0;
};

class CConnectionErrorDlg
{
public:
    CConnectionErrorDlg() = default;
    virtual ~CConnectionErrorDlg();
    CConnectionErrorDlg(const CConnectionErrorDlg&) = delete;
    CConnectionErrorDlg& operator=(const CConnectionErrorDlg&) = delete;

    // Creates the modeless window from template 1022.
    virtual bool Create(QWidget* parent);
    // Nothing while ignored; else creates the window when needed, stores
    // the owner and shows the window.
    void Show(IConnectionOwner* owner, QWidget* parent);
    // Hides the window, clears the ignore flag and forgets the owner.
    void Hide();

    void OnOK();     // "&Odpojit"
    void OnCancel(); // "&Ignorovat"
    void OnHelp();   // "&Nápověda"

    ui::Dialog* Window() const { return m_window.data(); }
    bool Ignored() const { return m_ignore; }

private:
    class Form;
    QPointer<ui::Dialog> m_window; // also deleted with its parent
    IConnectionOwner* m_owner = nullptr;
    bool m_ignore = false;
};

class CPromptDlg : public ui::Dialog
{
    Q_OBJECT
public:
    explicit CPromptDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;

    QString m_value;
    QString m_prompt;
    QString m_caption;
};

// Asks for one line of text; ui::IDOK (the text copied back) or
// ui::IDCANCEL (the value unchanged).
int PromptForText(QString& value, const QString& prompt, const QString& caption);

} // namespace linkui
