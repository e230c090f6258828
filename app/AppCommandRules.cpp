#include "app/AppCommandRules.h"

#include "core/projfile/ProjectData.h"
#include "res/CommandIds.h"

namespace {

CommandRule Enabled(bool on, int check = -1) { return CommandRule{on, check}; }

} // namespace

bool IsAppCommand(uint32_t id)
{
    switch (id) {
    case ID_FILE_NEW: case ID_FILE_OPEN: case ID_FILE_PRINT_SETUP: case ID_APP_ABOUT:
    case ID_HELP_TIPS:
    case ID_FILE_SAVE_ALL: case ID_PROJECT_NEW: case ID_PROJECT_OPEN: case ID_PROJECT_CLOSE:
    case ID_DEBUG_CLEAR_ALL_BREAKPOINTS: case ID_VIEW_MECHANISMS: case ID_VIEW_VARIABLE:
    case ID_DEBUG_GO_TO_CURRENT_LINE:
    case ID_TOOLS_FILEMANAGER:
        return true;
    default:
        return (id >= ID_PROJECT_FIRST && id <= ID_PROJECT_LAST) ||
               (id >= ID_PLC_FIRST && id <= ID_PLC_LAST);
    }
}

CommandRule EvaluateAppCommand(uint32_t id, const AppCommandState& s)
{
    const bool open = s.projectOpen;
    const bool idle = open && !s.building;
    const bool sources = open && s.sources > 0;
    const bool connected = open && s.connected;
    const bool debugging = open && s.debugging;
    switch (id) {
    // Always: new, open, print setup, about, tips, new and open project,
    // the file manager (with or without a project).
    case ID_FILE_NEW: case ID_FILE_OPEN: case ID_FILE_PRINT_SETUP: case ID_APP_ABOUT:
    case ID_HELP_TIPS:
    case ID_PROJECT_NEW: case ID_PROJECT_OPEN: case ID_TOOLS_FILEMANAGER:
        return Enabled(true);
    case ID_FILE_SAVE_ALL:
        return Enabled(s.anyModified);
    case ID_PROJECT_CLOSE:
        return Enabled(idle);
    case ID_PROJECT_NEW_SOURCE: case ID_PROJECT_NEW_HEADER: case ID_PROJECT_NEW_SUPPORT:
    case ID_PROJECT_ADD_SOURCE: case ID_PROJECT_ADD_HEADER: case ID_PROJECT_ADD_SUPPORT:
    case ID_PROJECT_SETTINGS:
        return Enabled(open);
    case ID_PROJECT_BUILD: case ID_PROJECT_BUILD_IF_CHANGED:
    case ID_TRANSFER_PLC:
    case ID_DEBUG_START:
        return Enabled(sources && !s.building && !s.debugging);
    case ID_PROJECT_STOP_BUILD:
        return Enabled(sources && s.building);
    case ID_PROJECT_CLEAN:
        return Enabled(idle && !s.debugging);
    case ID_TRANSFER_SUPPORT_FILES:
        return Enabled(idle && !s.debugging && s.supports > 0);
    case ID_DEBUG_TOGGLE:
        return Enabled(sources && !s.building, debugging ? 1 : 0);
    case ID_DEBUG_STOP:
        return Enabled(debugging);
    case ID_CONNECT_TOGGLE:
        return Enabled(open, connected ? 1 : 0);
    case ID_TRANSFER_CASSETTE_SOFTWARE:
        return Enabled(idle && !s.debugging && core::EqualsNoCase(s.target, u"DOS"));
    case ID_TRANSFER_COMPILER_FILES:
        return Enabled(idle && core::EqualsNoCase(s.target, u"Haldor"));
    case ID_PLC_STATUS: case ID_PLC_INFO: case ID_PLC_RESET: case ID_PLC_SLEEP: case ID_PLC_WAKE:
    case ID_PLC_BACKUP_DATA:
        return Enabled(connected);
    case ID_PLC_RUN:
        return Enabled(connected && !s.RunningFreely());
    case ID_PLC_STOP:
        return Enabled(connected && (!s.StatusComplete() || (s.statusFlags & 4) != 0));
    case ID_PLC_STEP:
        return Enabled(debugging && s.StatusComplete() && !s.RunningFreely());
    case ID_PLC_BREAK:
        return Enabled(debugging && s.RunningFreely());
    case ID_DEBUG_CLEAR_ALL_BREAKPOINTS:
        return Enabled(debugging && s.breakpoints > 0);
    case ID_VIEW_MECHANISMS: case ID_VIEW_VARIABLE:
        return Enabled(debugging);
    case ID_DEBUG_GO_TO_CURRENT_LINE:
        return Enabled(debugging && s.StatusComplete() && (s.statusFlags & 8) != 0);
    default:
        return CommandRule{};
    }
}
