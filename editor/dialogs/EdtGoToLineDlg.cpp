#include "editor/dialogs/EdtGoToLineDlg.h"

#include "editor/layout/EdtViewLayout.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

CGoToLineDlg::CGoToLineDlg(QWidget* parent) : ui::Dialog(IDD, parent)
{
    m_edit = Item<QLineEdit>(1005);
    m_ok = Item<QPushButton>(1);
    if (m_edit) {
        m_edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[+-]?[0-9]{0,9}")), m_edit));
        connect(m_edit, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
    }
}

bool CGoToLineDlg::OnInitDialog()
{
    const bool r = ui::Dialog::OnInitDialog();
    if (m_edit) {
        m_edit->clear();
        m_edit->setFocus();
    }
    UpdateOk();
    return r;
}

void CGoToLineDlg::UpdateOk()
{
    if (m_ok)
        m_ok->setEnabled(m_edit && edt::GoToTextHasDigit(m_edit->text().toStdU16String()));
}

void CGoToLineDlg::OnOK()
{
    if (!m_edit || !edt::IsGoToTextValid(m_edit->text().toStdU16String()))
        return;
    m_text = m_edit->text();
    ui::Dialog::OnOK();
}
