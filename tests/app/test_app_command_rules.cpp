// The update rules of the application's commands: each row with the state
// that enables it and each condition flipped.

#include "app/AppCommandRules.h"

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
        {{57600, 57601, 57606, 57664, 33981, 33772, 33773, 33912}, kNone, {}},
        {{33771}, [](AppCommandState& s) { s.anyModified = true; }, {[](AppCommandState& s) { s.anyModified = false; }}},
        {{33774}, kNone, {kClosed, kBuilding}},
        {{33840, 33841, 33842, 33843, 33844, 33845, 33856}, kNone, {kClosed}},
        {{33846, 33847, 33850, 33853}, kIdle, {kClosed, kBuilding, kDebugging, kNoSources}},
        {{33848}, kBuilding, {kClosed, kNoSources, [](AppCommandState& s) { s.building = false; }}},
        {{33849}, kIdle, {kClosed, kBuilding, kDebugging}},
        {{33851}, kIdle, {kClosed, kBuilding, kDebugging, [](AppCommandState& s) { s.supports = 0; }}},
        {{33852}, kNone, {kClosed, kBuilding, kNoSources}},
        {{33854, 33823, 33824}, kNone, {kClosed, kNotDebugging}},
        {{33855}, kNone, {kClosed}},
        {{33857}, kIdle, {kClosed, kBuilding, kDebugging, [](AppCommandState& s) { s.target = u"Haldor"; }}},
        {{33858}, [](AppCommandState& s) { s.target = u"Haldor"; }, {kClosed, kBuilding, [](AppCommandState& s) { s.target = u"DOS"; }}},
        {{33890, 33891, 33892, 33893, 33894, 33899}, kNone, {kClosed, kOffline}},
        {{33895}, kNone, {kClosed, kOffline, [](AppCommandState& s) { s.statusFlags = 4; }}},
        {{33896}, [](AppCommandState& s) { s.statusFlags = 4; }, {kClosed, kOffline, [](AppCommandState& s) { s.statusFlags = 8; }}},
        {{33897}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusLength = 9; },
                          [](AppCommandState& s) { s.statusFlags = 4; }}},
        {{33898}, [](AppCommandState& s) { s.statusFlags = 4; }, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusFlags = 12; },
                                                                 [](AppCommandState& s) { s.statusLength = 0; }}},
        {{33821}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.breakpoints = 0; }}},
        {{33825}, kNone, {kClosed, kNotDebugging, [](AppCommandState& s) { s.statusFlags = 4; },
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
    EXPECT_FALSE(IsAppCommand(33790)); // the recent lists follow the list itself
    EXPECT_FALSE(EvaluateAppCommand(57616, Full()).enabled);
}

TEST(AppCommandRules, RunningFreelyAgainstRunBreakStepAndStop)
{
    AppCommandState s = Full();
    s.statusFlags = 4 | 1; // running, no position: running freely
    EXPECT_TRUE(s.RunningFreely());
    EXPECT_FALSE(EvaluateAppCommand(33895, s).enabled); // run
    EXPECT_TRUE(EvaluateAppCommand(33898, s).enabled);  // break
    EXPECT_FALSE(EvaluateAppCommand(33897, s).enabled); // step
    EXPECT_TRUE(EvaluateAppCommand(33896, s).enabled);  // stop
    s.statusFlags = 12; // running but halted at a position
    EXPECT_FALSE(s.RunningFreely());
    EXPECT_TRUE(EvaluateAppCommand(33895, s).enabled);
    EXPECT_FALSE(EvaluateAppCommand(33898, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(33897, s).enabled);
    // Stop with an incomplete status, whatever its flags.
    s.statusLength = 4;
    s.statusFlags = 0;
    EXPECT_TRUE(EvaluateAppCommand(33896, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(33895, s).enabled); // not complete: not running freely
    EXPECT_FALSE(EvaluateAppCommand(33897, s).enabled);
}

TEST(AppCommandRules, TargetsAnyCaseAndCheckMarks)
{
    AppCommandState s = Full();
    s.debugging = false;
    s.target = u"dos";
    EXPECT_TRUE(EvaluateAppCommand(33857, s).enabled);
    EXPECT_FALSE(EvaluateAppCommand(33858, s).enabled);
    s.target = u"HALDOR";
    EXPECT_FALSE(EvaluateAppCommand(33857, s).enabled);
    EXPECT_TRUE(EvaluateAppCommand(33858, s).enabled);
    s.target = u"DOSX";
    EXPECT_FALSE(EvaluateAppCommand(33857, s).enabled);

    // 33852 is checked while debugging, 33855 while connected; others have
    // no check mark.
    EXPECT_EQ(EvaluateAppCommand(33852, s).check, 0);
    s.debugging = true;
    EXPECT_EQ(EvaluateAppCommand(33852, s).check, 1);
    EXPECT_EQ(EvaluateAppCommand(33855, s).check, 1);
    s.connected = false;
    EXPECT_EQ(EvaluateAppCommand(33855, s).check, 0);
    EXPECT_EQ(EvaluateAppCommand(33855, AppCommandState{}).check, 0);
    EXPECT_EQ(EvaluateAppCommand(33890, s).check, -1);
}
