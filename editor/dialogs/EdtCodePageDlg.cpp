#include "editor/dialogs/EdtCodePageDlg.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
int g_source = 1;
} // namespace

int CCodePageDlg::RememberedSource()
{
    return g_source;
}

CCodePageDlg::CCodePageDlg(QWidget* parent) : ui::Dialog(IDD, parent)
{
    m_sourceCombo = Item<QComboBox>(1043);
    m_targetCombo = Item<QComboBox>(8606);
    for (QComboBox* c : {m_sourceCombo, m_targetCombo})
        if (c)
            connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateButtons(); });
    if (auto* b = Item<QPushButton>(3))
        connect(b, &QPushButton::clicked, this, [this] { OnConvert(); });
}

bool CCodePageDlg::OnInitDialog()
{
    const bool r = ui::Dialog::OnInitDialog();
    const QStringList names = GetCodePageNames();
    for (QComboBox* c : {m_sourceCombo, m_targetCombo})
        if (c) {
            FillCodePageCombo(c, names);
            c->setCurrentIndex(g_source);
        }
    if (auto* edit = Item<QPlainTextEdit>(1045))
        edit->setPlainText(QString::fromStdU16String(m_sample));
    UpdateButtons();
    return r;
}

void CCodePageDlg::Read()
{
    m_source = m_sourceCombo ? m_sourceCombo->currentIndex() : 1;
    m_target = m_targetCombo ? m_targetCombo->currentIndex() : 1;
    auto* letters = Item<QCheckBox>(1044);
    m_letters = letters && letters->isChecked();
}

void CCodePageDlg::UpdateButtons()
{
    Read();
    // "Unicode" has no conversion table.
    const bool ok = m_source >= 0 && m_source < EDT_CODEPAGE_UNICODE && m_target >= 0 &&
                    m_target < EDT_CODEPAGE_UNICODE;
    for (int id : {1, 3})
        if (auto* b = Item<QPushButton>(id))
            b->setEnabled(ok);
}

void CCodePageDlg::OnConvert()
{
    Read();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::u16string out;
    if (ConvertCodePageString(m_sample, out, m_source, m_target, m_letters) == 0)
        if (auto* edit = Item<QPlainTextEdit>(1045))
            edit->setPlainText(QString::fromStdU16String(out));
    QApplication::restoreOverrideCursor();
}

void CCodePageDlg::OnOK()
{
    Read();
    if (m_source < 0 || m_source >= EDT_CODEPAGE_UNICODE || m_target < 0 ||
        m_target >= EDT_CODEPAGE_UNICODE)
        return;
    g_source = m_source;
    ui::Dialog::OnOK();
}
