#include "editor/dialogs/EdtFindDlg.h"

#include "editor/find/EdtFindController.h"
#include "editor/view/EdtTextView.h"
#include "editor/dialogs/HistoryCombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

CHistoryCombo* ReplaceWithHistoryCombo(ui::Dialog& dialog, int id, const QString& listName)
{
    auto* plain = qobject_cast<QComboBox*>(dialog.GetDlgItem(id));
    if (!plain)
        return nullptr;
    QWidget* parent = plain->parentWidget();
    auto* combo = new CHistoryCombo(parent);
    combo->setEditable(true);
    combo->setSizePolicy(plain->sizePolicy());
    combo->SetHistoryName(listName);
    const QString name = plain->objectName();
    plain->setObjectName(QString());
    if (parent && parent->layout()) {
        // The combo sits in a nested layout of the form: find it there.
        std::function<bool(QLayout*)> replaceIn = [&](QLayout* l) -> bool {
            // The layout gives back the plain combo's item, ours to delete.
            if (QLayoutItem* old = l->replaceWidget(plain, combo, Qt::FindDirectChildrenOnly)) {
                delete old;
                return true;
            }
            for (int i = 0; i < l->count(); ++i)
                if (QLayout* sub = l->itemAt(i)->layout())
                    if (replaceIn(sub))
                        return true;
            return false;
        };
        replaceIn(parent->layout());
    }
    combo->setObjectName(name);
    for (QWidget* w : parent ? parent->findChildren<QWidget*>() : QList<QWidget*>{})
        if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy() == plain)
            label->setBuddy(combo);
    QWidget::setTabOrder(plain, combo);
    delete plain;
    return combo;
}

CFindTextDlg::CFindTextDlg(CEdtTextView* view) : ui::Dialog(IDD, view), m_view(view)
{
    m_combo = ReplaceWithHistoryCombo(*this, 8605, QStringLiteral("FindText"));
    if (auto* re = Item<QCheckBox>(8606))
        connect(re, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    if (m_combo)
        connect(m_combo, &QComboBox::editTextChanged, this, [this] { UpdateControls(); });
}

CFindTextDlg::~CFindTextDlg()
{
    // The combo stores its text when it goes, after the form.
    if (m_combo)
        m_combo->disconnect(this);
}

void CFindTextDlg::SetFlags(uint32_t flags)
{
    m_matchCase = (flags & EDT_FIND_MATCH_CASE) ? 1 : 0;
    m_wholeWord = (flags & EDT_FIND_WHOLE_WORD) ? 1 : 0;
    m_regExp = (flags & EDT_FIND_REGEXP) ? 1 : 0;
    m_direction = (flags & EDT_FIND_UP) ? 0 : 1;
}

uint32_t CFindTextDlg::Flags() const
{
    return EdtSearchFlags(m_matchCase, m_wholeWord, m_regExp) | (m_direction == 0 ? EDT_FIND_UP : 0);
}

void CFindTextDlg::DoDataExchange(ui::DataExchange& dx)
{
    dx.Text(8605, m_text);
    dx.Check(8603, m_wholeWord);
    dx.Check(8604, m_matchCase);
    dx.Check(8606, m_regExp);
    dx.ListIndex(8611, m_direction); // 0 up, 1 down
}

bool CFindTextDlg::OnInitDialog()
{
    if (m_combo)
        m_combo->FillFromHistory();
    const bool r = ui::Dialog::OnInitDialog();
    UpdateData(false);
    UpdateControls();
    FocusSearchText(m_combo);
    return r;
}

void SyncWholeWordWithRegExp(ui::Dialog& dialog)
{
    auto* re = dialog.Item<QCheckBox>(8606);
    auto* word = dialog.Item<QCheckBox>(8603);
    if (re && word) {
        if (re->isChecked())
            word->setChecked(false);
        word->setEnabled(!re->isChecked());
    }
}

void FocusSearchText(CHistoryCombo* combo)
{
    if (!combo)
        return;
    combo->setFocus();
    if (combo->lineEdit())
        combo->lineEdit()->selectAll();
}

void CFindTextDlg::UpdateControls()
{
    SyncWholeWordWithRegExp(*this);
    if (auto* ok = Item<QPushButton>(1))
        ok->setEnabled(m_combo && !m_combo->currentText().isEmpty());
}

void CFindTextDlg::OnOK()
{
    if (!UpdateData(true) || m_text.isEmpty())
        return;
    if (m_combo)
        m_combo->StoreText();
    const uint32_t flags = Flags();
    const std::u16string text = m_text.toStdU16String();
    EdtPoint found;
    if (m_view->FindText(text, m_current, flags, true, found, m_view->Finder().MakeFindProgress(text))) {
        m_view->HighlightText(found, m_view->Finder().GetLastMatchLength(), (flags & EDT_FIND_UP) != 0);
        ui::Dialog::OnOK();
        return;
    }
    if (m_view->Finder().LastFindCancelled())
        return;
    m_view->Finder().ShowNotFound(text);
    m_current = {0, 0};
}

void CFindTextDlg::OnCancel()
{
    UpdateData(true);
    if (m_combo)
        m_combo->StoreText();
    ui::Dialog::OnCancel();
}
