#pragma once
// The application's side of the workspace file's documents section: it
// reopens the documents read from the file with their frames, splitters
// and carets, and collects them from the open windows when the project is
// saved.  See docs/project-files.md.

#include "projectui/ProjectHost.h"
#include "platform/ui/Document.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>

#include <array>
#include <vector>

class QMdiArea;
namespace ui {
class SplitterWnd;
}

// The placement a frame gets in an MDI area whose viewport has the size
// area: show state 2 stays minimised and 3 maximised, every other value is
// normal; a normal rectangle without width or height is returned as it is
// (the caller then keeps the size and position the frame has); otherwise
// its size is cut to the area and its corner moved so that it lies inside.
// An empty area changes only the show state.
ui::WindowPlacement ClampPlacement(const ui::WindowPlacement& wp, QSize area);

class CAppWorkspaceDocuments : public QObject, public WorkspaceDocumentsPort
{
    Q_OBJECT
public:
    // The templates of the four kinds, in the kinds' order: text, PLC
    // source, PLC header, binary.
    explicit CAppWorkspaceDocuments(const std::array<ui::DocTemplate*, core::WorkspaceDocuments::KindCount>& templates);
    ~CAppWorkspaceDocuments() override;

    core::WorkspaceDocuments Collect(const QString& projectDir) override;
    void Apply(const core::WorkspaceDocuments& docs) override;

    // The frames whose placement waits for their MDI area to be shown.
    int PendingFrames() const { return int(m_pending.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Place(ui::ChildFrame* frame, const ui::WindowPlacement& wp);
    // What the last Apply read for the frame; null for a frame it did not place.
    const core::WorkspaceFrame* PlacedBy(const ui::ChildFrame* frame) const;
    void ClampPending();

    std::array<ui::DocTemplate*, core::WorkspaceDocuments::KindCount> m_templates;
    // The entries of the last Apply whose file exists but could not be
    // opened (the open said why), with the project folder they were read
    // for: Collect writes them back, so they stay in the workspace file.
    core::WorkspaceDocuments m_unopened;
    // The documents left out of the workspace file because their names do
    // not fit its code page, each told once in a run.
    QStringList m_toldUnstorable;
    QString m_unopenedFolder;
    std::vector<QPointer<ui::ChildFrame>> m_pending;
    // Each frame the last Apply placed, with what the file gave it: a run
    // without a display writes that back, not the sizes of its own
    // off-screen windows.
    std::vector<std::pair<QPointer<ui::ChildFrame>, core::WorkspaceFrame>> m_placed;
    struct PendingSplit
    {
        QPointer<ui::SplitterWnd> splitter;
        int width0 = 0, height0 = 0;
    };
    std::vector<PendingSplit> m_pendingSplits;
    QPointer<QMdiArea> m_watchedArea;
};
