#pragma once
// When the application's commands are enabled and checked: one pure
// function over a plain record of the project's state, used by every
// update handler of the application and by every handler before it acts
// (a toolbar button updated at idle, a posted command or a customised
// accelerator may still deliver a disabled command).  See
// docs/application.md.

#include <cstdint>
#include <string>

// What the rules read of the open project.
struct AppCommandState
{
    bool projectOpen = false;
    bool building = false;
    bool debugging = false;
    bool connected = false;
    int sources = 0;      // entries of the PLC source list
    int supports = 0;     // entries of the support file list
    int breakpoints = 0;  // entries of the breakpoint list
    bool anyModified = false;  // some open document is modified
    std::u16string target;     // the project's "Target"
    uint16_t statusLength = 0;  // the link's PLC status record
    uint16_t statusFlags = 0;

    // The status record is complete (its length is at least 10).
    bool StatusComplete() const { return statusLength >= 10; }
    // Complete, running (bit 2) and not halted at a position (bit 3).
    bool RunningFreely() const { return StatusComplete() && (statusFlags & 12) == 4; }
};

struct CommandRule
{
    bool enabled = false;
    int check = -1;  // -1: the command has no check mark; 0 or 1 otherwise
};

// The rule of an application command.  Every command of the application's
// map is covered but the recent-list ranges, which follow the list itself;
// any other id is disabled without a check mark.
CommandRule EvaluateAppCommand(uint32_t id, const AppCommandState& s);
// Whether id is a command that EvaluateAppCommand knows.
bool IsAppCommand(uint32_t id);
