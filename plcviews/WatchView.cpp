#include "plcviews/WatchView.h"

#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/SysColor.h"
#include "plcviews/LinkNotices.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTWorkspace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOption>

#include <algorithm>

namespace {
constexpr unsigned IDS_TIP_NEW = 4400;
constexpr unsigned IDS_TIP_DELETE = 4401;
constexpr unsigned IDS_TIP_WRITE = 4402;
constexpr unsigned IDS_COL_NAME = 4403;
constexpr unsigned IDS_COL_VALUE = 4404;
constexpr unsigned IDS_COMMIT_WATCH = 4405;
constexpr unsigned IDS_COMMIT_MECH = 4406;
constexpr unsigned IDS_LINK_RESET = 4417;
constexpr unsigned IDS_WATCH_RESULT = 4418;
constexpr unsigned IDS_MECH_RESULT = 4419;
constexpr unsigned IDS_BRKS_RESULT = 4420;
constexpr unsigned IDS_STATUS_RESULT = 4421;
constexpr unsigned IDS_GETREGS_RESULT = 4422;
constexpr unsigned IDS_SETREGS_RESULT = 4423;
constexpr unsigned IDS_ITEM_TEXT = 4424;
constexpr unsigned IDS_ITEM_SELTEXT = 4425;
constexpr unsigned IDS_ITEM_VALUE = 4426;
constexpr unsigned IDS_BAD_RLO = 4427;
constexpr unsigned IDS_BAD_DR = 4428;
constexpr unsigned IDS_SETREGS_REFUSED = 4430;
constexpr unsigned IDS_COL_TYPE = 4431;
constexpr unsigned IDS_REGSONLINE_RESULT = 4441;
constexpr int kMechanismType = 5;
constexpr int kOffsetType = 7;
constexpr int kConstantType = 8;

QColor C(ui::COLORREF c) { return ui::ColorFromRef(c); }

QIcon Icon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

void RegisterListClass()
{
    static const bool done = [] {
        ui::RegisterFormWidget(QStringLiteral("CWatchListCtrl"),
                               [](QWidget* parent) -> QWidget* { return new CWatchListCtrl(parent); });
        return true;
    }();
    (void)done;
}

watchview::Rect R(const QWidget* w)
{
    return w ? watchview::Rect{w->x(), w->y(), w->width(), w->height()} : watchview::Rect{};
}
void Place(QWidget* w, const watchview::Rect& r)
{
    if (w && QRect(r.x, r.y, r.w, r.h) != w->geometry())
        w->setGeometry(r.x, r.y, r.w, r.h);
}
} // namespace

// ================================================================= the list

class CWatchListCtrl::Model : public QAbstractTableModel
{
public:
    explicit Model(CWatchListCtrl* list) : QAbstractTableModel(list), m_list(list) {}
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() || !m_list->m_owner.rowCount ? 0 : m_list->m_owner.rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || !m_list->m_owner.text)
            return {};
        if (role == Qt::DisplayRole || (role == Qt::EditRole && index.column() == 0))
            return m_list->m_owner.text(index.row(), index.column());
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const unsigned ids[3] = {IDS_COL_NAME, IDS_COL_TYPE, IDS_COL_VALUE};
        return section >= 0 && section < 3 ? LoadResString(ids[section]) : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (index.column() == 0)
            f |= Qt::ItemIsEditable;
        return f;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || index.column() != 0 || !m_list->m_owner.endLabelEdit)
            return false;
        // The rows may change: the owner acts after the editor has closed.
        const int row = index.row();
        const QString text = value.toString();
        QMetaObject::invokeMethod(
            m_list, [list = m_list, row, text] { list->m_owner.endLabelEdit(row, text); }, Qt::QueuedConnection);
        return true;
    }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void Values()
    {
        const int rows = rowCount();
        if (rows > 0)
            emit dataChanged(index(0, 2), index(rows - 1, 2), {Qt::DisplayRole});
    }

private:
    CWatchListCtrl* m_list;
};

class CWatchListCtrl::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(CWatchListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const Colors& c = m_list->m_colors;
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->setClipRect(option.rect);
        p->fillRect(option.rect, selected ? c.selBack : c.back);
        const QColor text = selected ? c.selText : c.text;
        const QColor value = selected ? c.selText : c.value;
        int x = option.rect.left() + 2;
        const QRect r = option.rect;
        for (const watchview::Run& run : watchview::SplitRuns(index.data().toString().toStdU16String())) {
            const QFont& f = run.value ? m_list->m_bold : m_list->m_normal;
            p->setFont(f);
            p->setPen(run.value ? value : text);
            const QString s = QString::fromStdU16String(run.text);
            p->drawText(QRect(x, r.top(), r.right() - x + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, s);
            x += QFontMetrics(f).horizontalAdvance(s);
            if (x > r.right())
                break;
        }
        if ((option.state & QStyle::State_HasFocus) && index.column() == 0) {
            QStyleOptionFocusRect focus;
            focus.rect = r.adjusted(0, 0, -1, -1);
            focus.state = option.state;
            focus.backgroundColor = selected ? c.selBack : c.back;
            m_list->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, m_list);
        }
        p->restore();
    }

private:
    CWatchListCtrl* m_list;
};

CWatchListCtrl::CWatchListCtrl(QWidget* parent) : QTableView(parent), m_model(new Model(this))
{
    m_colors = {C(ui::GetSysColor(ui::COLOR_WINDOWTEXT)), C(ui::GetSysColor(ui::COLOR_WINDOW)),
                C(ui::GetSysColor(ui::COLOR_HIGHLIGHTTEXT)), C(ui::GetSysColor(ui::COLOR_HIGHLIGHT)),
                C(0xFF0000)};
    m_normal = font();
    m_bold = font();
    m_bold.setBold(true);
    setModel(m_model);
    setItemDelegate(new Delegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    MapCommand(ID_EDIT_COPY, [this] {
        if (m_owner.copy)
            m_owner.copy();
    });
    MapCommand(ID_EDIT_CUT, [this] {
        if (m_owner.cut)
            m_owner.cut();
    });
    MapCommand(ID_EDIT_PASTE, [this] {
        if (m_owner.paste)
            m_owner.paste();
    });
}

void CWatchListCtrl::SetOwner(Owner owner)
{
    m_owner = std::move(owner);
    Reset();
}

void CWatchListCtrl::SetLook(const QFont& normal, const QFont& bold, const Colors& colors)
{
    m_normal = normal;
    m_bold = bold;
    m_colors = colors;
    setFont(normal);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(bold).height() + 4);
    viewport()->update();
}

void CWatchListCtrl::Reset()
{
    const int current = currentIndex().row();
    m_model->Reset();
    if (current >= 0 && current < m_model->rowCount())
        setCurrentIndex(m_model->index(current, 0));
}

void CWatchListCtrl::ValuesChanged() { m_model->Values(); }

void CWatchListCtrl::EditRow(int row, const QString& text)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 0);
    setCurrentIndex(index);
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr))
        return;
    const auto editors = viewport()->findChildren<QLineEdit*>();
    for (QLineEdit* e : editors) {
        e->setText(text);
        e->setCursorPosition(int(text.size()));
        e->deselect();
    }
}

std::vector<int> CWatchListCtrl::SelectedRows() const
{
    std::vector<int> rows;
    const int last = m_model->rowCount() - 1;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        if (i.row() < last)
            rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CWatchListCtrl::FocusedRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

bool CWatchListCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only real requests to edit, not a change of the current cell.
    const bool request = trigger == AllEditTriggers || (editTriggers() & trigger);
    if (request && index.isValid() && m_owner.canEdit && !m_owner.canEdit()) {
        ui::MessageBeep(0);
        return false;
    }
    if (request && index.isValid() && index.column() != 0)
        return QTableView::edit(m_model->index(index.row(), 0), trigger, event);
    return QTableView::edit(index, trigger, event);
}

void CWatchListCtrl::keyPressEvent(QKeyEvent* e)
{
    if (state() != EditingState) {
        if (e->matches(QKeySequence::Copy)) {
            ExecuteCommand(ID_EDIT_COPY);
            return;
        }
        if (e->matches(QKeySequence::Cut)) {
            ExecuteCommand(ID_EDIT_CUT);
            return;
        }
        if (e->matches(QKeySequence::Paste)) {
            ExecuteCommand(ID_EDIT_PASTE);
            return;
        }
        if (e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier) {
            if (m_owner.deleteRow)
                m_owner.deleteRow(FocusedRow());
            return;
        }
        const QString t = e->text();
        if (t.size() == 1 && t[0].unicode() >= 32 && t[0].unicode() <= 126 &&
            !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            int row = FocusedRow();
            if (row < 0)
                row = m_model->rowCount() - 1;
            EditRow(row, t);
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

void CWatchListCtrl::dragEnterEvent(QDragEnterEvent* e)
{
    if (m_owner.dragEnter && m_owner.dragEnter(e->mimeData())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void CWatchListCtrl::dragMoveEvent(QDragMoveEvent* e)
{
    // Copy only over the list's client area.
    if (viewport()->rect().contains(e->position().toPoint()) && m_owner.dragEnter &&
        m_owner.dragEnter(e->mimeData())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void CWatchListCtrl::dropEvent(QDropEvent* e)
{
    if (!m_owner.drop || !m_owner.dragEnter || !m_owner.dragEnter(e->mimeData())) {
        e->ignore();
        return;
    }
    e->setDropAction(Qt::CopyAction);
    e->accept();
    m_owner.drop(e->mimeData());
}

// ================================================================= the view

CKXPWatchView::CKXPWatchView(QWidget* parent) : ui::View(parent)
{
    RegisterListClass();
    m_form = ui::LoadForm(2030, this);
    if (m_form) {
        m_form->setWindowFlags(Qt::Widget);
        auto item = [this](int id) { return m_form->findChild<QWidget*>(QStringLiteral("c%1").arg(id)); };
        m_list = qobject_cast<CWatchListCtrl*>(item(kListId));
        m_combo = qobject_cast<QComboBox*>(item(kComboId));
        m_new = qobject_cast<QAbstractButton*>(item(kNewId));
        m_delete = qobject_cast<QAbstractButton*>(item(kDeleteId));
        m_rlo = qobject_cast<QLineEdit*>(item(kRloId));
        m_dr = qobject_cast<QLineEdit*>(item(kDrId));
        m_write = qobject_cast<QAbstractButton*>(item(kWriteId));
        resize(m_form->size());
        setWindowTitle(m_form->windowTitle());
    }
    m_link = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t wParam, intptr_t lParam, ui::MessageRecord*) {
            return OnLinkMessage(msg, wParam, lParam);
        });
    if (m_combo) {
        m_combo->installEventFilter(this);
        connect(m_combo, &QComboBox::activated, this, [this](int index) { OnSelchangePlaque(index); });
        connect(m_combo, &QComboBox::editTextChanged, this, [this](const QString& t) {
            if (m_combo->lineEdit() && m_combo->lineEdit()->isModified())
                OnEditchangePlaque(t);
        });
    }
    if (m_new)
        connect(m_new, &QAbstractButton::clicked, this, [this] { OnNewPlaque(); });
    if (m_delete)
        connect(m_delete, &QAbstractButton::clicked, this, [this] { OnDeletePlaque(); });
    if (m_write)
        connect(m_write, &QAbstractButton::clicked, this, [this] { OnWriteRegisters(); });
    if (m_list) {
        CWatchListCtrl::Owner owner;
        owner.rowCount = [this] { return RowCount(); };
        owner.text = [this](int row, int column) { return CellText(row, column); };
        owner.canEdit = [this] { return PlaqueSelected(); };
        owner.endLabelEdit = [this](int row, const QString& text) { OnEndlabeleditList(row, text); };
        owner.deleteRow = [this](int row) { OnKeydownDelete(row); };
        owner.copy = [this] { OnEditCopy(); };
        owner.cut = [this] { OnEditCut(); };
        owner.paste = [this] { OnEditPaste(); };
        owner.dragEnter = [this](const QMimeData* d) { return OnDragEnter(d); };
        owner.drop = [this](const QMimeData* d) { OnDrop(d); };
        m_list->SetOwner(std::move(owner));
    }
    MapCommand(ID_WATCH_HEX_DISPLAY, [this] { OnHexDisplay(); });
    MapUpdate(ID_WATCH_HEX_DISPLAY, [this](ui::CmdUI& cmd) {
        CStrandworkDoc* doc = Project();
        cmd.Enable(doc != nullptr);
        cmd.SetCheck(doc && doc->Data().DisplayAsHex ? 1 : 0);
    });
    SetRegisterControls(false);
}

CKXPWatchView::~CKXPWatchView()
{
    if (m_registry)
        m_registry->RemoveListener(this);
    if (CStrandworkDoc* doc = Project()) {
        if (m_registeredLink == &doc->Link()) {
            doc->Link().UnregisterWindow(LinkHandle(), 0);
            doc->Link().UnregisterWindow(LinkHandle(), 1);
        }
        // The watch view is no document window: its going never closes the project.
        const bool autoDelete = doc->AutoDelete();
        doc->SetAutoDelete(false);
        doc->RemoveView(this);
        doc->SetAutoDelete(autoDelete);
    }
}

uint32_t CKXPWatchView::LinkHandle() const { return m_link ? m_link->MessageTarget() : 0; }

CStrandworkDoc* CKXPWatchView::Project() const
{
    if (auto* doc = qobject_cast<CStrandworkDoc*>(GetDocument()))
        return doc;
    ProjectHost* host = GetProjectHost();
    return host ? host->GetProjectDoc() : nullptr;
}

bool CKXPWatchView::Debugging() const
{
    CStrandworkDoc* doc = Project();
    return doc && doc->IsDebugging();
}

bool CKXPWatchView::PlaqueSelected() const
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return false;
    const int sel = doc->Data().SelectedPlaque;
    return sel >= 0 && sel < int(doc->Data().WatchPlaques.size());
}

void CKXPWatchView::Output(unsigned id, int status, bool withStatus)
{
    plcviews::OutputText(withStatus ? FormatResString(id, status) : LoadResString(id));
}

// ------------------------------------------------------- fonts and colours

bool CKXPWatchView::RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry)
{
    if (!registry)
        return false;
    using namespace ui;
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    return registry->AddCategory(category, displayName, QStringLiteral("Courier New"), 10, 238, 1) &&
           registry->AddItem(category, QStringLiteral("Text"), LoadResString(IDS_ITEM_TEXT),
                             GetSysColor(COLOR_WINDOWTEXT), window, 0, 0, 0, 0) &&
           registry->AddItem(category, QStringLiteral("SelText"), LoadResString(IDS_ITEM_SELTEXT),
                             GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT), 0, 0, 0, 0) &&
           registry->AddItem(category, QStringLiteral("Value"), LoadResString(IDS_ITEM_VALUE), 0xFF0000, window, 1,
                             0, 0, 0);
}

void CKXPWatchView::ApplyFontsAndColors(CFontColorPage* registry, const QString& category)
{
    if (!registry)
        return;
    if (m_registry && m_registry != registry)
        m_registry->RemoveListener(this);
    m_registry = registry;
    m_category = category;
    registry->AddListener(this, 0);
    LoadLook();
}

void CKXPWatchView::LoadLook()
{
    const FontColorCategory* cat = m_registry ? m_registry->FindCategory(m_category) : nullptr;
    if (!cat || !m_list)
        return;
    // The registry's pointers live only until it next changes: copy.
    const FontColorItem* text = m_registry->FindItem(cat, QStringLiteral("Text"));
    const FontColorItem* sel = m_registry->FindItem(cat, QStringLiteral("SelText"));
    const FontColorItem* value = m_registry->FindItem(cat, QStringLiteral("Value"));
    CWatchListCtrl::Colors colors = m_list->GetColors();
    QFont normal = m_list->NormalFont(), bold = m_list->BoldFont();
    if (text) {
        colors.text = C(text->textColor);
        colors.back = C(text->backColor);
        normal = m_registry->CreateItemFont(*text, *cat);
        bold = normal;
        bold.setBold(true);
    }
    if (sel) {
        colors.selText = C(sel->textColor);
        colors.selBack = C(sel->backColor);
    }
    if (value)
        colors.value = C(value->textColor);
    m_list->SetLook(normal, bold, colors);
}

void CKXPWatchView::OnFontColorChange(uint32_t)
{
    LoadLook();
    RefreshValues();
}

// ------------------------------------------------------------ layout

watchview::WatchLayout CKXPWatchView::CurrentLayout() const
{
    auto item = [this](int id) {
        return m_form ? m_form->findChild<QWidget*>(QStringLiteral("c%1").arg(id)) : nullptr;
    };
    watchview::WatchLayout l;
    l.list = R(m_list);
    l.combo = R(m_combo);
    l.newButton = R(m_new);
    l.delButton = R(m_delete);
    l.rloLabel = R(item(2064));
    l.rloEdit = R(m_rlo);
    l.drLabel = R(item(2066));
    l.drEdit = R(m_dr);
    l.writeButton = R(m_write);
    return l;
}

void CKXPWatchView::ApplyLayout()
{
    if (!m_form)
        return;
    m_form->setGeometry(rect());
    if (!m_list || !m_combo || !m_new || !m_delete)
        return;
    const watchview::WatchLayout l = watchview::LayoutControls(width(), height(), CurrentLayout());
    auto item = [this](int id) { return m_form->findChild<QWidget*>(QStringLiteral("c%1").arg(id)); };
    Place(m_list, l.list);
    Place(m_combo, l.combo);
    Place(m_new, l.newButton);
    Place(m_delete, l.delButton);
    Place(item(2064), l.rloLabel);
    Place(m_rlo, l.rloEdit);
    Place(item(2066), l.drLabel);
    Place(m_dr, l.drEdit);
    Place(m_write, l.writeButton);
    // The value column fills the rest of the list.
    const int client = m_list->viewport()->width();
    m_list->setColumnWidth(
        2, watchview::ValueColumnWidth(client, m_list->columnWidth(0), m_list->columnWidth(1)));
}

void CKXPWatchView::resizeEvent(QResizeEvent* e)
{
    ui::View::resizeEvent(e);
    ApplyLayout();
}

// ------------------------------------------------------------ updates

void CKXPWatchView::OnInitialUpdate()
{
    if (m_new) {
        m_new->setIcon(Icon(549));
        m_new->setText({});
        m_new->setToolTip(LoadResString(IDS_TIP_NEW));
    }
    if (m_delete) {
        m_delete->setIcon(Icon(550));
        m_delete->setToolTip(LoadResString(IDS_TIP_DELETE));
    }
    if (m_write) {
        m_write->setIcon(Icon(1060));
        m_write->setToolTip(LoadResString(IDS_TIP_WRITE));
    }
    for (QAbstractButton* b : {m_new, m_delete, m_write})
        if (b)
            b->setIconSize(QSize(16, 16));
    if (m_list) {
        m_list->setColumnWidth(0, 150);
        m_list->setColumnWidth(1, 100);
        m_list->setColumnWidth(2, 200);
    }
    if (CStrandworkDoc* doc = Project()) {
        // Both lists: list 0 tells of a reset link.
        doc->Link().RegisterWindow(LinkHandle(), OLNK_LIST_LINK_STATE);
        doc->Link().RegisterWindow(LinkHandle(), OLNK_LIST_NOTIFY);
        m_registeredLink = &doc->Link();
    }
    FillCombo();
    ui::View::OnInitialUpdate();  // hint 0
    ApplyLayout();
}

void CKXPWatchView::FillCombo()
{
    if (!m_combo)
        return;
    CStrandworkDoc* doc = Project();
    const QSignalBlocker block(m_combo);
    m_combo->clear();
    if (!doc)
        return;
    for (const core::WatchPlaque& p : doc->Data().WatchPlaques)
        m_combo->addItem(QString::fromStdU16String(p.Name));
    const int sel = doc->Data().SelectedPlaque;
    m_combo->setCurrentIndex(sel >= 0 && sel < m_combo->count() ? sel : -1);
    if (m_combo->currentIndex() < 0)
        m_combo->setEditText({});
}

void CKXPWatchView::Resolve(Row& row)
{
    CStrandworkDoc* doc = Project();
    row.found = false;
    compout::SymbolInfo info;
    if (!doc || !doc->MapFile().FindSymbol(row.name, &info))
        return;
    row.found = true;
    row.type = info.type;
    row.area = info.selector;
    row.address = info.address;
    row.bitNumber = info.bitNumber;
    row.negate = info.negate != 0;
    for (size_t i = 0; i < 8; ++i)
        row.bitNames[i] = info.bitSlots[i] ? info.bitSlots[i]->name : std::u16string();
}

bool CKXPWatchView::Watch(Row& row, bool* mech)
{
    CStrandworkDoc* doc = Project();
    if (!doc || !row.found || row.watched)
        return false;
    const uint32_t size = watchview::WatchSize(row.type);
    if (size == 0)
        return false;  // offsets and constants show their own value
    COlnkLink& link = doc->Link();
    if (row.type == kMechanismType) {
        row.watched = link.AddWatchMech(LinkHandle(), 0, row.area, row.address, 0) != 0;
        if (mech)
            mech[1] = mech[1] || row.watched;
    } else {
        row.watched = link.AddWatch(LinkHandle(), 0, row.area, row.address, size, 0) != 0;
        if (mech)
            mech[0] = mech[0] || row.watched;
    }
    return row.watched;
}

bool CKXPWatchView::Unwatch(Row& row, bool* mech)
{
    CStrandworkDoc* doc = Project();
    if (!doc || !row.watched)
        return false;
    row.watched = false;
    COlnkLink& link = doc->Link();
    if (row.type == kMechanismType) {
        link.RemoveWatchMech(LinkHandle(), 0, row.area, row.address, 0);
        if (mech)
            mech[1] = true;
    } else {
        link.RemoveWatch(LinkHandle(), 0, row.area, row.address, watchview::WatchSize(row.type), 0);
        if (mech)
            mech[0] = true;
    }
    return true;
}

void CKXPWatchView::RebuildRows()
{
    CStrandworkDoc* doc = Project();
    for (Row& r : m_rows)
        Unwatch(r, nullptr);
    m_rows.clear();
    if (!doc)
        return;
    const int sel = doc->Data().SelectedPlaque;
    if (sel < 0 || sel >= int(doc->Data().WatchPlaques.size()))
        return;
    const bool debugging = doc->IsDebugging();
    for (const std::u16string& name : doc->Data().WatchPlaques[size_t(sel)].VarNames) {
        Row row;
        row.name = name;
        Resolve(row);
        if (debugging)
            Watch(row, nullptr);
        m_rows.push_back(std::move(row));
    }
}

void CKXPWatchView::OnUpdate(ui::View*, long hint, QObject*)
{
    if (hint != 0 && hint != 6 && hint != 10 && hint != 12)
        return;
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    COlnkLink& link = doc->Link();
    const uint32_t h = LinkHandle();
    const bool debugging = doc->IsDebugging();
    if (hint != 12) {
        // A project opened or a link started after the initial update.
        link.RegisterWindow(h, OLNK_LIST_LINK_STATE);
        link.RegisterWindow(h, OLNK_LIST_NOTIFY);
        m_registeredLink = &link;
    }
    if (hint == 10 && !debugging)
        m_statusActed = false;
    // 1. A fresh status.
    if (debugging)
        link.GetStatus(h, 0);
    // 2, 3. The rows again from the selected plaque.
    RebuildRows();
    const bool connected = link.IsConnected();
    // 4. The breakpoints again; not debugging: none.
    if ((hint == 0 || hint == 10) && connected) {
        const std::vector<uint8_t> record = watchview::BreakpointsRecord(doc->Data().Breakpoints, !debugging);
        link.SetBrksAtLine(h, 0, record.data());
    }
    // 5. The mechanism watch set from the watched names.
    if (hint == 0 || hint == 6 || hint == 10) {
        std::vector<MechanismWatch>& set = doc->MechanismWatchSet();
        for (const MechanismWatch& m : set)
            link.RemoveWatchMech(h, 0, m.number, m.address, 0);
        set.clear();
        if (debugging) {
            auto& names = doc->Data().WatchedMechanisms;
            for (auto it = names.begin(); it != names.end();) {
                compout::ListingMechanism* m = doc->ListingFile().FindMechanism(*it);
                if (!m) {
                    it = names.erase(it);
                    continue;
                }
                set.push_back(MechanismWatch{m->address, m->selector});
                link.AddWatchMech(h, 0, m->selector, m->address, 0);
                ++it;
            }
        }
        link.CommitWatchMech(h, 0);
        PlcStatusRecord status{};
        SetRegisterControls(debugging && doc->GetPlcStatus(status) && (status.flags & 0x0C) == 0x0C);
    }
    // 6. The periods, then the lists.  The set was added in step 5: the
    // link's lists count every add, so it is not added again here.
    if (connected) {
        const core::ProjectData& d = doc->Data();
        link.SetWatchPeriod(h, 0, d.WatchInterval, 1);
        link.SetWatchMechPeriod(h, 0, d.WatchMechInterval, 1);
        link.SetWatchRegsOnLinePeriod(h, 0, d.WatchRegsOnLineInterval, 1);
        if (!link.CommitWatch(h, 0))
            plcviews::OutputText(plcviews::RefusalLine(IDS_COMMIT_WATCH));
        if (!link.CommitWatchMech(h, 0))
            plcviews::OutputText(plcviews::RefusalLine(IDS_COMMIT_MECH));
    }
    if (hint == 0 || hint == 12)
        FillCombo();
    if (m_list)
        m_list->Reset();
    RefreshValues();
}

// ------------------------------------------------------------ the rows

QString CKXPWatchView::CellText(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return {};
    const Row& r = m_rows[size_t(row)];
    switch (column) {
    case 0:
        return QString::fromStdU16String(r.name);
    case 1:
        return r.found ? QString::fromStdU16String(watchview::TypeName(r.type)) : QString();
    case 2:
        return r.value;
    default:
        return {};
    }
}

QString CKXPWatchView::FormatValue(const Row& r) const
{
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging() || !r.found)
        return {};
    watchview::ValueInput in;
    in.type = r.type;
    in.hex = doc->Data().DisplayAsHex != 0;
    in.negate = r.negate;
    in.name = r.name;
    in.bitNames = r.bitNames;
    in.bitNumber = r.bitNumber;
    if (r.type == kOffsetType || r.type == kConstantType) {
        in.constant = r.address;
        return QString::fromStdU16String(watchview::ValueText(in));
    }
    if (!r.watched)
        return {};
    COlnkLink& link = doc->Link();
    if (r.type == kMechanismType) {
        MechStateRecord state{};
        const int8_t answer = link.GetWatchMechState(r.area, r.address, &state);
        if (answer < 0)
            return QString::fromStdU16String(watchview::UnavailableText(answer));
        int line = 0;
        std::u16string file;
        if (state.running) {
            if (const compout::ListingLine* l = doc->ListingFile().GetLine(state.index); l && l->sourceFile) {
                line = int(state.index - l->sourceFile->firstLine) + 1;
                const std::u16string& n = l->sourceFile->name;
                const size_t slash = n.find_last_of(u"\\/");
                file = slash == std::u16string::npos ? n : n.substr(slash + 1);
                for (const core::ProjectFileEntry& e : doc->Data().SourceFiles)
                    if (core::EqualsFileNameNoCase(e.FileName, file))
                        file = e.FileName;
            }
        }
        return QString::fromStdU16String(watchview::MechanismText(state.running != 0, line, file));
    }
    const uint32_t size = watchview::WatchSize(r.type);
    const int8_t answer = link.GetWatchValue(r.area, r.address, 1, in.bytes.data(), size);
    if (answer < 0)
        return QString::fromStdU16String(watchview::UnavailableText(answer));
    return QString::fromStdU16String(watchview::ValueText(in));
}

void CKXPWatchView::RefreshValues()
{
    for (Row& r : m_rows)
        r.value = FormatValue(r);
    if (!m_list)
        return;
    // A value wider than its column widens the column (never while painting).
    const QFontMetrics bold(m_list->BoldFont());
    int widest = 0;
    for (const Row& r : m_rows)
        if (!r.value.isEmpty())
            widest = std::max(widest, bold.horizontalAdvance(r.value) + 6);
    if (widest > m_list->columnWidth(2))
        m_list->setColumnWidth(2, widest);
    m_list->ValuesChanged();
}

void CKXPWatchView::SetRegisterControls(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(m_rlo), static_cast<QWidget*>(m_dr), static_cast<QWidget*>(m_write)})
        if (w)
            w->setEnabled(enabled);
    if (!enabled) {
        if (m_rlo)
            m_rlo->clear();
        if (m_dr)
            m_dr->clear();
    }
}

// ------------------------------------------------------------ plaques

void CKXPWatchView::OnSelchangePlaque(int index)
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    doc->Data().SelectedPlaque = index >= 0 && index < int(doc->Data().WatchPlaques.size()) ? index : -1;
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

void CKXPWatchView::OnEditchangePlaque(const QString& text)
{
    CStrandworkDoc* doc = Project();
    if (!doc || !PlaqueSelected())
        return;
    const int sel = doc->Data().SelectedPlaque;
    doc->Data().WatchPlaques[size_t(sel)].Name = text.toStdU16String();
    if (m_combo && sel < m_combo->count()) {
        const QSignalBlocker block(m_combo);
        const int cursor = m_combo->lineEdit() ? m_combo->lineEdit()->cursorPosition() : 0;
        m_combo->setItemText(sel, text);
        if (m_combo->lineEdit()) {
            m_combo->setEditText(text);
            m_combo->lineEdit()->setCursorPosition(cursor);
        }
    }
    doc->SetModifiedFlag(true);
}

void CKXPWatchView::OnDropdownPlaque() { FillCombo(); }

bool CKXPWatchView::eventFilter(QObject* watched, QEvent* e)
{
    // The combo's list is filled afresh just before it drops down.
    if (watched == m_combo) {
        if (e->type() == QEvent::MouseButtonPress) {
            OnDropdownPlaque();
        } else if (e->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_F4 || ((k->modifiers() & Qt::AltModifier) && k->key() == Qt::Key_Down))
                OnDropdownPlaque();
        }
    }
    return ui::View::eventFilter(watched, e);
}

void CKXPWatchView::OnNewPlaque()
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    auto& plaques = doc->Data().WatchPlaques;
    core::WatchPlaque p;
    p.Name = watchview::NewPlaqueName(plaques.size());
    plaques.push_back(std::move(p));
    doc->Data().SelectedPlaque = int(plaques.size()) - 1;
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

void CKXPWatchView::OnDeletePlaque()
{
    CStrandworkDoc* doc = Project();
    if (!doc || !PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    auto& plaques = doc->Data().WatchPlaques;
    const int sel = doc->Data().SelectedPlaque;
    plaques.erase(plaques.begin() + sel);
    doc->Data().SelectedPlaque = watchview::SelectionAfterDelete(sel, int(plaques.size()));
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

// ------------------------------------------------------------ list edits

void CKXPWatchView::OnEndlabeleditList(int row, const QString& text)
{
    CStrandworkDoc* doc = Project();
    if (!doc || row < 0 || row > int(m_rows.size()))
        return;
    if (!PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    auto& names = doc->Data().WatchPlaques[size_t(doc->Data().SelectedPlaque)].VarNames;
    const std::u16string name = text.trimmed().toStdU16String();
    const bool last = row == int(m_rows.size());
    if (last && name.empty())
        return;  // nothing typed into the entry row
    bool lists[2] = {false, false};  // variables, mechanisms touched
    // 1. The old watch goes.
    if (!last)
        Unwatch(m_rows[size_t(row)], lists);
    // 2. An empty name deletes the row.
    if (name.empty()) {
        m_rows.erase(m_rows.begin() + row);
        if (size_t(row) < names.size())
            names.erase(names.begin() + row);
        doc->SetModifiedFlag(true);
        if (lists[0])
            doc->Link().CommitWatch(LinkHandle(), 0);
        if (lists[1])
            doc->Link().CommitWatchMech(LinkHandle(), 0);
        doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
        return;
    }
    // 3. A new row or a new name.
    if (last) {
        m_rows.push_back(Row{});
        names.push_back(name);
    } else if (size_t(row) < names.size()) {
        names[size_t(row)] = name;
    }
    Row& r = m_rows[size_t(row)];
    r = Row{};
    r.name = name;
    // 4. Resolved and watched while debugging.
    if (doc->IsDebugging()) {
        Resolve(r);
        Watch(r, lists);
    } else {
        Resolve(r);
    }
    doc->SetModifiedFlag(true);
    if (lists[0])
        doc->Link().CommitWatch(LinkHandle(), 0);
    if (lists[1])
        doc->Link().CommitWatchMech(LinkHandle(), 0);
    // 5. The texts again.
    if (m_list)
        m_list->Reset();
    RefreshValues();
}

void CKXPWatchView::OnKeydownDelete(int row)
{
    CStrandworkDoc* doc = Project();
    if (!doc || row < 0 || row >= int(m_rows.size()))
        return;  // the last, empty row stays
    if (!PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    auto& names = doc->Data().WatchPlaques[size_t(doc->Data().SelectedPlaque)].VarNames;
    if (size_t(row) < names.size())
        names.erase(names.begin() + row);
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

void CKXPWatchView::AppendNames(const std::vector<std::u16string>& add)
{
    CStrandworkDoc* doc = Project();
    if (!doc || !PlaqueSelected() || add.empty())
        return;
    auto& names = doc->Data().WatchPlaques[size_t(doc->Data().SelectedPlaque)].VarNames;
    names.insert(names.end(), add.begin(), add.end());
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

void CKXPWatchView::OnEditCopy()
{
    if (!m_list)
        return;
    QStringList lines;
    for (int row : m_list->SelectedRows())
        lines << QString::fromStdU16String(m_rows[size_t(row)].name);
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
}

void CKXPWatchView::OnEditCut()
{
    CStrandworkDoc* doc = Project();
    if (!doc || !m_list || !PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    const std::vector<int> rows = m_list->SelectedRows();
    if (rows.empty())
        return;
    OnEditCopy();
    auto& names = doc->Data().WatchPlaques[size_t(doc->Data().SelectedPlaque)].VarNames;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (size_t(*it) < names.size())
            names.erase(names.begin() + *it);
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_WATCH_PAGES);
}

void CKXPWatchView::OnEditPaste()
{
    if (!m_list || !PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    const std::u16string text = QApplication::clipboard()->text().toStdU16String();
    const std::vector<std::u16string> names = watchview::SplitNames(text);
    if (names.empty())
        return;
    if (names.size() > 1) {
        AppendNames(names);
        return;
    }
    m_list->EditRow(RowCount() - 1, QString::fromStdU16String(names.front()));
}

bool CKXPWatchView::OnDragEnter(const QMimeData* data) { return data && data->hasText() && PlaqueSelected(); }

void CKXPWatchView::OnDrop(const QMimeData* data)
{
    if (!data || !data->hasText())
        return;
    if (!PlaqueSelected()) {
        ui::MessageBeep(0);
        return;
    }
    AppendNames(watchview::SplitNames(data->text().toStdU16String()));
}

void CKXPWatchView::OnHexDisplay()
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    doc->Data().DisplayAsHex = doc->Data().DisplayAsHex ? 0 : 1;
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, HINT_DEBUG_DISPLAY);
}

void CKXPWatchView::contextMenuEvent(QContextMenuEvent* e)
{
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        if (workspace->ShowPopupMenu(1027, e->globalPos(), this))
            return;
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(1027);
    if (!menu || !menu->SubMenu(0))
        return;
    if (const uint32_t id = ui::TrackPopupMenu(*menu->SubMenu(0), e->globalPos(), this))
        ui::SendCommand(id);
}

// ------------------------------------------------------------ registers

void CKXPWatchView::OnWriteRegisters()
{
    CStrandworkDoc* doc = Project();
    if (!doc || !m_rlo || !m_dr)
        return;
    uint8_t rlo = 0;
    int32_t dr = 0;
    if (!watchview::ParseRlo(m_rlo->text().toStdU16String(), rlo)) {
        ui::Prompt(LoadResString(IDS_BAD_RLO), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return;
    }
    if (!watchview::ParseDr(m_dr->text().toStdU16String(), dr)) {
        ui::Prompt(LoadResString(IDS_BAD_DR), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return;
    }
    if (doc->Link().SetRegs(LinkHandle(), 0, rlo, dr))
        doc->Link().GetRegs(LinkHandle(), 0);
    else
        ui::Prompt(plcviews::RefusalText(IDS_SETREGS_REFUSED), {}, ui::MB_OK | ui::MB_ICONERROR, this);
}

// ------------------------------------------------------------ the link

intptr_t CKXPWatchView::OnLinkMessage(uint32_t msg, uintptr_t, intptr_t lParam)
{
    if (msg == WM_LINK_NOTIFY)
        OnLinkNotify(lParam);
    else if (msg == WM_LINK_STATE)
        OnLinkState();
    else if (msg == WM_LINK_RESULT)
        if (const LinkResultRecord* r = linkui::ResultOf(lParam))
            OnLinkResult(*r);
    return 0;
}

void CKXPWatchView::OnLinkNotify(intptr_t kind)
{
    if (kind == 1 || kind == 5) {
        ++m_refreshes;
        RefreshValues();
        return;
    }
    if (kind != 0)
        return;
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging())
        return;
    PlcStatusRecord status{};
    const bool complete = doc->GetPlcStatus(status);
    const bool atBreak = complete && (status.flags & 0x0C) == 0x0C;
    SetRegisterControls(atBreak);
    // Act once per (flags, position): a repeated status never pulls the caret back.
    const uint64_t key = complete ? (uint64_t(status.flags) << 32 | status.index) : ~uint64_t(0);
    if (m_statusActed && key == m_lastStatus)
        return;
    m_statusActed = true;
    m_lastStatus = key;
    if (atBreak) {
        doc->GoToCurrentLine();
        doc->Link().GetRegs(LinkHandle(), 0);
    }
}

void CKXPWatchView::OnLinkState()
{
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging())
        return;
    doc->StopDebugging();
    Output(IDS_LINK_RESET);
}

void CKXPWatchView::OnLinkResult(const LinkResultRecord& r)
{
    switch (r.kind) {
    case 0:
        if (r.status < 0)
            Output(IDS_STATUS_RESULT, r.status, true);
        break;
    case 12:
        plcviews::OutputResult(r, IDS_BRKS_RESULT, "SetBrksAtLine");
        break;
    case 16:
        plcviews::OutputResult(r, IDS_WATCH_RESULT, "Watch");
        RefreshValues();  // the values' answers follow the list's reply
        break;
    case 19:
        plcviews::OutputResult(r, IDS_REGSONLINE_RESULT, "WatchRegsOnLine");
        break;
    case 21:
        plcviews::OutputResult(r, IDS_MECH_RESULT, "WatchMech");
        RefreshValues();
        break;
    case 26:
        if (r.status < 0) {
            Output(IDS_GETREGS_RESULT, r.status, true);
        } else if (r.data && r.dataLength >= 5 && m_rlo && m_dr && m_dr->isEnabled()) {
            // A reply that arrives after the program ran again (the edits
            // emptied and disabled) shows nothing: its values are gone.
            const auto* p = static_cast<const uint8_t*>(r.data);
            const uint32_t dr = uint32_t(p[1]) | uint32_t(p[2]) << 8 | uint32_t(p[3]) << 16 | uint32_t(p[4]) << 24;
            m_rlo->setText(QString::number(int(p[0])));
            m_dr->setText(QStringLiteral("0x%1").arg(dr, 8, 16, QLatin1Char('0')));
        }
        break;
    case 27:
        plcviews::OutputResult(r, IDS_SETREGS_RESULT, "SetRegs");
        break;
    default:
        break;
    }
}
