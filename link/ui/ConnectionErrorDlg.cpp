#include "link/ui/ConnectionErrorDlg.h"

#include "platform/ui/Command.h"
#include "platform/ui/Prompt.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace linkui {

// The window: its buttons and Escape go to the owning object.
class CConnectionErrorDlg::Form : public ui::Dialog
{
public:
    Form(CConnectionErrorDlg* owner, QWidget* parent) : ui::Dialog(1022, parent), m_owner(owner)
    {
        setModal(false);
        if (auto* help = Item<QAbstractButton>(9))
            connect(help, &QAbstractButton::clicked, this, [this] { m_owner->OnHelp(); });
    }
    void OnOK() override { m_owner->OnOK(); }
    void OnCancel() override { m_owner->OnCancel(); }

private:
    CConnectionErrorDlg* m_owner;
};

CConnectionErrorDlg::~CConnectionErrorDlg() { delete m_window.data(); }

bool CConnectionErrorDlg::Create(QWidget* parent)
{
    auto* w = new Form(this, parent);
    if (!w->IsLoaded()) {
        delete w;
        return false;
    }
    m_window = w;
    return true;
}

void CConnectionErrorDlg::Show(IConnectionOwner* owner, QWidget* parent)
{
    if (m_ignore)
        return;
    if (!m_window && !Create(parent))
        return;
    m_owner = owner;
    m_window->show();
}

void CConnectionErrorDlg::Hide()
{
    if (m_window)
        m_window->hide();
    m_ignore = false;
    m_owner = nullptr; // a closed project is never called
}

void CConnectionErrorDlg::OnOK()
{
    IConnectionOwner* owner = m_owner;
    if (owner)
        owner->StopCommunication();
    if (m_window)
        m_window->hide();
}

void CConnectionErrorDlg::OnCancel()
{
    m_ignore = true;
    if (m_window)
        m_window->hide();
}

void CConnectionErrorDlg::OnHelp() { ui::SendCommand(ID_HELP); }

// ---------------------------------------------------------------- prompt

CPromptDlg::CPromptDlg(QWidget* parent) : ui::Dialog(1, parent) {}

bool CPromptDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    setWindowTitle(m_caption);
    if (auto* edit = Item<QLineEdit>(11177)) {
        edit->selectAll();
        edit->setFocus();
    }
    return false;
}

void CPromptDlg::DoDataExchange(ui::DataExchange& dx)
{
    dx.Text(11177, m_value);
    dx.Text(11078, m_prompt);
}

int PromptForText(QString& value, const QString& prompt, const QString& caption)
{
    CPromptDlg dlg;
    dlg.m_caption = caption;
    dlg.m_prompt = prompt;
    dlg.m_value = value;
    const int r = dlg.DoModal();
    if (r != QDialog::Accepted)
        return ui::IDCANCEL;
    value = dlg.m_value;
    return ui::IDOK;
}

} // namespace linkui
