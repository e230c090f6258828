// The update rules of the application's commands: each row with the state
// that enables it and each condition flipped.

#include "app/AppCommandRules.h"
#include "res/CommandIds.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A connected, debugging project with sources, supports and breakpoints,
// stopped at a known position (complete status, flags 8).
AppCommandState Full()
{
    AppCommandState s;
    s.projectOpen = true;
    s.debugging = true;
    s.connected = true;
    s.sources = 2;
    s.supports = 1;
    s.breakpoints = 3;
    s.target = u"DOS";
    s.statusLength = 10;
    s.statusFlags = 8;
    return s;
}

using Change = std::function<void(AppCommandState&)>;

struct Row
{
    std::vector<uint32_t> ids;
    Change enable;                // from Full() to a state that enables the row
    std::vector<Change> disable;  // each alone disables it again
};

const Change kNone = [](AppCommandState&) {};
const Change kClosed = [](AppCommandState& s) { s = AppCommandState{}; s.anyModified = true; };
const Change kBuilding = [](AppCommandState& s) { s.building = true; };
const Change kDebugging = [](AppCommandState& s) { s.debugging = true; };
const Change kNotDebugging = [](AppCommandState& s) { s.debugging = false; };
const Change kNoSources = [](AppCommandState& s) { s.sources = 0; };
const Change kIdle = [](AppCommandState& s) { s.debugging = false; s.building = false; };
const Change kOffline = [](AppCommandState& s) { s.connected = false; };

} // namespace

TEST(AppCommandRules, EveryRowWithEachConditionFlipped)
{
    const std::vector<Row> rows = {
        {{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_PRINT_SETUP, ID_APP_ABOUT, ID_HELP_TIPS, ID_PROJECT_NEW, ID_PROJECT_OPEN, ID_TOOLS_FILEMANAGER}, kNone, {}},
        {{ID_FILE_SAVE_ALL}, [](AppCommandState& s) { s.anyModified = true; }, {[](AppCommandState& s) { s.anyModified = false; }}},
        {{ID_PROJECT_CLOSE}, kNone, {kClosed, kBuilding}},
        {{ID_PROJECT_NEW_SOURCE, ID_PROJECT_NEW_HEADER, ID_PROJECT_NEW_SUPPORT, ID_PROJECT_ADD_SOURCE, ID_PROJECT_ADD_HEADER, ID_PROJECT_ADD_SUPPORT, ID_PROJECT_SETTINGS}, kNone, {kClosed}},
        {{ID_PROJECT_BUILD, ID_PROJECT_BUILD_IF_CHANGED, ID_TRANSFER_PLC, ID_DEBUG_START}, kIdle, {kClosed, kBuilding, kDebugging, kNoSources}},
        {{ID_PROJECT_STOP_BUILD}, kBuilding, {kClosed, kNoSources, [](AppCommandState& s) { s.building = false; }}},
        {{ID_PROJECT_CLEAN}, kIdle, {kClosed, kBuilding, kDebugging}},
        {{ID_TRANSFER_SUPPORT_FILES}, kIdle, {kClosed, kBuilding, kDebugging, [](AppCommandState& s) { s.supports = 0; }}},
        {{ID_DEBUG_TOGGLE}, kNone, {kClosed, kBuilding, kNoSources}},
        {{ID_DEBUG_STOP, ID_VIEW_MECHANISMS, ID_VIEW_VARIABLE}, kNone, {kClosed, kNotDebugging}},
        {{ID_CONNECT_TOGGLE}, kNone, {kClosed}},
        {{ID_TRANSFER_CASSETTE_SOFTWARE}, kIdle, {kClosed, kBuilding, kDebugging, [](AppCommandState& s) { s.target = u"Haldor"; }}},
        {{ID_TRANSFER_COMPILER_FILES}, [](AppCommandState& s) { s.target = u"Haldor"; }, {kClosed, kBuilding, [](AppCommandState& s) { s.target = u"DOS"; }}},
        {{ID_PLC_STATUS, ID_PLC_INFO, ID_PLC_RESET, ID_PLC_SLEEP, ID_PLC_WAKE, ID_PLC_BACKUP_DATA}, kNone, {kClosed, kOffline}},
        {{ID_PLC_RUN}, kNone, {kClosed, kOffline, [](AppCommandState& s) { s.statusFlags = 4; }}},
        {{ID_PLC_STOP}, [](AppCommandState& s) { s.statusFlags = 4; }, {kClosed, kOffline, [](AppCommandState& s) { s.statusFlags = 8; }}},
        {{ID_PLC_STEP}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusLength = 9; },
                          [](AppCommandState& s) { s.statusFlags = 4; }}},
        {{ID_PLC_BREAK}, [](AppCommandState& s) { s.statusFlags = 4; }, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusFlags = 12; },
                                                                 [](AppCommandState& s) { s.statusLength = 0; }}},
        {{ID_DEBUG_CLEAR_ALL_BREAKPOINTS}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.breakpoints = 0; }}},
        {{ID_DEBUG_GO_TO_CURRENT_LINE}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusFlags = 4; },
                          [](AppCommandState& s) { s.statusLength = 9; }}},
    };
    int covered = 0;
    for (const Row& row : rows) {
        for (uint32_t id : row.ids) {
            SCOPED_TRACE(id);
            ++covered;
            EXPECT_TRUE(IsAppCommand(id));
            AppCommandState on = Full();
            row.enable(on);
            EXPECT_TRUE(EvaluateAppCommand(id, on).enabled);
            for (size_t i = 0; i < row.disable.size(); ++i) {
                AppCommandState off = on;
                row.disable[i](off);
                EXPECT_FALSE(EvaluateAppCommand(id, off).enabled) << "condition " << i;
            }
            // The "always" rows hold also without a project.
            if (row.disable.empty()) {
                EXPECT_TRUE(EvaluateAppCommand(id, AppCommandState{}).enabled);
            }
        }
    }
    EXPECT_EQ(covered, 43); // every command of the map
    EXPECT_FALSE(IsAppCommand(ID_PROJECT_MRU_FIRST)); // the recent lists follow the list itself
    EXPECT_FALSE(EvaluateAppCommand(ID_FILE_MRU_FIRST, Full()).enabled);
}

TEST(AppCommandRules, RunningFreelyAgainstRunBreakStepAndStop)
{
    AppCommandState s = Full();
    s.statusFlags = 4 | 1; // running, no position: running freely
    EXPECT_TRUE(s.RunningFreely());
    EXPECT_FALSE(EvaluateAppCommand(ID_PLC_RUN, s).enabled); // run
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_BREAK, s).enabled);  // break
    EXPECT_FALSE(EvaluateAppCommand(ID_PLC_STEP, s).enabled); // step
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_STOP, s).enabled);  // stop
    s.statusFlags = 12; // running but halted at a position
    EXPECT_FALSE(s.RunningFreely());
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_RUN, s).enabled);
    EXPECT_FALSE(EvaluateAppCommand(ID_PLC_BREAK, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_STEP, s).enabled);
    // Stop with an incomplete status, whatever its flags.
    s.statusLength = 4;
    s.statusFlags = 0;
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_STOP, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(ID_PLC_RUN, s).enabled); // not complete: not running freely
    EXPECT_FALSE(EvaluateAppCommand(ID_PLC_STEP, s).enabled);
}

TEST(AppCommandRules, TargetsAnyCaseAndCheckMarks)
{
    AppCommandState s = Full();
    s.debugging = false;
    s.target = u"dos";
    EXPECT_TRUE(EvaluateAppCommand(ID_TRANSFER_CASSETTE_SOFTWARE, s).enabled);
    EXPECT_FALSE(EvaluateAppCommand(ID_TRANSFER_COMPILER_FILES, s).enabled);
    s.target = u"HALDOR";
    EXPECT_FALSE(EvaluateAppCommand(ID_TRANSFER_CASSETTE_SOFTWARE, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(ID_TRANSFER_COMPILER_FILES, s).enabled);
    s.target = u"DOSX";
    EXPECT_FALSE(EvaluateAppCommand(ID_TRANSFER_CASSETTE_SOFTWARE, s).enabled);

    // ID_DEBUG_TOGGLE is checked while debugging, ID_CONNECT_TOGGLE while connected; others have
    // no check mark.
    EXPECT_EQ(EvaluateAppCommand(ID_DEBUG_TOGGLE, s).check, 0);
    s.debugging = true;
    EXPECT_EQ(EvaluateAppCommand(ID_DEBUG_TOGGLE, s).check, 1);
    EXPECT_EQ(EvaluateAppCommand(ID_CONNECT_TOGGLE, s).check, 1);
    s.connected = false;
    EXPECT_EQ(EvaluateAppCommand(ID_CONNECT_TOGGLE, s).check, 0);
    EXPECT_EQ(EvaluateAppCommand(ID_CONNECT_TOGGLE, AppCommandState{}).check, 0);
    EXPECT_EQ(EvaluateAppCommand(ID_PLC_STATUS, s).check, -1);
}
