#include "uilib/KVTKeyboardPage.h"

#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTCommandCategories.h"
#include "uilib/KVTKeyNameFormatter.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTShortcutEdit.h"
#include "uilib/KVTToolbarButton.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr uint8_t kMatchFlags = 0x1D; // virtual key, Shift, Ctrl, Alt

// The page's form makes the shortcut edit by its class name.
uint32_t RegisterControls()
{
    static const bool once = [] {
        ui::RegisterFormWidget(QStringLiteral("CKVTShortcutEdit"),
                               [](QWidget* parent) { return new CKVTShortcutEdit(parent); });
        return true;
    }();
    (void)once;
    return CKVTKeyboardPage::IDD;
}

QIcon TemplateIcon(const ui::DocTemplate* tmpl)
{
    if (tmpl) {
        const QString path = res::Path(QStringLiteral("icons/%1.svg").arg(tmpl->ResourceId()));
        if (!path.isEmpty())
            return QIcon(path);
    }
    const QIcon app = QApplication::windowIcon();
    return app.isNull() ? QApplication::style()->standardIcon(QStyle::SP_ComputerIcon) : app;
}
} // namespace

CKVTKeyboardPage::CKVTKeyboardPage(ui::MainFrameBase* frame, bool templates, const CKVTCommandCategories* categories)
    : ui::PropertyPage(RegisterControls()), m_frame(frame), m_templates(templates), m_categories(categories)
{
    m_category = Item<QComboBox>(IDC_CATEGORY);
    m_commands = Item<QListWidget>(IDC_COMMANDS);
    m_description = Item<QLabel>(IDC_DESCRIPTION);
    m_keysForCombo = Item<QComboBox>(IDC_KEYS_FOR);
    m_icon = Item<QLabel>(IDC_ICON);
    m_currentKeys = Item<QListWidget>(IDC_CURRENT_KEYS);
    m_shortcut = qobject_cast<CKVTShortcutEdit*>(GetDlgItem(IDC_SHORTCUT));
    m_assign = Item<QPushButton>(IDC_ASSIGN);
    m_remove = Item<QPushButton>(IDC_REMOVE);
    m_resetAll = Item<QPushButton>(IDC_RESET_ALL);
    m_assignedLabel = Item<QLabel>(IDC_ASSIGNED_LABEL);
    m_assignedTo = Item<QLabel>(IDC_ASSIGNED_TO);
    if (!m_category || !m_commands || !m_description || !m_keysForCombo || !m_icon || !m_currentKeys ||
        !m_shortcut || !m_assign || !m_remove || !m_resetAll || !m_assignedLabel || !m_assignedTo) {
        m_category = nullptr; // a broken form: the page stays inert
        return;
    }
    connect(m_category, &QComboBox::currentIndexChanged, this, [this] { OnCategoryChanged(); });
    connect(m_keysForCombo, &QComboBox::currentIndexChanged, this, [this] { OnKeysForChanged(); });
    connect(m_commands, &QListWidget::currentRowChanged, this, [this] { OnCommandChanged(); });
    connect(m_currentKeys, &QListWidget::currentRowChanged, this, [this] { OnCurrentKeyChanged(); });
    connect(m_shortcut, &CKVTShortcutEdit::keyUpdated, this, [this] { OnShortcutUpdated(); });
    connect(m_assign, &QPushButton::clicked, this, [this] { OnAssign(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(m_resetAll, &QPushButton::clicked, this, [this] { OnResetAll(); });
    for (QPushButton* b : {m_assign, m_remove, m_resetAll})
        b->setAutoDefault(false);
}

CKVTKeyboardPage::~CKVTKeyboardPage() = default;

bool CKVTKeyboardPage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    if (!m_category)
        return true;
    m_assign->setEnabled(false);
    m_remove->setEnabled(false);
    m_shortcut->setEnabled(false);
    m_assignedLabel->hide();
    m_assignedTo->clear();

    {
        const QSignalBlocker block(m_category);
        m_category->clear();
        if (m_categories)
            m_categories->FillCategoriesComboBox(m_category);
        m_category->setCurrentIndex(m_category->count() > 0 ? 0 : -1);
    }
    OnCategoryChanged();

    {
        const QSignalBlocker block(m_keysForCombo);
        m_keysForCombo->clear();
        m_keysFor.clear();
        if (m_templates)
            if (ui::Application* app = ui::Application::Instance())
                for (int i = 0; i < app->Documents().TemplateCount(); ++i) {
                    ui::DocTemplate* t = app->Documents().Template(i);
                    if (!t || !t->GetAccelTable())
                        continue;
                    QString name;
                    t->GetDocString(name, ui::DocTemplate::docName);
                    m_keysForCombo->addItem(name, int(m_keysFor.size()));
                    m_keysFor.push_back(t);
                }
        if (m_frame && m_frame->Accelerators()) {
            m_keysForCombo->addItem(LoadResString(16114), -1);
            m_keysForCombo->setCurrentIndex(m_keysForCombo->count() - 1);
        }
        if (m_keysForCombo->currentIndex() < 0 && m_keysForCombo->count() > 0)
            m_keysForCombo->setCurrentIndex(0);
    }
    OnKeysForChanged();
    return true;
}

void CKVTKeyboardPage::OnCategoryChanged()
{
    if (!m_category)
        return;
    {
        const QSignalBlocker a(m_commands), b(m_currentKeys);
        m_commands->clear();
        m_currentKeys->clear();
    }
    m_selectedKey = -1;
    m_remove->setEnabled(false);
    m_description->clear();
    if (m_categories) {
        const QString name = m_category->currentData().toString();
        const QSignalBlocker block(m_commands);
        for (const CKVTToolbarButton* b : m_categories->GetCategoryButtons(name)) {
            if (b->m_id == 0 || b->m_id == 0xFFFFFFFF)
                continue;
            auto* item = new QListWidgetItem(b->m_text, m_commands);
            item->setData(Qt::UserRole, b->m_id);
        }
    }
    m_shortcut->setEnabled(false);
}

void CKVTKeyboardPage::OnKeysForChanged()
{
    if (!m_category)
        return;
    m_accels.clear();
    m_template = nullptr;
    m_haveTable = false;
    const int index = m_keysForCombo->currentIndex();
    if (index >= 0) {
        const int data = m_keysForCombo->itemData(index).toInt();
        std::shared_ptr<const ui::AccelTable> table;
        if (data >= 0 && size_t(data) < m_keysFor.size()) {
            m_template = m_keysFor[size_t(data)];
            table = m_template->GetAccelTable();
        } else if (m_frame) {
            table = m_frame->SharedAccelerators();
        }
        if (table) {
            m_accels = table->Entries();
            m_haveTable = true;
        }
        const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
        m_icon->setPixmap(TemplateIcon(m_template).pixmap(size, size));
    } else {
        m_icon->clear();
    }
    OnCommandChanged();
}

uint32_t CKVTKeyboardPage::SelectedCommand() const
{
    const QListWidgetItem* item = m_commands ? m_commands->currentItem() : nullptr;
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}

void CKVTKeyboardPage::OnCommandChanged()
{
    if (!m_category)
        return;
    {
        const QSignalBlocker block(m_currentKeys);
        m_currentKeys->clear();
    }
    m_selectedKey = -1;
    m_remove->setEnabled(false);
    const uint32_t command = SelectedCommand();
    m_description->setText(command ? ui::CommandPrompt(command) : QString());
    if (command)
        for (size_t i = 0; i < m_accels.size(); ++i)
            if (m_accels[i].command == command) {
                auto* item = new QListWidgetItem(CKVTKeyNameFormatter::Format(m_accels[i].flags, m_accels[i].key),
                                                 m_currentKeys);
                item->setData(Qt::UserRole, int(i));
            }
    m_shortcut->setEnabled(command != 0 && m_haveTable);
    if (!m_shortcut->isEnabled()) {
        m_shortcut->ResetKey();
        OnShortcutUpdated();
    }
}

void CKVTKeyboardPage::OnCurrentKeyChanged()
{
    const QListWidgetItem* item = m_currentKeys ? m_currentKeys->currentItem() : nullptr;
    m_selectedKey = item ? item->data(Qt::UserRole).toInt() : -1;
    if (m_remove)
        m_remove->setEnabled(m_selectedKey >= 0);
}

void CKVTKeyboardPage::OnShortcutUpdated()
{
    if (!m_category)
        return;
    m_assignedLabel->hide();
    m_assignedTo->clear();
    m_assign->setEnabled(false);
    if (!m_shortcut->IsKeyCaptured())
        return;
    const ui::Accel& key = m_shortcut->GetAccel();
    const ui::Accel* found = nullptr;
    for (const ui::Accel& a : m_accels)
        if (a.key == key.key && (a.flags & kMatchFlags) == (key.flags & kMatchFlags)) {
            found = &a;
            break;
        }
    if (found) {
        QString name = m_categories ? m_categories->GetCommandName(found->command) : QString();
        m_assignedTo->setText(name.isEmpty() ? QStringLiteral("????") : name);
    } else {
        m_assignedTo->setText(LoadResString(16009));
        m_assign->setEnabled(SelectedCommand() != 0 && m_haveTable);
    }
    m_assignedLabel->show();
}

void CKVTKeyboardPage::Apply()
{
    if (CKVTKeyboardManager* km = CKVTKeyboardManager::Instance())
        km->UpdateAcceleratorTableFromArray(m_template, m_accels, m_template ? nullptr : m_frame);
}

void CKVTKeyboardPage::OnAssign()
{
    const uint32_t command = SelectedCommand();
    if (!m_category || !m_shortcut->IsKeyCaptured() || command == 0 || !m_haveTable)
        return;
    const ui::Accel& key = m_shortcut->GetAccel();
    m_accels.push_back({key.flags, key.key, uint16_t(command)});
    Apply();
    auto* item = new QListWidgetItem(CKVTKeyNameFormatter::Format(key.flags, key.key), m_currentKeys);
    item->setData(Qt::UserRole, int(m_accels.size() - 1));
    m_shortcut->ResetKey();
    OnShortcutUpdated();
}

void CKVTKeyboardPage::OnRemove()
{
    if (!m_category || m_selectedKey < 0 || size_t(m_selectedKey) >= m_accels.size())
        return;
    m_accels.erase(m_accels.begin() + m_selectedKey);
    Apply();
    OnCommandChanged();
}

void CKVTKeyboardPage::OnResetAll()
{
    if (ui::Prompt(LoadResString(16115), {}, ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    if (CKVTKeyboardManager* km = CKVTKeyboardManager::Instance())
        km->ResetAll();
    OnKeysForChanged();
}
