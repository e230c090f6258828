#include "app/AppCommandRules.h"

#include "core/projfile/ProjectData.h"

namespace {

CommandRule Enabled(bool on, int check = -1) { return CommandRule{on, check}; }

} // namespace

bool IsAppCommand(uint32_t id)
{
    switch (id) {
    case 57600: case 57601: case 57606: case 57664: case 33981:
    case 33771: case 33772: case 33773: case 33774:
    case 33821: case 33823: case 33824: case 33825:
    case 33912:
        return true;
    default:
        return (id >= 33840 && id <= 33858) || (id >= 33890 && id <= 33899);
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
    case 57600: case 57601: case 57606: case 57664: case 33981:
    case 33772: case 33773: case 33912:
        return Enabled(true);
    case 33771: // save all
        return Enabled(s.anyModified);
    case 33774: // close project
        return Enabled(idle);
    case 33840: case 33841: case 33842: case 33843: case 33844: case 33845: // add files
    case 33856:                                                             // settings
        return Enabled(open);
    case 33846: case 33847: // build, build if changed
    case 33850:             // transfer PLC
    case 33853:             // start debugging
        return Enabled(sources && !s.building && !s.debugging);
    case 33848: // stop build
        return Enabled(sources && s.building);
    case 33849: // clean
        return Enabled(idle && !s.debugging);
    case 33851: // transfer support files
        return Enabled(idle && !s.debugging && s.supports > 0);
    case 33852: // debugging on/off
        return Enabled(sources && !s.building, debugging ? 1 : 0);
    case 33854: // stop debugging
        return Enabled(debugging);
    case 33855: // connection on/off
        return Enabled(open, connected ? 1 : 0);
    case 33857: // cassette software
        return Enabled(idle && !s.debugging && core::EqualsNoCase(s.target, u"DOS"));
    case 33858: // compiler files
        return Enabled(idle && core::EqualsNoCase(s.target, u"Haldor"));
    case 33890: case 33891: case 33892: case 33893: case 33894: case 33899: // status .. backup
        return Enabled(connected);
    case 33895: // run
        return Enabled(connected && !s.RunningFreely());
    case 33896: // stop
        return Enabled(connected && (!s.StatusComplete() || (s.statusFlags & 4) != 0));
    case 33897: // step
        return Enabled(debugging && s.StatusComplete() && !s.RunningFreely());
    case 33898: // break
        return Enabled(debugging && s.RunningFreely());
    case 33821: // clear all breakpoints
        return Enabled(debugging && s.breakpoints > 0);
    case 33823: case 33824: // mechanisms, variable
        return Enabled(debugging);
    case 33825: // go to the current line
        return Enabled(debugging && s.StatusComplete() && (s.statusFlags & 8) != 0);
    default:
        return CommandRule{};
    }
}
