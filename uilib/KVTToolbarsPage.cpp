#include "uilib/KVTToolbarsPage.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarCustomize.h"
#include "uilib/KVTFormPlaceholder.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
constexpr uint32_t IDS_UNNAMED = 16104;
constexpr uint32_t IDS_DELETE_TOOLBAR = 16109;
constexpr uint32_t IDS_RESET_TOOLBAR = 16111;
constexpr uint32_t IDS_RESET_ALL = 16112;
constexpr uint32_t MB_ICONASTERISK = 0x40;
constexpr int KnownCheckRole = Qt::UserRole + 2;
constexpr int BarRole = Qt::UserRole;
} // namespace

// ------------------------------------------------------------ check list

CKVTToolbarCheckList::CKVTToolbarCheckList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemChanged, this, &CKVTToolbarCheckList::OnItemChanged);
}

int CKVTToolbarCheckList::AddItem(const QString& text, bool checked, bool allowed)
{
    return InsertItem(count(), text, checked, allowed);
}

int CKVTToolbarCheckList::InsertItem(int index, const QString& text, bool checked, bool allowed)
{
    index = std::clamp(index, 0, count());
    auto* it = new QListWidgetItem(text);
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    it->setData(KnownCheckRole, checked);
    m_allowed.insert(m_allowed.begin() + index, allowed ? 1u : 0u);
    const QSignalBlocker block(this);
    insertItem(index, it);
    return index;
}

void CKVTToolbarCheckList::RemoveItem(int index)
{
    if (index < 0 || index >= count())
        return;
    delete takeItem(index);
    m_allowed.erase(m_allowed.begin() + index);
}

void CKVTToolbarCheckList::ResetContent()
{
    const QSignalBlocker block(this);
    clear();
    m_allowed.clear();
}

void CKVTToolbarCheckList::EnableCheck(int index, bool allowed)
{
    if (index >= 0 && index < int(m_allowed.size()))
        m_allowed[size_t(index)] = allowed ? 1u : 0u;
}

bool CKVTToolbarCheckList::IsCheckAllowed(int index) const
{
    return index >= 0 && index < int(m_allowed.size()) && m_allowed[size_t(index)] != 0;
}

bool CKVTToolbarCheckList::GetCheck(int index) const
{
    const QListWidgetItem* it = item(index);
    return it && it->checkState() == Qt::Checked;
}

void CKVTToolbarCheckList::SetCheck(int index, bool checked)
{
    QListWidgetItem* it = item(index);
    if (!it)
        return;
    const QSignalBlocker block(this);
    it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    it->setData(KnownCheckRole, checked);
}

void CKVTToolbarCheckList::OnItemChanged(QListWidgetItem* it)
{
    const bool checked = it->checkState() == Qt::Checked;
    if (checked == it->data(KnownCheckRole).toBool())
        return; // text or other data
    const int index = row(it);
    if (!IsCheckAllowed(index)) {
        SetCheck(index, !checked);
        ui::MessageBeep();
        return;
    }
    it->setData(KnownCheckRole, checked);
    emit checkChanged(index);
}

void CKVTToolbarCheckList::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
        const int index = currentRow();
        if (index >= 0) {
            if (!IsCheckAllowed(index))
                ui::MessageBeep();
            else
                item(index)->setCheckState(GetCheck(index) ? Qt::Unchecked : Qt::Checked);
        }
        return;
    }
    QListWidget::keyPressEvent(e);
}

void CKVTToolbarCheckList::mouseDoubleClickEvent(QMouseEvent* e)
{
    QListWidgetItem* it = itemAt(e->position().toPoint());
    if (!it || e->button() != Qt::LeftButton) {
        QListWidget::mouseDoubleClickEvent(e);
        return;
    }
    const int index = row(it);
    if (!IsCheckAllowed(index)) {
        ui::MessageBeep();
        return;
    }
    it->setCheckState(GetCheck(index) ? Qt::Unchecked : Qt::Checked);
}

// ------------------------------------------------------------ name dialog

CKVTToolbarNameDlg::CKVTToolbarNameDlg(const QString& name, QWidget* parent)
    : ui::Dialog(16130, parent), m_name(name)
{
    if (auto* edit = Item<QLineEdit>(16516))
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
}

bool CKVTToolbarNameDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    UpdateOk();
    return true;
}

void CKVTToolbarNameDlg::DoDataExchange(ui::DataExchange& dx) { dx.Text(16516, m_name); }

void CKVTToolbarNameDlg::UpdateOk()
{
    auto* edit = Item<QLineEdit>(16516);
    if (QWidget* ok = GetDlgItem(ui::IDOK_BUTTON))
        ok->setEnabled(edit && !edit->text().isEmpty());
}

// ------------------------------------------------------------ page

CKVTToolbarsPage::CKVTToolbarsPage(CKVTFrameBase* frame) : ui::PropertyPage(16105), m_frame(frame)
{
    m_textLabels = Item<QCheckBox>(16541);
    m_rename = Item<QPushButton>(16519);
    m_new = Item<QPushButton>(16517);
    m_delete = Item<QPushButton>(16518);
    m_reset = Item<QPushButton>(16504);
    m_resetAll = Item<QPushButton>(16503);
    m_list = KvtReplacePlaceholder(GetDlgItem(16501), new CKVTToolbarCheckList, this);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnSelectionChanged(); });
    connect(m_list, &CKVTToolbarCheckList::checkChanged, this, &CKVTToolbarsPage::OnCheckChanged);
    if (m_textLabels)
        connect(m_textLabels, &QCheckBox::clicked, this, [this] { OnTextLabels(); });
    if (m_rename)
        connect(m_rename, &QPushButton::clicked, this, [this] { OnRename(); });
    if (m_new)
        connect(m_new, &QPushButton::clicked, this, [this] { OnNew(); });
    if (m_delete)
        connect(m_delete, &QPushButton::clicked, this, [this] { OnDelete(); });
    if (m_reset)
        connect(m_reset, &QPushButton::clicked, this, [this] { OnReset(); });
    if (m_resetAll)
        connect(m_resetAll, &QPushButton::clicked, this, [this] { OnResetAll(); });
}

QString CKVTToolbarsPage::BarName(const CKVTToolBar* bar) const
{
    const QString title = bar->windowTitle();
    return title.isEmpty() ? LoadResString(IDS_UNNAMED) : title;
}

bool CKVTToolbarsPage::IsShown(const CKVTToolBar* bar) const
{
    if (bar->isHidden())
        return false;
    if (m_frame)
        if (CKVTMiniDockFrameWnd* mini = m_frame->Helper().MiniFrameOf(bar))
            return !mini->isHidden();
    return true;
}

int CKVTToolbarsPage::AddBar(CKVTToolBar* bar)
{
    const int index = m_list->AddItem(BarName(bar), IsShown(bar), bar->CanBeClosed());
    m_list->item(index)->setData(BarRole, QVariant::fromValue<void*>(bar));
    return index;
}

bool CKVTToolbarsPage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    if (!m_userDefined) {
        if (m_new) {
            m_new->setEnabled(false);
            m_new->hide();
        }
        if (m_rename)
            m_rename->hide();
        if (m_delete)
            m_delete->hide();
    }
    auto* sheet = qobject_cast<CKVTToolbarCustomize*>(Sheet());
    if (m_textLabels && !(sheet && (sheet->Flags() & KVT_CUSTOMIZE_TEXT_LABELS)))
        m_textLabels->hide();
    if (!m_list)
        return true;
    m_list->ResetContent();
    QWidget* top = m_frame ? m_frame->window() : nullptr;
    for (CKVTToolBar* bar : CKVTToolbarShared::AllBars()) {
        if (!bar || !bar->IsCreated() || bar->IsPopupMenuBar() ||
            bar->Customizer().IsHiddenInCustomizeList())
            continue;
        // A floating bar belongs to the frame that owns its mini-frame.
        QWidget* owner = bar->window();
        if (auto* mini = qobject_cast<CKVTMiniDockFrameWnd*>(owner))
            owner = mini->parentWidget() ? mini->parentWidget()->window() : mini;
        if (owner != top)
            continue;
        AddBar(bar);
    }
    OnSelectionChanged();
    return true;
}

CKVTToolBar* CKVTToolbarsPage::BarAt(int index) const
{
    QListWidgetItem* it = m_list ? m_list->item(index) : nullptr;
    return it ? static_cast<CKVTToolBar*>(it->data(BarRole).value<void*>()) : nullptr;
}

int CKVTToolbarsPage::IndexOf(const CKVTToolBar* bar) const
{
    for (int i = 0; m_list && i < m_list->count(); ++i)
        if (BarAt(i) == bar)
            return i;
    return -1;
}

CKVTToolBar* CKVTToolbarsPage::SelectedBar() const { return m_list ? BarAt(m_list->currentRow()) : nullptr; }

void CKVTToolbarsPage::CheckToolBarItem(CKVTToolBar* bar, bool show)
{
    const int index = IndexOf(bar);
    if (index >= 0)
        m_list->SetCheck(index, show);
}

void CKVTToolbarsPage::OnSelectionChanged()
{
    CKVTToolBar* bar = SelectedBar();
    const bool user = bar && m_frame && m_frame->Helper().IsUserToolbar(bar);
    if (m_reset)
        m_reset->setEnabled(bar && bar->CanBeRestored());
    if (m_rename)
        m_rename->setEnabled(user);
    if (m_delete)
        m_delete->setEnabled(user);
    if (m_textLabels) {
        m_textLabels->setEnabled(bar && bar->AllowChangeTextLabels());
        m_textLabels->setChecked(bar && bar->GetTextLabels());
    }
}

void CKVTToolbarsPage::OnCheckChanged(int index)
{
    CKVTToolBar* bar = BarAt(index);
    if (!bar)
        return;
    if (!bar->CanBeClosed()) {
        m_list->SetCheck(index, true);
        ui::MessageBeep();
        return;
    }
    if (m_frame)
        m_frame->ShowControlBar(bar, m_list->GetCheck(index), false);
}

void CKVTToolbarsPage::OnTextLabels()
{
    if (CKVTToolBar* bar = SelectedBar(); bar && m_textLabels)
        bar->SetTextLabels(m_textLabels->isChecked());
}

void CKVTToolbarsPage::OnReset()
{
    CKVTToolBar* bar = SelectedBar();
    if (!bar)
        return;
    if (ui::Prompt(FormatResString(IDS_RESET_TOOLBAR, BarName(bar)), {}, ui::MB_YESNO | ui::MB_ICONQUESTION,
                   this) != ui::IDYES)
        return;
    bar->RestoreOriginalState();
}

void CKVTToolbarsPage::OnResetAll()
{
    if (ui::Prompt(LoadResString(IDS_RESET_ALL), {}, ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    // The user images stay; only their assignments to commands go.
    CKVTCommandImageMap::Instance().RemoveUserImages();
    for (int i = 0; m_list && i < m_list->count(); ++i)
        if (CKVTToolBar* bar = BarAt(i); bar && bar->CanBeRestored())
            bar->RestoreOriginalState();
}

void CKVTToolbarsPage::OnNew()
{
    CKVTToolbarNameDlg dlg({}, this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    CKVTToolBar* bar = m_frame ? static_cast<KvtFrameHooks*>(m_frame)->CreateUserToolbar(dlg.m_name) : nullptr;
    if (!bar) {
        ui::MessageBeep(MB_ICONASTERISK);
        return;
    }
    const int index = AddBar(bar);
    m_list->SetCheck(index, true);
    m_list->setCurrentRow(index);
    m_list->scrollToItem(m_list->item(index));
    OnSelectionChanged();
}

void CKVTToolbarsPage::OnRename()
{
    CKVTToolBar* bar = SelectedBar();
    if (!bar)
        return;
    CKVTToolbarNameDlg dlg(bar->windowTitle(), this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    bar->setWindowTitle(dlg.m_name);
    if (m_frame)
        if (CKVTMiniDockFrameWnd* mini = m_frame->Helper().MiniFrameOf(bar)) {
            mini->setWindowTitle(dlg.m_name);
            mini->update();
        }
    const int index = m_list->currentRow();
    const bool allowed = m_list->IsCheckAllowed(index);
    m_list->RemoveItem(index);
    m_list->InsertItem(index, BarName(bar), IsShown(bar), allowed);
    m_list->item(index)->setData(BarRole, QVariant::fromValue<void*>(bar));
    m_list->setCurrentRow(index);
    m_list->scrollToItem(m_list->item(index));
    OnSelectionChanged();
}

void CKVTToolbarsPage::OnDelete()
{
    CKVTToolBar* bar = SelectedBar();
    if (!bar)
        return;
    if (ui::Prompt(FormatResString(IDS_DELETE_TOOLBAR, BarName(bar)), {}, ui::MB_YESNO | ui::MB_ICONQUESTION,
                   this) != ui::IDYES)
        return;
    const int index = m_list->currentRow();
    if (!m_frame || !static_cast<KvtFrameHooks*>(m_frame)->DeleteUserToolbar(bar)) {
        ui::MessageBeep(MB_ICONASTERISK);
        return;
    }
    m_list->RemoveItem(index);
    m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
    OnSelectionChanged();
}
