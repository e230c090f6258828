#include "projectui/KXPExplorerView.h"
#include "platform/ui/LocalPath.h"

#include "projectui/StrandworkDoc.h"
#include "core/projfile/ProjectData.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Command.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTWorkspace.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

namespace {

// The application's add-existing-file commands.

QIcon Icon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

int GroupSlot(long hint)
{
    switch (hint) {
    case HINT_SOURCE_LIST: return 0;
    case HINT_HEADER_LIST: return 1;
    case HINT_SUPPORT_LIST: return 2;
    default: return -1;
    }
}

// The tree of the explorer: its keys and its context menu go to the view.
class ExplorerTree : public QTreeWidget
{
public:
    ExplorerTree(CKXPExplorerView* view) : QTreeWidget(view), m_view(view) {}

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool shiftF10 = e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier;
        if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier || shiftF10) {
            switch (e->key()) {
            case Qt::Key_Space:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                m_view->OpenSelected();
                e->accept();
                return;
            case Qt::Key_Insert:
                m_view->OnInsertFile();
                e->accept();
                return;
            case Qt::Key_Delete:
                m_view->OnRemoveFile();
                e->accept();
                return;
            case Qt::Key_Menu:
            case Qt::Key_F10:
                if (e->key() == Qt::Key_F10 && !shiftF10)
                    break;
                m_view->ContextMenuForSelection();
                e->accept();
                return;
            default:
                break;
            }
        }
        QTreeWidget::keyPressEvent(e);
    }

    // The right button selects nothing by itself; its release shows the
    // context menu (the tree has no context-menu events of its own).
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::RightButton) {
            e->accept();
            return;
        }
        QTreeWidget::mousePressEvent(e);
    }

    // The tree folds and unfolds as it does by itself; a file opens.
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        QTreeWidget::mouseDoubleClickEvent(e);
        if (e->button() != Qt::LeftButton)
            return;
        QTreeWidgetItem* item = itemAt(e->position().toPoint());
        if (CKXPExplorerView::KindOf(item) == CKXPExplorerView::KindFile) {
            setCurrentItem(item);
            m_view->OpenSelected();
        }
    }

    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::RightButton) {
            e->accept();
            m_view->ContextMenuAt(e->position().toPoint());
            return;
        }
        QTreeWidget::mouseReleaseEvent(e);
    }

private:
    CKXPExplorerView* m_view;
};

} // namespace

CKXPExplorerView::CKXPExplorerView()
{
    setObjectName(QStringLiteral("KXPExplorerView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree = new ExplorerTree(this);
    m_tree->setObjectName(QStringLiteral("ExplorerTree"));
    m_tree->setColumnCount(1);
    m_tree->header()->hide();
    m_tree->setRootIsDecorated(true);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setUniformRowHeights(true);
    m_tree->setContextMenuPolicy(Qt::PreventContextMenu);
    m_tree->viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    // The selection stays visible while the tree has no focus.
    QPalette pal = m_tree->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    m_tree->setPalette(pal);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);

    MapCommand(ID_INSERT_FILE, [this] { OnInsertFile(); });
    MapUpdate(ID_INSERT_FILE, [this](ui::CmdUI& cmd) { cmd.Enable(CanInsertFile()); });
    MapCommand(ID_REMOVE_FILE, [this] { OnRemoveFile(); });
    MapUpdate(ID_REMOVE_FILE, [this](ui::CmdUI& cmd) { cmd.Enable(CanRemoveFile()); });
    // ID_PROJECT_SETTINGS has no handler here: the route reaches the application's.
}

CKXPExplorerView::~CKXPExplorerView() = default;

CStrandworkDoc* CKXPExplorerView::GetDocument() const { return qobject_cast<CStrandworkDoc*>(View::GetDocument()); }

CKXPExplorerView::ItemKind CKXPExplorerView::KindOf(const QTreeWidgetItem* item)
{
    return item ? ItemKind(item->data(0, KindRole).toInt()) : KindNone;
}

QTreeWidgetItem* CKXPExplorerView::GroupItem(long hint) const
{
    const int slot = GroupSlot(hint);
    return slot < 0 ? nullptr : m_groups[slot];
}

QTreeWidgetItem* CKXPExplorerView::GroupOf(QTreeWidgetItem* item) const
{
    switch (KindOf(item)) {
    case KindSourceGroup:
    case KindHeaderGroup:
    case KindSupportGroup: return item;
    case KindFile: return item->parent();
    default: return nullptr;
    }
}

void CKXPExplorerView::OnInitialUpdate()
{
    m_tree->clear();
    m_root = new QTreeWidgetItem(m_tree);
    m_root->setData(0, KindRole, int(KindRoot));
    m_root->setIcon(0, Icon(IDI_PROJECT));
    const struct
    {
        unsigned text;
        ItemKind kind;
    } groups[3] = {{IDS_SOURCE_GROUP, KindSourceGroup},
                   {IDS_HEADER_GROUP, KindHeaderGroup},
                   {IDS_SUPPORT_GROUP, KindSupportGroup}};
    for (int i = 0; i < 3; ++i) {
        auto* g = new QTreeWidgetItem(m_root, {LoadResString(groups[i].text)});
        g->setData(0, KindRole, int(groups[i].kind));
        g->setIcon(0, Icon(IDI_GROUP));
        m_groups[i] = g;
    }
    OnUpdate(nullptr, HINT_ALL, nullptr);
    m_root->setExpanded(true);
    for (QTreeWidgetItem* g : m_groups)
        g->setExpanded(true);
}

void CKXPExplorerView::OnUpdate(ui::View* sender, long hint, QObject*)
{
    if (sender == this || !m_root)
        return;
    if (hint == HINT_ALL) {
        if (CStrandworkDoc* doc = GetDocument())
            m_root->setText(0, doc->GetTitle());
        for (long h : {HINT_SOURCE_LIST, HINT_HEADER_LIST, HINT_SUPPORT_LIST})
            RebuildGroup(h);
        return;
    }
    if (GroupSlot(hint) >= 0)
        RebuildGroup(hint);
}

void CKXPExplorerView::RebuildGroup(long hint)
{
    CStrandworkDoc* doc = GetDocument();
    QTreeWidgetItem* group = GroupItem(hint);
    if (!doc || !group)
        return;
    // Where the selection was, when it was in this group.
    QTreeWidgetItem* current = m_tree->currentItem();
    const bool selectedHere = current && GroupOf(current) == group;
    const int selectedRow = selectedHere && current != group ? group->indexOfChild(current) : -1;
    const bool expanded = group->isExpanded();

    const QSignalBlocker block(m_tree);
    qDeleteAll(group->takeChildren());
    std::vector<std::u16string_view> names;
    const core::ProjectData& data = doc->Data();
    if (hint == HINT_SOURCE_LIST)
        for (const auto& e : data.SourceFiles)
            names.push_back(e.FileName);
    else if (hint == HINT_HEADER_LIST)
        for (const auto& e : data.HeaderFiles)
            names.push_back(e.FileName);
    else
        for (const auto& e : data.SupportFiles)
            names.push_back(e.FileName);
    const QIcon icon = Icon(hint == HINT_SOURCE_LIST ? IDI_SOURCE : hint == HINT_HEADER_LIST ? IDI_HEADER : IDI_SUPPORT);
    for (size_t i = 0; i < names.size(); ++i) {
        auto* item = new QTreeWidgetItem(group, {QString::fromUtf16(names[i].data(), qsizetype(names[i].size()))});
        item->setData(0, KindRole, int(KindFile));
        item->setData(0, IndexRole, int(i));
        item->setIcon(0, icon);
    }
    if (selectedHere) {
        QTreeWidgetItem* target = group;
        if (selectedRow >= 0 && group->childCount() > 0)
            target = group->child(std::min(selectedRow, group->childCount() - 1));
        m_tree->setCurrentItem(target);
    }
    // After the selection, which would unfold the group to show it.
    group->setExpanded(expanded);
}

bool CKXPExplorerView::CanInsertFile() const
{
    const ItemKind kind = KindOf(m_tree->currentItem());
    return kind != KindNone && kind != KindRoot;
}

void CKXPExplorerView::OnInsertFile()
{
    QTreeWidgetItem* group = GroupOf(m_tree->currentItem());
    uint32_t id = 0;
    switch (KindOf(group)) {
    case KindSourceGroup: id = ID_PROJECT_ADD_SOURCE; break;
    case KindHeaderGroup: id = ID_PROJECT_ADD_HEADER; break;
    case KindSupportGroup: id = ID_PROJECT_ADD_SUPPORT; break;
    default: return;
    }
    ui::SendCommand(id);
}

bool CKXPExplorerView::CanRemoveFile() const { return KindOf(m_tree->currentItem()) == KindFile; }

void CKXPExplorerView::OnRemoveFile()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    CStrandworkDoc* doc = GetDocument();
    if (KindOf(item) != KindFile || !doc)
        return;
    const int index = item->data(0, IndexRole).toInt();
    core::ProjectData& data = doc->Data();
    long hint;
    switch (KindOf(item->parent())) {
    case KindSourceGroup:
        if (index < 0 || size_t(index) >= data.SourceFiles.size())
            return;
        data.SourceFiles.erase(data.SourceFiles.begin() + index);
        hint = HINT_SOURCE_LIST;
        break;
    case KindHeaderGroup:
        if (index < 0 || size_t(index) >= data.HeaderFiles.size())
            return;
        data.HeaderFiles.erase(data.HeaderFiles.begin() + index);
        hint = HINT_HEADER_LIST;
        break;
    case KindSupportGroup:
        if (index < 0 || size_t(index) >= data.SupportFiles.size())
            return;
        data.SupportFiles.erase(data.SupportFiles.begin() + index);
        hint = HINT_SUPPORT_LIST;
        break;
    default: return;
    }
    // The group at once from its list, so that every item's index matches
    // its entry again; the selection goes to the row removed, the one
    // above, or the group.
    RebuildGroup(hint);
    doc->BroadcastUpdate(this, hint);
    if (hint == HINT_SUPPORT_LIST)
        doc->SetModifiedFlag(true);
    else
        doc->SetSettingsModified();
}

QString CKXPExplorerView::FilePathOf(const QTreeWidgetItem* item, QString* unformed) const
{
    CStrandworkDoc* doc = GetDocument();
    if (KindOf(item) != KindFile || !doc)
        return {};
    const int index = item->data(0, IndexRole).toInt();
    const core::ProjectData& data = doc->Data();
    const std::u16string* rel = nullptr;
    switch (KindOf(item->parent())) {
    case KindSourceGroup:
        if (index >= 0 && size_t(index) < data.SourceFiles.size())
            rel = &data.SourceFiles[size_t(index)].FilePath;
        break;
    case KindHeaderGroup:
        if (index >= 0 && size_t(index) < data.HeaderFiles.size())
            rel = &data.HeaderFiles[size_t(index)].FilePath;
        break;
    case KindSupportGroup:
        if (index >= 0 && size_t(index) < data.SupportFiles.size())
            rel = &data.SupportFiles[size_t(index)].FilePath;
        break;
    default: break;
    }
    if (!rel)
        return {};
    const std::u16string dir = doc->GetProjectDir().toStdU16String();
    const std::u16string full = core::ProjectFullPath(dir, *rel);
    if (full.empty()) {
        if (unformed) {
            std::u16string written = dir;
            if (!written.empty() && written.back() != u'/' && written.back() != u'\\')
                written += u'/';
            written += *rel;
            *unformed = QString::fromStdU16String(written);
        }
        return {};
    }
    if (const std::optional<std::string> native = sys::WinPath::ToNativeBelow(dir, *rel))
        return ui::LocalPathOfNative(*native);
    return QString::fromStdU16String(full);
}

bool CKXPExplorerView::OpenSelected()
{
    QString unformed;
    const QString path = FilePathOf(m_tree->currentItem(), &unformed);
    if (path.isEmpty()) {
        // An entry whose path is longer than paths may be opens nothing,
        // and says so.
        if (!unformed.isEmpty()) {
            const uint32_t cause =
                size_t(unformed.size()) >= sys::WinPath::kMaxPath ? ENAMETOOLONG : EINVAL;
            ui::Prompt(ui::WithFileCause(ui::FrameworkText(ui::IDS_FAILED_TO_OPEN),
                                         QString(unformed).replace(QLatin1Char('\\'), QLatin1Char('/')), cause),
                       {}, ui::MB_ICONEXCLAMATION);
        }
        return false;
    }
    // Posted: the open may close this project (a support file that is a
    // project file), and with it this view.
    QMetaObject::invokeMethod(
        qApp,
        [path] {
            if (ui::DocManager* docs = ui::DocManager::Current())
                docs->OpenDocumentFile(path);
        },
        Qt::QueuedConnection);
    return true;
}

void CKXPExplorerView::ShowContextMenu(const QPoint& global)
{
    // The menu's commands start their route at the focus: this view.
    m_tree->setFocus(Qt::PopupFocusReason);
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        workspace->ShowPopupMenu(IDR_CONTEXT_MENU, global, this);
}

void CKXPExplorerView::ContextMenuAt(const QPoint& viewportPos)
{
    if (QTreeWidgetItem* item = m_tree->itemAt(viewportPos)) {
        // Only the icon and the text count, not the empty rest of the row.
        const QRect row = m_tree->visualItemRect(item);
        const int width = m_tree->iconSize().width() + 8 + m_tree->fontMetrics().horizontalAdvance(item->text(0)) + 8;
        if (viewportPos.x() >= row.left() && viewportPos.x() < row.left() + width)
            m_tree->setCurrentItem(item);
    }
    ShowContextMenu(m_tree->viewport()->mapToGlobal(viewportPos));
}

void CKXPExplorerView::ContextMenuForSelection()
{
    QPoint at(0, 0);
    if (QTreeWidgetItem* item = m_tree->currentItem()) {
        m_tree->scrollToItem(item);
        const QRect row = m_tree->visualItemRect(item);
        at = QPoint(row.left() + m_tree->iconSize().width(), row.bottom() + 1);
    }
    ShowContextMenu(m_tree->viewport()->mapToGlobal(at));
}
