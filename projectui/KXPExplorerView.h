#pragma once
// The project explorer: a tree of the open project in the explorer bar of
// the main frame.  The project under its title, then the PLC sources, the
// PLC headers and the support files, each group listing the entries of the
// document's list.  Double-click, Space or Enter opens a file; Insert (or
// ID_INSERT_FILE) adds an existing file to the group; Delete (or
// ID_REMOVE_FILE) removes the file from the project; the right button or the
// context-menu key shows the context menu 543.  See docs/application.md.

#include "platform/ui/Document.h"
#include "res/CommandIds.h"

#include <QTreeWidget>

#include <cstdint>

class CStrandworkDoc;

class CKXPExplorerView : public ui::View
{
    Q_OBJECT
public:
    // What an item stands for (kept under KindRole).
    enum ItemKind : int { KindNone = 0, KindRoot = 1, KindSourceGroup, KindHeaderGroup, KindSupportGroup, KindFile };
    static constexpr int KindRole = Qt::UserRole + 1;
    // The position of a file item's entry in its list.
    static constexpr int IndexRole = Qt::UserRole + 2;

    enum : uint32_t {
        ID_INSERT_FILE = ID_EXPLORER_INSERT_FILE,
        ID_REMOVE_FILE = ID_EXPLORER_REMOVE_FILE,
        IDR_CONTEXT_MENU = 543
    };
    enum : unsigned { IDS_SOURCE_GROUP = 4397, IDS_HEADER_GROUP = 4398, IDS_SUPPORT_GROUP = 4399 };
    // The icons: project, source file, header file, support file, group.
    enum : int { IDI_PROJECT = 1, IDI_SOURCE = 5, IDI_HEADER = 4, IDI_SUPPORT = 2, IDI_GROUP = 541 };

    CKXPExplorerView();
    ~CKXPExplorerView() override;

    CStrandworkDoc* GetDocument() const;
    QTreeWidget* Tree() const { return m_tree; }
    QTreeWidgetItem* RootItem() const { return m_root; }
    // The group item of hint 7 (sources), 8 (headers) or 9 (support files).
    QTreeWidgetItem* GroupItem(long hint) const;

    void OnInitialUpdate() override;
    void OnUpdate(ui::View* sender, long hint, QObject* object) override;

    // ID_INSERT_FILE: the add-existing command of the selected group
    // (ID_PROJECT_ADD_SOURCE, _HEADER or _SUPPORT) along the route; nothing for
    // the root or no selection.
    void OnInsertFile();
    bool CanInsertFile() const;
    // ID_REMOVE_FILE: removes the selected file from the project.
    void OnRemoveFile();
    bool CanRemoveFile() const;
    // Opens the selected file item (posted); false when none is selected.
    bool OpenSelected();
    // The full native path of a file item; empty for other items.  A file
    // entry whose path cannot be formed (longer than paths may be) gives
    // empty too, and its path as written in unformed.
    QString FilePathOf(const QTreeWidgetItem* item, QString* unformed = nullptr) const;
    // Context menu 543 at a global point, with this view as owner.
    void ShowContextMenu(const QPoint& global);
    // The context menu for the right button at a point of the tree's
    // viewport: the item under its icon or text is selected first.
    void ContextMenuAt(const QPoint& viewportPos);
    // The context menu below the selected item (keyboard).
    void ContextMenuForSelection();

    static ItemKind KindOf(const QTreeWidgetItem* item);

private:
    void RebuildGroup(long hint);
    // The group item that holds item (the item itself for a group).
    QTreeWidgetItem* GroupOf(QTreeWidgetItem* item) const;

    QTreeWidget* m_tree;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_groups[3] = {};
};
