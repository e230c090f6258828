#include "uilib/KVTMousePage.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "res/Resources.h"
#include "uilib/KVTCommandCategories.h"
#include "uilib/KVTMouseManager.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>

CKVTMousePage::CKVTMousePage(const CKVTCommandCategories* categories)
    : ui::PropertyPage(IDD), m_categories(categories)
{
    m_views = Item<QListWidget>(IDC_VIEWS);
    m_noAction = Item<QRadioButton>(IDC_NO_ACTION);
    m_command = Item<QRadioButton>(IDC_COMMAND);
    m_commands = Item<QListWidget>(IDC_COMMANDS);
    m_description = Item<QLabel>(IDC_DESCRIPTION);
    if (!m_views || !m_noAction || !m_command || !m_commands || !m_description) {
        m_views = nullptr; // a broken form: the page stays inert
        return;
    }
    connect(m_views, &QListWidget::currentRowChanged, this, [this] { OnViewChanged(); });
    connect(m_noAction, &QRadioButton::clicked, this, [this] { OnNoActionClicked(); });
    connect(m_command, &QRadioButton::clicked, this, [this] { OnCommandClicked(); });
    connect(m_commands, &QListWidget::currentItemChanged, this, [this] {
        if (!m_updating)
            OnCommandChosen();
    });
}

CKVTMousePage::~CKVTMousePage() = default;

bool CKVTMousePage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    if (!m_views)
        return true;
    const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
    m_views->setIconSize(QSize(size, size));
    {
        const QSignalBlocker block(m_views);
        m_views->clear();
        if (CKVTMouseManager* mm = CKVTMouseManager::Instance()) {
            QStringList names;
            mm->GetViewNames(names);
            for (const QString& name : names) {
                const int id = mm->GetViewIdByName(name);
                QIcon icon;
                if (const uint32_t iconId = mm->GetViewIconId(id)) {
                    const QString path = res::Path(QStringLiteral("icons/%1.svg").arg(iconId));
                    if (!path.isEmpty())
                        icon = QIcon(path);
                }
                // Ascending names, plain comparison of UTF-16 units.
                int row = 0;
                while (row < m_views->count() && QString::compare(m_views->item(row)->text(), name) <= 0)
                    ++row;
                auto* item = new QListWidgetItem(icon, name);
                item->setData(Qt::UserRole, id);
                m_views->insertItem(row, item);
            }
        }
    }
    {
        m_updating = true;
        m_commands->clear();
        if (m_categories)
            m_categories->FillAllCommandsList(m_commands);
        m_updating = false;
    }
    m_viewId = -1;
    if (m_views->count() > 0) {
        m_views->setCurrentRow(0);
        m_views->setFocus();
        OnViewChanged();
    } else {
        // Nothing to choose: nothing selected, everything disabled.
        m_noAction->setEnabled(false);
        m_command->setEnabled(false);
        ShowCommand(false, 0);
    }
    return true;
}

void CKVTMousePage::ShowCommand(bool enabled, uint32_t command)
{
    m_updating = true;
    m_commands->setEnabled(enabled);
    m_description->setEnabled(enabled);
    QListWidgetItem* chosen = nullptr;
    for (int i = 0; command && i < m_commands->count(); ++i)
        if (m_commands->item(i)->data(Qt::UserRole).toUInt() == command) {
            chosen = m_commands->item(i);
            break;
        }
    if (chosen) {
        m_commands->setCurrentItem(chosen);
        m_commands->scrollToItem(chosen, QAbstractItemView::PositionAtTop);
    } else {
        m_commands->setCurrentRow(-1);
        m_commands->clearSelection();
    }
    m_description->setText(command ? ui::CommandPrompt(command) : QString());
    m_updating = false;
}

void CKVTMousePage::OnViewChanged()
{
    if (!m_views)
        return;
    const QListWidgetItem* item = m_views->currentItem();
    m_viewId = item ? item->data(Qt::UserRole).toInt() : -1;
    CKVTMouseManager* mm = CKVTMouseManager::Instance();
    const uint32_t command = (mm && m_viewId != -1) ? mm->GetViewDblClickCommand(m_viewId) : 0;
    m_noAction->setEnabled(m_viewId != -1);
    m_command->setEnabled(m_viewId != -1);
    m_noAction->setChecked(command == 0);
    m_command->setChecked(command != 0);
    ShowCommand(command != 0, command);
}

void CKVTMousePage::OnNoActionClicked()
{
    if (CKVTMouseManager* mm = CKVTMouseManager::Instance(); mm && m_viewId != -1)
        mm->SetCommand(m_viewId, 0);
    ShowCommand(false, 0);
}

void CKVTMousePage::OnCommandClicked()
{
    if (!m_views)
        return;
    m_commands->setEnabled(true);
    m_description->setEnabled(true);
    CKVTMouseManager* mm = CKVTMouseManager::Instance();
    if (mm && m_viewId != -1)
        mm->SetCommand(m_viewId, 0); // until a command is chosen
    else
        ui::MessageBeep(0);
}

void CKVTMousePage::OnCommandChosen()
{
    const QListWidgetItem* item = m_commands ? m_commands->currentItem() : nullptr;
    if (!item)
        return;
    const uint32_t command = item->data(Qt::UserRole).toUInt();
    CKVTMouseManager* mm = CKVTMouseManager::Instance();
    if (!mm || m_viewId == -1) {
        ui::MessageBeep(0);
        return;
    }
    mm->SetCommand(m_viewId, command);
    m_description->setText(ui::CommandPrompt(command));
}
