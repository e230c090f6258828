#include "core/build/BuildRunner.h"

#include "core/build/BuildOutput.h"
#include "core/build/BuildStrings.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Format.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Time.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"

namespace core {

const char kStopRequest[14] = {'k', 0, 'i', 0, 'l', 0, 'l', 0, '\r', 0, '\n', 0, 0, 0};

namespace {

constexpr int kPollMs = 100;      // one turn's wait for the end or output
constexpr int kReadBudgetMs = 50; // reading per turn, so the pump is never starved
constexpr size_t kChunk = 999;

std::u16string Str(unsigned id)
{
    return res::LoadText(id);
}

// A path of the command line or a folder: its native form, else its text.
std::string NativeOrText(const std::u16string& path)
{
    return sys::WinPath::ToNative(path).value_or(sys::Utf16ToUtf8Lenient(path));
}

} // namespace

bool BuildPipes::Create()
{
    if (!sys::CreatePipe(input))
        return false;
    if (!sys::CreatePipe(output)) {
        sys::ClosePipe(input);
        return false;
    }
    return true;
}

void BuildPipes::Close()
{
    sys::ClosePipe(input);
    sys::ClosePipe(output);
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& argv)
{
    std::u16string out;
    for (const std::u16string& a : argv) {
        if (!out.empty())
            out += u' ';
        if (a.find(u' ') != std::u16string::npos)
            out += u'"' + a + u'"';
        else
            out += a;
    }
    return out;
}

bool StartBuildProcess(const std::vector<std::u16string>& argv, const std::u16string& workingFolder,
                       BuildPipes& pipes, const std::u16string& programFolder, OutputSink* sink,
                       sys::Process& process)
{
    const std::string folder = NativeOrText(programFolder);
    const auto helper = sys::FindProgram(folder, "Pilvex.exe");
    if (!helper) {
        const std::u16string shown = sys::WinPath::Combine(programFolder, u"Pilvex.exe")
                                         .value_or(programFolder + u"Pilvex.exe");
        if (sink)
            sink->AppendText(sys::Format(Str(IDS_BUILD_HELPER_MISSING), shown));
        return false;
    }
    sys::SpawnOptions o;
    o.argv.push_back(*helper);
    std::vector<std::u16string> shown{sys::WinPath::FromNative(*helper)};
    for (const std::u16string& a : argv) {
        o.argv.push_back(NativeOrText(a));
        shown.push_back(sys::Utf8ToUtf16Lenient(o.argv.back()));
    }
    o.stdinFd = pipes.input.read;
    o.stdoutFd = pipes.output.write;
    o.stderrFd = pipes.output.write;
    o.workingFolder = NativeOrText(workingFolder);
    if (!process.Spawn(o)) {
        if (sink)
            sink->AppendText(
                sys::Format(Str(IDS_BUILD_COMMAND_FAILED), JoinCommandLine(shown),
                            sys::Utf8ToUtf16Lenient(sys::ErrorText(sys::GetLastError()))));
        return false;
    }
    return true;
}

int RunBuildProcess(BuildPipes& pipes, sys::Process& process, bool& cancel,
                    const std::function<bool()>& pump, const std::function<void()>& quitRefused,
                    OutputSink* sink)
{
    std::string pending;
    int result = 0;
    char buffer[kChunk];
    auto take = [&](long n) {
        if (const int r = ParseBuildOutputLine(buffer, size_t(n), pending, sink))
            result = r;
    };
    for (;;) {
        const int w = process.WaitEndOrReadable(pipes.output.read, kPollMs);
        if (w == 2 || w < 0)
            break;
        const uint64_t start = sys::GetTickCount64();
        while (sys::BytesAvailable(pipes.output.read) > 0) {
            const long n = sys::ReadNonBlocking(pipes.output.read, buffer, sizeof buffer);
            if (n <= 0)
                break;
            take(n);
            if (sys::GetTickCount64() - start >= uint64_t(kReadBudgetMs))
                break;
        }
        if (pump && !pump() && quitRefused)
            quitRefused();
        if (cancel) {
            // A helper that no longer reads its input is ending already;
            // the loop waits for its end either way.
            (void)sys::WriteAll(pipes.input.write, kStopRequest, sizeof kStopRequest);
            cancel = false;
            if (sink)
                sink->AppendText(Str(IDS_BUILD_CANCELLED));
        }
    }
    if (!process.HasEnded())
        process.Wait(-1);
    // Everything the tool wrote before it ended is in the pipe now.
    while (sys::BytesAvailable(pipes.output.read) > 0) {
        const long n = sys::ReadNonBlocking(pipes.output.read, buffer, sizeof buffer);
        if (n <= 0)
            break;
        take(n);
    }
    if (const int r = ParseBuildOutputLine(nullptr, 0, pending, sink))
        result = r;
    const int exitCode = process.ExitCode();
    return exitCode != 0 ? exitCode : result;
}

} // namespace core
