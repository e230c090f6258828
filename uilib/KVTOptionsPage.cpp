#include "uilib/KVTOptionsPage.h"

#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QCollator>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace {
constexpr uint32_t IDS_CANT_EDIT_MENU = 16007;
constexpr uint32_t IDS_DEFAULT_MENU = 16106;
constexpr uint32_t IDS_DEFAULT_MENU_DESC = 16107;
constexpr uint32_t IDS_NO_CONTEXT_MENU = 16108;
constexpr uint32_t IDS_RESET_MENU = 16113;
constexpr uint32_t IDS_RESET_USAGE = 16244;
constexpr uint32_t IDS_ANIMATION_NONE = 4550;
constexpr uint32_t IDS_CANT_CREATE_CONTEXT_MENU = 4553;

void Show(QWidget* w, bool on)
{
    if (w)
        w->setVisible(on);
}
} // namespace

// ------------------------------------------------------------ options page

CKVTOptionsPage::CKVTOptionsPage(CKVTToolbarCustomize* sheet, bool frameHasMenuBar)
    : ui::PropertyPage(16137), m_sheet(sheet), m_hasMenuBar(frameHasMenuBar)
{
    m_look2000 = Item<QCheckBox>(16540);
    m_largeIcons = Item<QCheckBox>(16503);
    m_recent = Item<QCheckBox>(16535);
    m_fullAfterDelay = Item<QCheckBox>(16536);
    m_shortcuts = Item<QCheckBox>(16505);
    m_tooltips = Item<QCheckBox>(16502);
    for (QCheckBox* box : {m_look2000, m_largeIcons, m_recent, m_fullAfterDelay, m_shortcuts, m_tooltips})
        if (box)
            connect(box, &QCheckBox::clicked, this, [this, box] {
                Write();
                if (box == m_largeIcons)
                    CKVTToolbarShared::SetLargeIcons(box->isChecked());
                if (box == m_look2000) {
                    CKVTToolbarShared::SetLook2000(box->isChecked());
                    if (m_sheet && m_sheet->Frame())
                        m_sheet->Frame()->update();
                }
            });
    if (auto* reset = Item<QPushButton>(16537))
        connect(reset, &QPushButton::clicked, this, [this] { OnResetUsage(); });
}

bool CKVTOptionsPage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    const KvtToolbarOptions& o = CKVTToolbarShared::Options();
    auto set = [](QCheckBox* b, bool on) {
        if (b)
            b->setChecked(on);
    };
    set(m_tooltips, o.tooltips);
    set(m_shortcuts, o.shortcutKeys);
    set(m_recent, o.recentlyUsedMenus);
    set(m_fullAfterDelay, o.showAllMenusAfterDelay);
    set(m_largeIcons, o.largeIcons);
    set(m_look2000, o.look2000);
    if (m_shortcuts)
        m_shortcuts->setEnabled(o.tooltips);
    if (m_fullAfterDelay)
        m_fullAfterDelay->setEnabled(o.recentlyUsedMenus);
    // The recently-used menus exist only when the application names basic commands.
    const bool recent = CKVTToolbarShared::HasBasicCommands() && m_hasMenuBar;
    for (int id : {16535, 16537, 16538, 16539, 16536})
        Show(GetDlgItem(id), recent);
    // Their group goes with them: it holds nothing else.
    if (QWidget* first = GetDlgItem(16535))
        for (QWidget* w = first->parentWidget(); w && w != this; w = w->parentWidget())
            if (auto* group = qobject_cast<QGroupBox*>(w)) {
                group->setVisible(recent);
                break;
            }
    if (!(m_sheet && (m_sheet->Flags() & KVT_CUSTOMIZE_LOOK2000)))
        Show(m_look2000, false);
    return true;
}

void CKVTOptionsPage::Write()
{
    KvtToolbarOptions& o = CKVTToolbarShared::Options();
    if (m_tooltips)
        o.tooltips = m_tooltips->isChecked();
    if (m_shortcuts) {
        o.shortcutKeys = m_shortcuts->isChecked();
        m_shortcuts->setEnabled(o.tooltips);
    }
    if (m_recent)
        o.recentlyUsedMenus = m_recent->isChecked();
    if (m_fullAfterDelay) {
        o.showAllMenusAfterDelay = m_fullAfterDelay->isChecked();
        m_fullAfterDelay->setEnabled(o.recentlyUsedMenus);
    }
}

void CKVTOptionsPage::OnResetUsage()
{
    if (ui::Prompt(LoadResString(IDS_RESET_USAGE), {}, ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    CKVTCommandUsage::Instance().Reset();
}

// ------------------------------------------------------------ menu page

QPoint& CKVTMenuPage::LastContextMenuPos()
{
    static QPoint pos(-1, -1);
    return pos;
}

CKVTMenuPage::CKVTMenuPage(CKVTToolbarCustomize* sheet, bool autoFromMenus)
    : ui::PropertyPage(16134), m_sheet(sheet), m_autoFromMenus(autoFromMenus)
{
    m_animation = Item<QComboBox>(16534);
    m_shadows = Item<QCheckBox>(16542);
    m_context = Item<QComboBox>(16505);
    m_menuFor = Item<QComboBox>(16504);
    m_description = Item<QLabel>(16506);
    m_icon = Item<QLabel>(16507);
    m_resetContext = Item<QPushButton>(16509);
    m_resetMenu = Item<QPushButton>(16510);
    if (m_menuFor)
        connect(m_menuFor, &QComboBox::currentIndexChanged, this, [this] { OnMenuForChanged(); });
    if (m_context)
        connect(m_context, &QComboBox::currentIndexChanged, this, [this] { OnContextMenuChanged(); });
    if (m_resetMenu)
        connect(m_resetMenu, &QPushButton::clicked, this, [this] { OnResetMenu(); });
    if (m_resetContext)
        connect(m_resetContext, &QPushButton::clicked, this, [this] { OnResetContextMenu(); });
}

CKVTMenuPage::~CKVTMenuPage()
{
    // Gone with the frame without a close: the popup goes without telling
    // the frame, which may be half destroyed.
    if (m_popup) {
        disconnect(m_popup, nullptr, this, nullptr);
        delete m_popup.data();
    }
}

bool CKVTMenuPage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    for (CKVTToolBar* bar : CKVTToolbarShared::AllBars())
        if (auto* mb = qobject_cast<CKVTMenuBar*>(bar)) {
            m_menuBar = mb;
            break;
        }
    if (m_animation) {
        const QSignalBlocker block(m_animation);
        m_animation->clear();
        for (uint32_t id = IDS_ANIMATION_NONE; id < IDS_ANIMATION_NONE + 3; ++id)
            m_animation->addItem(LoadResString(id));
        m_animation->setCurrentIndex(int(std::min<uint32_t>(CKVTToolbarShared::Options().menuAnimation, 2)));
    }
    if (m_shadows)
        m_shadows->setChecked(CKVTToolbarShared::Options().menuShadows);
    const uint32_t flags = m_sheet ? m_sheet->Flags() : 0;
    Show(m_shadows, flags & KVT_CUSTOMIZE_MENU_SHADOWS);
    Show(m_animation, flags & KVT_CUSTOMIZE_MENU_ANIMATION);
    Show(GetDlgItem(16543), flags & KVT_CUSTOMIZE_MENU_ANIMATION);

    if (m_menuFor) {
        const QSignalBlocker block(m_menuFor);
        m_menuFor->clear();
        if (m_menuBar) {
            m_original = m_shown = m_menuBar->GetCurrentMenu();
            if (m_autoFromMenus)
                if (ui::Application* app = ui::Application::Instance())
                    for (int i = 0; i < app->Documents().TemplateCount(); ++i) {
                        ui::DocTemplate* t = app->Documents().Template(i);
                        if (!t || !t->GetSharedMenu())
                            continue;
                        QString name;
                        t->GetDocString(name, ui::DocTemplate::docName);
                        m_menuFor->addItem(name, QVariant::fromValue<void*>(t));
                    }
            m_menuFor->addItem(LoadResString(IDS_DEFAULT_MENU), QVariant::fromValue<void*>(nullptr));
            int select = m_menuFor->count() - 1;
            for (int i = 0; i + 1 < m_menuFor->count(); ++i)
                if (MenuOfItem(i) == m_original)
                    select = i;
            m_menuFor->setCurrentIndex(select);
        } else {
            m_menuFor->setEnabled(false);
            if (m_resetMenu)
                m_resetMenu->setEnabled(false);
            if (m_description)
                m_description->setText(LoadResString(IDS_CANT_EDIT_MENU));
        }
    }
    if (m_menuBar)
        OnMenuForChanged();

    if (m_context) {
        const QSignalBlocker block(m_context);
        m_context->clear();
        m_context->addItem(LoadResString(IDS_NO_CONTEXT_MENU));
        CKVTContextMenuManager* manager = CKVTContextMenuManager::Instance();
        if (manager) {
            QStringList names;
            manager->GetMenuNames(names);
            QCollator collator{QLocale(QStringLiteral("cs_CZ"))};
            std::stable_sort(names.begin(), names.end(),
                             [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
            m_context->addItems(names);
            m_context->setCurrentIndex(0);
            const bool any = m_context->count() > 1;
            m_context->setEnabled(any);
            if (QWidget* label = GetDlgItem(16508))
                label->setEnabled(any);
        } else {
            for (int id : {16508, 16505, 16519, 16520, 16509})
                Show(GetDlgItem(id), false);
        }
    }
    if (m_resetContext)
        m_resetContext->setEnabled(false);
    return true;
}

ui::Menu* CKVTMenuPage::MenuOfItem(int index, bool* isDefault) const
{
    if (!m_menuFor || index < 0 || index >= m_menuFor->count())
        return nullptr;
    auto* t = static_cast<ui::DocTemplate*>(m_menuFor->itemData(index).value<void*>());
    if (isDefault)
        *isDefault = t == nullptr;
    if (t)
        return t->GetSharedMenu();
    return m_menuBar ? m_menuBar->GetDefaultMenu() : nullptr;
}

void CKVTMenuPage::SaveShownMenu()
{
    if (!m_menuBar || !m_menuBar->GetCurrentMenu())
        return;
    m_menuBar->SetHotButton(-1);
    CKVTMenuButtonCache::Instance().SaveMenuButtons(m_menuBar->GetCurrentMenu(), m_menuBar);
}

void CKVTMenuPage::OnMenuForChanged()
{
    if (!m_menuBar || !m_menuFor)
        return;
    SaveShownMenu();
    const int index = m_menuFor->currentIndex();
    auto* t = static_cast<ui::DocTemplate*>(m_menuFor->itemData(index).value<void*>());
    QIcon icon = QApplication::windowIcon();
    QString description;
    if (t) {
        t->GetDocString(description, ui::DocTemplate::regFileTypeName);
        const QString path = res::Path(QStringLiteral("icons/%1.svg").arg(t->ResourceId()));
        if (QFile::exists(path))
            icon = QIcon(path);
    } else {
        description = LoadResString(IDS_DEFAULT_MENU_DESC);
    }
    if (m_description)
        m_description->setText(description);
    if (m_icon)
        m_icon->setPixmap(icon.pixmap(32, 32));
    m_defaultChosen = t == nullptr;
    m_shown = MenuOfItem(index);
    m_menuBar->CreateFromMenu(m_shown, m_defaultChosen);
    m_menuBar->update();
}

void CKVTMenuPage::SaveAndCloseContextPopup()
{
    if (!m_popup)
        return;
    CKVTPopupMenu* popup = m_popup;
    disconnect(popup, nullptr, this, nullptr);
    LastContextMenuPos() = popup->pos();
    if (popup->GetMenu())
        CKVTMenuButtonCache::Instance().SaveMenuButtons(popup->GetMenu(), popup->GetMenuBar());
    m_popup = nullptr;
    popup->close();
}

void CKVTMenuPage::OnContextMenuChanged()
{
    if (m_resetContext)
        m_resetContext->setEnabled(false);
    SaveAndCloseContextPopup();
    if (!m_context || m_context->currentIndex() <= 0)
        return;
    const QString name = m_context->currentText();
    CKVTContextMenuManager* manager = CKVTContextMenuManager::Instance();
    ui::Menu* menu = manager ? manager->GetMenuByName(name) : nullptr;
    ui::Menu* sub = menu ? menu->SubMenu(0) : nullptr;
    if (!sub) {
        ui::MessageBeep();
        return;
    }
    auto* popup = new CKVTPopupMenu(this, name);
    if (!CKVTDrawingData::Instance().IsOldSystem())
        popup->SetDestroyMenu(false);
    const QPoint pos = LastContextMenuPos();
    QWidget* owner = m_sheet ? static_cast<QWidget*>(m_sheet->Frame()) : nullptr;
    if (!popup->Create(owner, pos.x(), pos.y(), sub)) {
        delete popup;
        ui::Prompt(LoadResString(IDS_CANT_CREATE_CONTEXT_MENU), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return;
    }
    m_popup = popup;
    connect(popup, &CKVTPopupMenu::closed, this, [this, popup] { OnContextPopupClosed(popup); });
    if (m_resetContext)
        m_resetContext->setEnabled(true);
}

void CKVTMenuPage::OnContextPopupClosed(CKVTPopupMenu* popup)
{
    if (popup != m_popup)
        return;
    LastContextMenuPos() = popup->pos();
    if (popup->GetMenu())
        CKVTMenuButtonCache::Instance().SaveMenuButtons(popup->GetMenu(), popup->GetMenuBar());
    m_popup = nullptr;
    if (m_context) {
        const QSignalBlocker block(m_context);
        m_context->setCurrentIndex(0);
    }
    if (m_resetContext)
        m_resetContext->setEnabled(false);
}

void CKVTMenuPage::OnResetMenu()
{
    if (!m_menuBar || !m_menuFor)
        return;
    if (ui::Prompt(FormatResString(IDS_RESET_MENU, m_menuFor->currentText()), {},
                   ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    auto* t = static_cast<ui::DocTemplate*>(m_menuFor->currentData().value<void*>());
    if (!t) {
        m_menuBar->RebuildFromMenu(m_menuBar->GetDefaultMenu(), true);
        m_shown = m_menuBar->GetDefaultMenu();
        CKVTMenuButtonCache::Instance().SaveMenuButtons(m_shown, m_menuBar);
        m_menuBar->update();
        return;
    }
    std::unique_ptr<ui::Menu> fresh = ui::Menu::Load(t->ResourceId());
    if (!fresh) {
        ui::MessageBeep();
        return;
    }
    ui::Menu* old = t->GetSharedMenu();
    ui::Menu* now = fresh.get();
    const bool showing = m_menuBar->GetCurrentMenu() == old;
    if (showing)
        m_menuBar->RebuildFromMenu(now, false);
    if (old)
        CKVTMenuButtonCache::Instance().Drop(old->Serial());
    // The open children of the template switch to the new menu; the old one
    // lives on until the page is left.
    if (std::unique_ptr<ui::Menu> retired = t->ReplaceSharedMenu(std::move(fresh)))
        m_retired.push_back(std::move(retired));
    if (m_original == old)
        m_original = now;
    if (m_shown == old)
        m_shown = now;
    if (showing)
        CKVTMenuButtonCache::Instance().SaveMenuButtons(now, m_menuBar);
    m_menuBar->update();
}

void CKVTMenuPage::OnResetContextMenu()
{
    if (!m_popup || !m_context)
        return;
    if (ui::Prompt(FormatResString(IDS_RESET_MENU, m_context->currentText()), {},
                   ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    CKVTContextMenuManager* manager = CKVTContextMenuManager::Instance();
    ui::Menu* menu = manager ? manager->GetMenuByName(m_context->currentText()) : nullptr;
    ui::Menu* sub = menu ? menu->SubMenu(0) : nullptr;
    if (!sub)
        return;
    CKVTMenuButtonCache::Instance().Drop(sub->Serial());
    m_popup->GetMenuBar()->CreateFromMenu(sub, true);
    m_popup->GetMenuBar()->AdjustLayout();
    m_popup->RecalcLayout();
    m_popup->update();
}

void CKVTMenuPage::OnSheetClosing()
{
    if (m_left)
        return;
    m_left = true;
    if (m_animation)
        CKVTToolbarShared::Options().menuAnimation = uint32_t(std::max(0, m_animation->currentIndex()));
    if (m_shadows)
        CKVTToolbarShared::Options().menuShadows = m_shadows->isChecked();
    if (m_menuBar) {
        SaveShownMenu();
        if (m_menuBar->GetCurrentMenu() != m_original && m_original)
            m_menuBar->CreateFromMenu(m_original, m_original == m_menuBar->GetDefaultMenu());
        m_menuBar->update();
    }
    SaveAndCloseContextPopup();
    // Menus replaced by a reset go once nothing shows them.
    std::erase_if(m_retired, [this](const std::unique_ptr<ui::Menu>& m) {
        return !m_menuBar || m_menuBar->GetCurrentMenu() != m.get();
    });
}
