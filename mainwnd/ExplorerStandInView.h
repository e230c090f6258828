#pragma once
// Stand-in for the project explorer view: a read-only tree with the
// project's title, then its PLC sources, PLC headers and support files by
// name, refreshed on the update hints 0, 7, 8 and 9.  The explorer bar shows
// it until the application registers the real project explorer view
// (CKXPExplorerView) with CProjectExplorerBar::SetViewClass; then this file
// goes.

#include "core/project/StrandworkDoc.h"
#include "platform/ui/Document.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

class CExplorerStandInView : public ui::View
{
public:
    CExplorerStandInView()
    {
        setObjectName(QStringLiteral("ExplorerStandInView"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_tree = new QTreeWidget(this);
        m_tree->setObjectName(QStringLiteral("ExplorerTree"));
        m_tree->header()->hide();
        m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        layout->addWidget(m_tree);
    }

    void OnUpdate(ui::View*, long hint, QObject*) override
    {
        if (hint == 0 || hint == 7 || hint == 8 || hint == 9)
            Refresh();
    }

    QTreeWidget* Tree() const { return m_tree; }

    void Refresh()
    {
        m_tree->clear();
        auto* doc = qobject_cast<CStrandworkDoc*>(GetDocument());
        if (!doc)
            return;
        auto* root = new QTreeWidgetItem(m_tree, {doc->GetTitle()});
        const core::ProjectData& data = doc->Data();
        auto group = [root](const QString& name, const auto& files) {
            auto* g = new QTreeWidgetItem(root, {name});
            for (const auto& f : files)
                new QTreeWidgetItem(g, {QString::fromStdU16String(f.FileName)});
        };
        group(QStringLiteral("Zdrojové soubory PLC"), data.SourceFiles);
        group(QStringLiteral("Hlavičkové soubory PLC"), data.HeaderFiles);
        group(QStringLiteral("Podpůrné soubory"), data.SupportFiles);
        m_tree->expandAll();
    }

private:
    QTreeWidget* m_tree;
};
