#pragma once
// The tool runner of the build: starts a tool through the console-spawn
// helper Pilvex over two pipes and polls it until it ends.  See
// docs/build.md.

#include "core/common/OutputSink.h"
#include "platform/sys/Process.h"

#include <functional>
#include <string>
#include <vector>

namespace core {

// The two pipes of one build, shared by both tool runs.
struct BuildPipes
{
    sys::PipeEnds input;  // read end: the tool's standard input; write end: stop requests
    sys::PipeEnds output; // write end: the tool's standard output and error; read end: polled
    bool Create();        // false (nothing left open) when a pipe cannot be made
    void Close();
    ~BuildPipes() { Close(); }
};

// The stop request: "kill\r\n" in UTF-16 little-endian and a zero unit.
extern const char kStopRequest[14];

// The argv shown in messages: elements joined with blanks, an element
// with a blank put in double quotes.
std::u16string JoinCommandLine(const std::vector<std::u16string>& argv);

// Starts Pilvex from programFolder ("Pilvex.exe", else "Pilvex") with the
// given argv (each element converted to its native form) in
// workingFolder.  False after message 4388 (no helper) or 4389 (the start
// failed, with the system's error text).
bool StartBuildProcess(const std::vector<std::u16string>& argv, const std::u16string& workingFolder,
                       BuildPipes& pipes, const std::u16string& programFolder, OutputSink* sink,
                       sys::Process& process);

// Polls the started tool until it ends: output goes through the output
// parser; `pump` runs once per turn and returns false when the program was
// asked to quit, after which `quitRefused` is called; a set cancel flag
// sends one stop request, is cleared and appends 4396.  Returns the exit
// code when it is not 0, else the tool's last nonzero result value.
int RunBuildProcess(BuildPipes& pipes, sys::Process& process, bool& cancel,
                    const std::function<bool()>& pump, const std::function<void()>& quitRefused,
                    OutputSink* sink);

} // namespace core
