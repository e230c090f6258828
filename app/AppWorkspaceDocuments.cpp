#include "app/AppWorkspaceDocuments.h"

#include "editor/view/EdtTextView.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "platform/ui/Splitter.h"
#include "plcviews/HexEditView.h"
#include "plcviews/StructuredTextDoc.h"

#include "platform/ui/LocalPath.h"
#include "core/projfile/Workspace.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include <QEvent>
#include <QMdiArea>
#include <QTimer>

#include <algorithm>

using core::WorkspaceDocuments;

namespace {
constexpr unsigned IDS_WORKSPACE_NAME_NOT_STORABLE = 4942;


ui::WindowPlacement FromNumbers(const std::array<int32_t, 9>& n)
{
    ui::WindowPlacement wp;
    wp.showCmd = n[0];
    wp.minX = n[1];
    wp.minY = n[2];
    wp.maxX = n[3];
    wp.maxY = n[4];
    wp.left = n[5];
    wp.top = n[6];
    wp.right = n[7];
    wp.bottom = n[8];
    return wp;
}

std::array<int32_t, 9> ToNumbers(const ui::WindowPlacement& wp)
{
    return {wp.showCmd, wp.minX, wp.minY, wp.maxX, wp.maxY, wp.left, wp.top, wp.right, wp.bottom};
}

// The view of a frame at (row, column): a splitter's pane, or the frame's
// one view at (0, 0).
ui::View* PaneOf(ui::ChildFrame* frame, int row, int col)
{
    if (ui::SplitterWnd* splitter = frame->Splitter())
        return splitter->GetPane(row, col);
    if (row != 0 || col != 0)
        return nullptr;
    if (ui::View* v = frame->GetActiveView())
        return v;
    return qobject_cast<ui::View*>(frame->widget());
}

// Moves the caret of a pane: text panes clamp (character, line) into
// their text; binary panes take the byte position, then the caret area
// (one outside 0 to 3 is ignored).
void SetCaret(ui::View* pane, bool binary, std::pair<int32_t, int32_t> caret)
{
    const auto [a, b] = caret;
    if (auto* bin = qobject_cast<CBinView*>(pane); bin && binary) {
        bin->SetCaretPos(std::max(0, a));
        if (b >= 0 && b <= 3)
            bin->SetCaretArea(b);
    } else if (auto* text = qobject_cast<CStructuredTextView*>(pane); text && !binary) {
        text->ClampTextPos(EdtPoint{a, b});
    }
}

// Sets the sizes of column 0 and row 0 of a split splitter again.
void RestoreSplit(ui::SplitterWnd* s, int width0, int height0)
{
    if (!s)
        return;
    int current = 0, minimum = 0;
    if (s->GetColumnCount() > 1) {
        s->GetColumnInfo(0, current, minimum);
        s->SetColumnInfo(0, width0, minimum);
    }
    if (s->GetRowCount() > 1) {
        s->GetRowInfo(0, current, minimum);
        s->SetRowInfo(0, height0, minimum);
    }
    s->RecalcLayout();
}

// The viewport of an MDI area that has been shown (null otherwise).
QWidget* ShownViewport(QMdiArea* area)
{
    if (!area || !area->viewport() || !area->viewport()->isVisible())
        return nullptr;
    return area->viewport();
}

} // namespace

ui::WindowPlacement ClampPlacement(const ui::WindowPlacement& wp, QSize area)
{
    ui::WindowPlacement out = wp;
    if (out.showCmd != ui::SW_SHOWMINIMIZED && out.showCmd != ui::SW_SHOWMAXIMIZED)
        out.showCmd = ui::SW_SHOWNORMAL;
    // Computed in 64 bits: the numbers come from a file.
    const int64_t width = int64_t(wp.right) - wp.left;
    const int64_t height = int64_t(wp.bottom) - wp.top;
    if (width <= 0 || height <= 0 || area.width() <= 0 || area.height() <= 0)
        return out;
    const int w = int(std::min<int64_t>(width, area.width()));
    const int h = int(std::min<int64_t>(height, area.height()));
    out.left = std::clamp(wp.left, 0, area.width() - w);
    out.top = std::clamp(wp.top, 0, area.height() - h);
    out.right = out.left + w;
    out.bottom = out.top + h;
    return out;
}

CAppWorkspaceDocuments::CAppWorkspaceDocuments(
    const std::array<ui::DocTemplate*, WorkspaceDocuments::KindCount>& templates)
    : m_templates(templates)
{
}

CAppWorkspaceDocuments::~CAppWorkspaceDocuments() = default;

core::WorkspaceDocuments CAppWorkspaceDocuments::Collect(const QString& projectDir)
{
    WorkspaceDocuments out;
    const bool keepUnopened = !m_unopenedFolder.isEmpty() && ui::AbsoluteLocalPath(projectDir) == ui::AbsoluteLocalPath(m_unopenedFolder);
    for (int kind = 0; kind < WorkspaceDocuments::KindCount; ++kind) {
        ui::DocTemplate* tmpl = m_templates[size_t(kind)];
        if (!tmpl)
            continue;
        const bool binary = kind == WorkspaceDocuments::Binary;
        for (ui::Document* doc : tmpl->Documents()) {
            if (doc->GetPathName().isEmpty())
                continue;
            // The workspace file would bring another file back.
            if (!sys::WinPath::IsStorable(
                    doc->GetPathName().toStdU16String(),
                    core::StoredDocumentPath(projectDir.toStdU16String(),
                                             doc->GetPathName().toStdU16String()))) {
                if (!m_toldUnstorable.contains(doc->GetPathName())) {
                    m_toldUnstorable << doc->GetPathName();
                    ui::Prompt(FormatResString(IDS_WORKSPACE_NAME_NOT_STORABLE, ui::ShownLocalPath(doc->GetPathName())),
                               {}, ui::MB_OK | ui::MB_ICONWARNING);
                }
                continue;
            }
            core::WorkspaceDocument wd;
            wd.path = doc->GetPathName().toStdU16String();
            std::vector<ui::ChildFrame*> frames;
            for (ui::View* v : doc->Views())
                if (ui::ChildFrame* f = v->GetParentFrame(); f && std::find(frames.begin(), frames.end(), f) == frames.end())
                    frames.push_back(f);
            for (ui::ChildFrame* frame : frames) {
                core::WorkspaceFrame wf;
                wf.placement = ToNumbers(frame->GetWindowPlacement());
                const core::WorkspaceFrame* read =
                    ui::Application::RunsWithoutDisplay() ? PlacedBy(frame) : nullptr;
                if (read)
                    wf.placement = read->placement;
                wf.splitterRead = true;
                if (ui::SplitterWnd* splitter = frame->Splitter()) {
                    int minimum = 0;
                    wf.columns = splitter->GetColumnCount();
                    wf.rows = splitter->GetRowCount();
                    splitter->GetColumnInfo(0, wf.column0Width, minimum);
                    splitter->GetRowInfo(0, wf.row0Height, minimum);
                } else if (ui::View* v = PaneOf(frame, 0, 0)) {
                    wf.column0Width = v->width();
                    wf.row0Height = v->height();
                }
                if (read) {
                    wf.column0Width = read->column0Width;
                    wf.row0Height = read->row0Height;
                }
                for (int r = 0; r < wf.rows; ++r)
                    for (int c = 0; c < wf.columns; ++c) {
                        std::pair<int32_t, int32_t> caret{0, 0};
                        ui::View* pane = PaneOf(frame, r, c);
                        if (auto* bin = qobject_cast<CBinView*>(pane); bin && binary)
                            caret = {int32_t(bin->GetCaretPos()), bin->GetCaretArea()};
                        else if (auto* text = qobject_cast<CEdtTextView*>(pane); text && !binary)
                            caret = {text->GetCursorPos().ch, text->GetCursorPos().line};
                        wf.carets.push_back(caret);
                    }
                wd.frames.push_back(std::move(wf));
            }
            out.lists[size_t(kind)].push_back(std::move(wd));
        }
        if (!keepUnopened)
            continue;
        for (const core::WorkspaceDocument& entry : m_unopened.lists[size_t(kind)]) {
            ui::Document* open = nullptr;
            if (tmpl->MatchDocType(QString::fromStdU16String(entry.path), open) != ui::DocTemplate::yesAlreadyOpen)
                out.lists[size_t(kind)].push_back(entry);
        }
    }
    return out;
}

void CAppWorkspaceDocuments::Apply(const core::WorkspaceDocuments& docs)
{
    ui::DocManager* manager = ui::DocManager::Current();
    // The project's open made its folder the current one.
    m_unopened = {};
    m_unopenedFolder = ui::CurrentLocalFolder();
    m_placed.clear();
    for (int kind = 0; kind < WorkspaceDocuments::KindCount; ++kind) {
        ui::DocTemplate* tmpl = m_templates[size_t(kind)];
        if (!tmpl)
            continue;
        const bool binary = kind == WorkspaceDocuments::Binary;
        for (const core::WorkspaceDocument& entry : docs.lists[size_t(kind)]) {
            if (entry.path.empty())
                continue;
            const std::optional<std::string> native = sys::WinPath::ToNative(entry.path);
            if (!native)
                continue;
            // A file that is gone is left out; one that is there but cannot
            // be opened (a folder now, no permission) is reported by the
            // open, and its entry stays.
            if (!sys::FileExists(*native))
                continue;
            const QString path = ui::AbsoluteLocalPath(ui::LocalPathOfNative(*native));
            // A document open already (in any template) is only activated.
            ui::Document* open = nullptr;
            for (int i = 0; manager && i < manager->TemplateCount() && !open; ++i) {
                ui::Document* match = nullptr;
                if (manager->Template(i)->MatchDocType(path, match) == ui::DocTemplate::yesAlreadyOpen)
                    open = match;
            }
            if (open) {
                if (ui::View* v = open->FirstView())
                    if (ui::ChildFrame* f = v->GetParentFrame(); f && f->mdiArea())
                        f->mdiArea()->setActiveSubWindow(f);
                continue;
            }
            // The kind decides the template; reopened documents stay off
            // the recent-file list.
            ui::Document* doc = tmpl->OpenDocumentFile(path, true, false);
            if (!doc) {
                m_unopened.lists[size_t(kind)].push_back(entry);
                continue;
            }
            ui::ChildFrame* first = doc->FirstView() ? doc->FirstView()->GetParentFrame() : nullptr;
            for (size_t i = 0; i < entry.frames.size(); ++i) {
                const core::WorkspaceFrame& wf = entry.frames[i];
                ui::ChildFrame* frame = first;
                if (i > 0 && first) {
                    frame = tmpl->CreateNewFrame(doc, first);
                    if (frame)
                        tmpl->InitialUpdateFrame(frame, doc, true);
                }
                if (!frame)
                    continue;
                Place(frame, FromNumbers(wf.placement));
                m_placed.emplace_back(frame, wf);
                ui::SplitterWnd* splitter = frame->Splitter();
                if (splitter && wf.columns > 1)
                    splitter->SplitColumn(std::max(0, wf.column0Width));
                if (splitter && wf.rows > 1)
                    splitter->SplitRow(std::max(0, wf.row0Height));
                if (splitter && (wf.columns > 1 || wf.rows > 1)) {
                    // The frame's size is laid out later: the sizes are set
                    // again then (and once more when a hidden area shows).
                    const int w = std::max(0, wf.column0Width), h = std::max(0, wf.row0Height);
                    QTimer::singleShot(0, splitter, [s = QPointer<ui::SplitterWnd>(splitter), w, h] {
                        RestoreSplit(s, w, h);
                    });
                    if (!ShownViewport(frame->mdiArea()))
                        m_pendingSplits.push_back({splitter, w, h});
                }
                if (wf.columns < 1 || wf.rows < 1)
                    continue;
                const int rows = std::min(wf.rows, splitter ? splitter->GetRowCount() : 1);
                const int cols = std::min(wf.columns, splitter ? splitter->GetColumnCount() : 1);
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < cols; ++c) {
                        const size_t index = size_t(r) * size_t(wf.columns) + size_t(c);
                        if (index >= wf.carets.size())
                            continue;
                        ui::View* pane = PaneOf(frame, r, c);
                        SetCaret(pane, binary, wf.carets[index]);
                        // A pane made by the split has its initial update
                        // posted; the caret follows it.
                        if (r > 0 || c > 0)
                            QTimer::singleShot(0, pane, [p = QPointer<ui::View>(pane), binary, caret = wf.carets[index]] {
                                if (p)
                                    SetCaret(p, binary, caret);
                            });
                    }
            }
        }
    }
}

const core::WorkspaceFrame* CAppWorkspaceDocuments::PlacedBy(const ui::ChildFrame* frame) const
{
    for (const auto& [placed, read] : m_placed)
        if (placed == frame)
            return &read;
    return nullptr;
}

void CAppWorkspaceDocuments::Place(ui::ChildFrame* frame, const ui::WindowPlacement& read)
{
    QMdiArea* area = frame->mdiArea();
    QWidget* viewport = ShownViewport(area);
    ui::WindowPlacement wp = ClampPlacement(read, viewport ? viewport->size() : QSize());
    if (wp.right <= wp.left || wp.bottom <= wp.top) {
        // No size: the frame keeps what the opening gave it.
        const ui::WindowPlacement now = frame->GetWindowPlacement();
        wp.left = now.left;
        wp.top = now.top;
        wp.right = now.right;
        wp.bottom = now.bottom;
    }
    frame->SetWindowPlacement(wp);
    if (viewport || !area)
        return;
    // Not shown yet (a project opened from the command line): clamped once
    // the area is first shown.
    m_pending.emplace_back(frame);
    if (m_watchedArea != area) {
        if (m_watchedArea)
            m_watchedArea->viewport()->removeEventFilter(this);
        m_watchedArea = area;
        area->viewport()->installEventFilter(this);
    }
}

bool CAppWorkspaceDocuments::eventFilter(QObject* watched, QEvent* e)
{
    if (m_watchedArea && watched == m_watchedArea->viewport() && e->type() == QEvent::Show)
        // After the layout has given the area its size.
        QTimer::singleShot(0, this, [this] { ClampPending(); });
    return QObject::eventFilter(watched, e);
}

void CAppWorkspaceDocuments::ClampPending()
{
    QWidget* viewport = ShownViewport(m_watchedArea);
    if (!viewport)
        return;
    viewport->removeEventFilter(this);
    m_watchedArea = nullptr;
    const std::vector<QPointer<ui::ChildFrame>> pending = std::move(m_pending);
    m_pending.clear();
    for (const QPointer<ui::ChildFrame>& frame : pending) {
        if (!frame)
            continue;
        ui::WindowPlacement wp = ClampPlacement(frame->GetWindowPlacement(), viewport->size());
        if (wp.right > wp.left && wp.bottom > wp.top)
            frame->SetWindowPlacement(wp);
    }
    const std::vector<PendingSplit> splits = std::move(m_pendingSplits);
    m_pendingSplits.clear();
    for (const PendingSplit& p : splits)
        RestoreSplit(p.splitter, p.width0, p.height0);
}
