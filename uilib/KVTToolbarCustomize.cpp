#include "uilib/KVTToolbarCustomize.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ToolbarResource.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTButtonDragController.h"
#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTKeyboardPage.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMouseManager.h"
#include "uilib/KVTMousePage.h"
#include "uilib/KVTOptionsPage.h"
#include "uilib/KVTSizingControlBar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTToolbarsPage.h"
#include "uilib/KVTFormPlaceholder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr uint32_t IDS_CAPTION = 16103;
constexpr uint32_t IDS_CLOSE = 16105;
constexpr uint32_t IDS_NEW_MENU = 16014;
constexpr uint32_t IDB_HELP = 16131;

const CKVTToolbarButton* ButtonOf(const QModelIndex& index)
{
    return static_cast<const CKVTToolbarButton*>(index.data(CKVTCommandListBox::ButtonRole).value<void*>());
}
} // namespace

// ------------------------------------------------------------------ sheet

CKVTToolbarCustomize::CKVTToolbarCustomize(CKVTFrameBase* frame, bool autoFromMenus, uint32_t flags,
                                           const std::vector<PageFactory>& pages)
    : ui::PropertySheet(LoadResString(IDS_CAPTION), frame), m_catalogue(autoFromMenus), m_frame(frame),
      m_flags(flags)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_commandsPage = new CKVTCustomizePage(this);
    m_toolbarsPage = new CKVTToolbarsPage(frame);
    AddPage(m_commandsPage);
    AddPage(m_toolbarsPage);
    // The keyboard page: only with a keyboard manager and a frame accelerator table.
    if (CKVTKeyboardManager::Instance() && frame && frame->Accelerators()) {
        m_keyboardPage = new CKVTKeyboardPage(frame, autoFromMenus, this);
        AddPage(m_keyboardPage);
    }
    const bool hasMenuBar = frame && frame->GetMenuBar();
    if (CKVTContextMenuManager::Instance() || hasMenuBar) {
        m_menuPage = new CKVTMenuPage(this, autoFromMenus);
        AddPage(m_menuPage);
    }
    if (CKVTMouseManager::Instance()) {
        m_mousePage = new CKVTMousePage(this);
        AddPage(m_mousePage);
    }
    for (const PageFactory& make : pages)
        if (ui::PropertyPage* page = make ? make() : nullptr)
            AddPage(page);
    m_optionsPage = new CKVTOptionsPage(this, hasMenuBar);
    AddPage(m_optionsPage);

    // Close (the reject button) at the bottom right, Help with its image at
    // the bottom left; no OK and no Apply.
    QDialogButtonBox* box = Buttons();
    box->button(QDialogButtonBox::Ok)->hide();
    box->button(QDialogButtonBox::Apply)->hide();
    m_close = box->button(QDialogButtonBox::Cancel);
    m_close->setText(LoadResString(IDS_CLOSE));
    m_close->setAutoDefault(false);
    m_help = new QPushButton(this);
    m_help->setObjectName(QStringLiteral("c9"));
    m_help->setIcon(QIcon(QPixmap::fromImage(
        ui::RenderSvgResource(QStringLiteral("icons/%1.svg").arg(IDB_HELP), QSize(16, 16)))));
    m_help->setIconSize(QSize(16, 16));
    m_help->setAutoDefault(false);
    connect(m_help, &QPushButton::clicked, this, &CKVTToolbarCustomize::OnHelp);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] {
        if (m_frame)
            static_cast<KvtFrameHooks*>(m_frame)->OnToolbarCustomizeHelp(GetActiveIndex(), this);
    });
    if (flags & KVT_CUSTOMIZE_NO_HELP) {
        m_help->hide();
        m_help->setEnabled(false);
    }
    if (auto* column = qobject_cast<QVBoxLayout*>(layout())) {
        column->removeWidget(box);
        auto* row = new QHBoxLayout;
        row->addWidget(m_help);
        row->addStretch(1);
        row->addWidget(box);
        column->addLayout(row);
    }

    if (autoFromMenus)
        SetupFromMenus();
    // An empty new menu that can be dragged onto any toolbar.
    const QString newMenu = LoadResString(IDS_NEW_MENU);
    CKVTToolbarMenuButton menuButton(0, nullptr, -1, newMenu);
    m_catalogue.AddButton(newMenu, menuButton);
}

CKVTToolbarCustomize::~CKVTToolbarCustomize()
{
    if (m_created && !m_closed) {
        // Destroyed with its frame, without a close.
        m_closed = true;
        if (CKVTFrameHelper::CustomizeSheet() == this)
            CKVTFrameHelper::SetCustomizeSheet(nullptr);
        CKVTToolbarShared::SetCustomizeMode(false);
    }
}

void CKVTToolbarCustomize::SetupFromMenus() { m_catalogue.SetupFromMenus(m_frame); }

bool CKVTToolbarCustomize::Create()
{
    if (m_created)
        return false;
    m_created = true;
    // The mode disables the document area, which moves the focus away.
    if (QWidget* f = QApplication::focusWidget(); f && m_frame && f->window() == m_frame)
        m_returnFocus = f;
    else if (m_frame)
        m_returnFocus = m_frame->focusWidget();
    ShowModeless();
    CKVTFrameHelper::SetCustomizeSheet(this);
    SetCustomize(true);
    return true;
}

CKVTToolbarCustomize* CKVTToolbarCustomize::OpenForFrame(CKVTFrameBase* frame)
{
    if (auto* open = qobject_cast<CKVTToolbarCustomize*>(CKVTFrameHelper::CustomizeSheet())) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* sheet = new CKVTToolbarCustomize(frame, true, 0xFFFF);
    sheet->EnableUserDefinedToolbars(true);
    sheet->Create();
    return sheet;
}

void CKVTToolbarCustomize::EnableUserDefinedToolbars(bool enable)
{
    if (m_toolbarsPage)
        m_toolbarsPage->EnableUserDefinedToolbars(enable);
}

void CKVTToolbarCustomize::CheckToolBarItem(CKVTToolBar* bar, bool show)
{
    if (m_toolbarsPage)
        m_toolbarsPage->CheckToolBarItem(bar, show);
}

void CKVTToolbarCustomize::SetCustomize(bool mode)
{
    if (m_frame) {
        if (mode) {
            std::vector<QWidget*> others;
            for (QObject* o : m_frame->children()) {
                auto* w = qobject_cast<QWidget*>(o);
                if (!w || w->isWindow() || qobject_cast<ui::ControlBar*>(w))
                    continue;
                if (auto* client = qobject_cast<KvtFrameClient*>(w)) {
                    // The client holds the dock sites and the centre.
                    for (QObject* c : client->children()) {
                        auto* cw = qobject_cast<QWidget*>(c);
                        if (cw && !cw->isWindow() && !qobject_cast<CKVTToolDockBar*>(cw) &&
                            !qobject_cast<ui::ControlBar*>(cw))
                            others.push_back(cw);
                    }
                    continue;
                }
                others.push_back(w);
            }
            for (QWidget* w : others) {
                if (m_disabled.count(w))
                    continue;
                if (w->testAttribute(Qt::WA_Disabled))
                    continue; // already disabled: stays so and is not ours to enable
                m_disabled[w] = w;
                w->setEnabled(false);
            }
        } else {
            for (auto& [key, w] : m_disabled)
                if (w)
                    w->setEnabled(true);
            m_disabled.clear();
        }
        // Every library sizing bar of the frame, docked or floating.
        for (ui::ControlBar* bar : m_frame->Helper().ControlBars())
            if (auto* sizing = qobject_cast<CKVTSizingControlBar*>(bar))
                sizing->OnCustomizeMode(mode);
    }
    CKVTToolbarShared::SetCustomizeMode(mode);
    if (KvtFrameHooks* hooks = m_frame ? static_cast<KvtFrameHooks*>(m_frame) : nullptr)
        hooks->OnToolbarCustomize(mode);
}

std::vector<QWidget*> CKVTToolbarCustomize::DisabledWidgets() const
{
    std::vector<QWidget*> out;
    for (const auto& [key, w] : m_disabled)
        if (w)
            out.push_back(w);
    return out;
}

void CKVTToolbarCustomize::FillCategoriesListBox(QListWidget* list) const
{
    for (const QString& name : m_catalogue.CategoryNames()) {
        auto* item = new QListWidgetItem(name, list);
        item->setData(Qt::UserRole, name);
    }
    auto* all = new QListWidgetItem(m_catalogue.AllCommandsName(), list);
    all->setData(Qt::UserRole, m_catalogue.AllCommandsName());
}

void CKVTToolbarCustomize::FillCategoriesComboBox(QComboBox* combo) const
{
    for (const QString& name : m_catalogue.CategoryNames())
        combo->addItem(name, name);
    combo->addItem(m_catalogue.AllCommandsName(), m_catalogue.AllCommandsName());
}

std::vector<const CKVTToolbarButton*> CKVTToolbarCustomize::GetCategoryButtons(const QString& name) const
{
    std::vector<const CKVTToolbarButton*> out;
    if (const auto* list = m_catalogue.Buttons(name))
        for (const auto& b : *list)
            out.push_back(b.get());
    return out;
}

void CKVTToolbarCustomize::FillAllCommandsList(QListWidget* list) const
{
    list->clear();
    for (const CKVTToolbarButton* b : m_catalogue.SortedAllCommands()) {
        auto* item = new QListWidgetItem(b->m_text, list);
        item->setData(Qt::UserRole, b->m_id);
    }
}

void CKVTToolbarCustomize::OnHelp()
{
    if (m_help && !m_help->isEnabled())
        return;
    if (m_frame)
        static_cast<KvtFrameHooks*>(m_frame)->OnToolbarCustomizeHelp(GetActiveIndex(), this);
}

void CKVTToolbarCustomize::reject() { close(); }

void CKVTToolbarCustomize::Leave()
{
    if (m_closed)
        return;
    m_closed = true;
    for (int i = 0; i < GetPageCount(); ++i)
        if (ui::PropertyPage* page = GetPage(i); page && page->Created())
            if (auto* leaving = dynamic_cast<CKVTSheetLeaving*>(page))
                leaving->OnSheetClosing();
    if (CKVTFrameHelper::CustomizeSheet() == this)
        CKVTFrameHelper::SetCustomizeSheet(nullptr);
    if (m_created)
        SetCustomize(false);
    if (m_returnFocus && m_returnFocus->isEnabled() && m_returnFocus->isVisible())
        m_returnFocus->setFocus(Qt::OtherFocusReason);
}

void CKVTToolbarCustomize::keyPressEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        close();
        return;
    }
    ui::PropertySheet::keyPressEvent(e);
}

void CKVTToolbarCustomize::closeEvent(QCloseEvent* e)
{
    Leave();
    e->accept(); // WA_DeleteOnClose deletes the sheet
}

// -------------------------------------------------------- the command list

void CKVTCommandItemDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    auto* button = const_cast<CKVTToolbarButton*>(ButtonOf(index));
    p->fillRect(option.rect, CKVTDrawingData::Instance().Face());
    if (!button)
        return;
    // The listed texts hold no mnemonics: an "&" in them is drawn as itself.
    const QString text = button->m_text;
    button->m_text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    p->save();
    button->DrawInCustomizeList(*p, option.rect, (option.state & QStyle::State_Selected) != 0);
    p->restore();
    button->m_text = text;
}

QSize CKVTCommandItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(CKVTToolbarShared::GetCurrentImageSize().height() + 6);
    return size;
}

CKVTCommandListBox::CKVTCommandListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new CKVTCommandItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setDragEnabled(false);
}

int CKVTCommandListBox::ItemHeight() const { return CKVTToolbarShared::GetCurrentImageSize().height() + 6; }

void CKVTCommandListBox::AddButton(CKVTToolbarButton* button)
{
    auto* item = new QListWidgetItem(button->m_text, this);
    item->setData(ButtonRole, QVariant::fromValue<void*>(button));
    item->setSizeHint(QSize(0, ItemHeight()));
}

CKVTToolbarButton* CKVTCommandListBox::ButtonAt(int row) const
{
    QListWidgetItem* it = item(row);
    return it ? static_cast<CKVTToolbarButton*>(it->data(ButtonRole).value<void*>()) : nullptr;
}

void CKVTCommandListBox::mousePressEvent(QMouseEvent* e)
{
    QListWidget::mousePressEvent(e); // the list selects first
    if (e->button() != Qt::LeftButton)
        return;
    QListWidgetItem* it = itemAt(e->position().toPoint());
    if (!it || it != currentItem() || !it->isSelected())
        return;
    CKVTToolbarButton* button = ButtonAt(row(it));
    if (!button)
        return;
    auto data = std::make_unique<QMimeData>();
    if (!button->CopyToClipboard(data.get()))
        return;
    // The list lets go of the mouse; the drag owns it from here.  The source
    // is no bar: nothing ever leaves the list.
    QMouseEvent up(QEvent::MouseButtonRelease, e->position(), e->globalPosition(), Qt::LeftButton,
                   Qt::NoButton, e->modifiers());
    QListWidget::mouseReleaseEvent(&up);
    const QRect start = CKVTButtonDragController::StartRectAround(e->globalPosition().toPoint());
    CKVTButtonDragController::Instance().Start(this, std::move(data), DROPEFFECT_COPY | DROPEFFECT_MOVE, start,
                                               [](const CKVTButtonDragController::Result&) {});
}

// -------------------------------------------------------- commands page

CKVTCustomizePage::CKVTCustomizePage(CKVTToolbarCustomize* sheet) : ui::PropertyPage(16104), m_sheet(sheet)
{
    m_categories = Item<QListWidget>(16501);
    m_description = Item<QLabel>(16503);
    m_commands = KvtReplacePlaceholder(GetDlgItem(16506), new CKVTCommandListBox, this);
    if (m_categories)
        connect(m_categories, &QListWidget::currentRowChanged, this, [this] { OnCategoryChanged(); });
    if (m_commands)
        connect(m_commands, &QListWidget::currentRowChanged, this, [this] { OnCommandChanged(); });
}

bool CKVTCustomizePage::OnInitDialog()
{
    ui::PropertyPage::OnInitDialog();
    if (!m_categories)
        return true;
    {
        const QSignalBlocker block(m_categories);
        m_categories->clear();
        m_sheet->FillCategoriesListBox(m_categories);
        m_categories->setCurrentRow(m_categories->count() > 0 ? 0 : -1);
    }
    OnCategoryChanged();
    return true;
}

void CKVTCustomizePage::OnCategoryChanged()
{
    if (!m_commands || !m_categories)
        return;
    m_commands->setUpdatesEnabled(false);
    {
        const QSignalBlocker block(m_commands);
        m_commands->clear();
    }
    if (m_description)
        m_description->clear();
    QListWidgetItem* current = m_categories->currentItem();
    if (current) {
        const QString name = current->data(Qt::UserRole).toString();
        const CKVTCustomizeCatalogue& cat = m_sheet->Catalogue();
        std::vector<const CKVTToolbarButton*> buttons =
            name == cat.AllCommandsName() ? cat.SortedAllCommands() : m_sheet->GetCategoryButtons(name);
        const CKVTCommandImageMap& images = CKVTCommandImageMap::Instance();
        const QSignalBlocker block(m_commands);
        for (const CKVTToolbarButton* cb : buttons) {
            auto* b = const_cast<CKVTToolbarButton*>(cb);
            // The image the toolbars show for the command, or the no-image mark.
            const int def = images.GetImage(b->m_id, false);
            const int user = images.GetImage(b->m_id, true);
            b->m_extra = def < 0 && user < 0;
            if (b->GetImage() < 0) {
                if (def >= 0) {
                    b->m_imageIndex = def;
                } else if (user >= 0) {
                    b->m_userImage = true;
                    b->m_userImageIndex = user;
                }
            }
            m_commands->AddButton(b);
        }
    }
    m_commands->setUpdatesEnabled(true);
}

void CKVTCustomizePage::OnCommandChanged()
{
    if (!m_description || !m_commands)
        return;
    const CKVTToolbarButton* b = m_commands->ButtonAt(m_commands->currentRow());
    if (!b) {
        m_description->clear();
        return;
    }
    m_description->setText(b->m_id == 0 ? b->m_text : ui::CommandPrompt(b->m_id));
}
