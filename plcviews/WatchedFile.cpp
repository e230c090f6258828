#include "plcviews/WatchedFile.h"

#include "editor/settings/EdtSettings.h"
#include "editor/files/FileChangeMonitor.h"
#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

namespace watched {
namespace {
constexpr unsigned IDS_FILE_DELETED = 534;
constexpr unsigned IDS_FILE_CHANGED = 535;
constexpr unsigned IDS_RELOAD_DISCARDS_EDITS = 4765;
constexpr uint32_t kReloadWithoutAsking = 0x100;
constexpr uint32_t kWatchFiles = 0x200;
} // namespace

bool Watching() { return (GetEdtGeneralFlags() & kWatchFiles) != 0; }

ui::MainFrameBase* MainWnd()
{
    ui::Application* app = ui::Application::Instance();
    return app ? app->GetMainWnd() : nullptr;
}

void Watch(CFileChangeMonitor& monitor, const QString& path)
{
    if (!path.isEmpty())
        monitor.AddFile(path.toStdU16String(), false, 0x19);
}

void Unwatch(CFileChangeMonitor& monitor, const QString& path)
{
    if (!path.isEmpty())
        monitor.RemoveFile(path.toStdU16String());
}

bool WithoutWatch(CFileChangeMonitor& monitor, const QString& before, const QString& after,
                  const std::function<bool()>& op)
{
    const bool watching = Watching();
    if (watching) {
        monitor.Stop();
        Unwatch(monitor, before);
        if (after != before)
            Unwatch(monitor, after);
    }
    const bool ok = op();
    if (watching) {
        Watch(monitor, ok ? after : before);
        monitor.Start();
    }
    return ok;
}

void EndWatch(CFileChangeMonitor& monitor, ui::Document& doc)
{
    monitor.Stop();
    Unwatch(monitor, doc.GetPathName());
    ui::DocTemplate* tmpl = doc.GetDocTemplate();
    if (tmpl && tmpl->GetDocumentCount() == 1)
        if (ui::MainFrameBase* main = MainWnd())
            main->SetEditorIndicators(false);
}

bool AskAfterOutsideChange(uint32_t flags, uint32_t changed, uint32_t gone, const QString& shownPath,
                           bool modified)
{
    const bool quiet = (GetEdtGeneralFlags() & kReloadWithoutAsking) != 0;
    if (flags & changed) {
        // Unsaved edits are never thrown away without asking.
        if (!quiet || modified)
            return ui::Prompt(FormatResString(IDS_FILE_CHANGED, shownPath), {},
                              ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES;
        return true;
    }
    if ((flags & gone) && !quiet)
        ui::Prompt(FormatResString(IDS_FILE_DELETED, shownPath), {}, ui::MB_ICONINFORMATION);
    return false;
}

bool AskBeforeReload(const QString& shownPath, bool modified)
{
    if (!modified)
        return true;
    return ui::Prompt(FormatResString(IDS_RELOAD_DISCARDS_EDITS, shownPath), {},
                      ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES;
}

} // namespace watched
