#pragma once
// Child processes and anonymous pipes, without a shell.  The build runs its
// tools through these; see docs/build.md.
//
// Pipes: both ends are close-on-exec, so a child only gets the ends that
// Spawn hands it as its standard handles.  Failures return false (or -1)
// and leave the errno value in the thread's last error
// (platform/sys/LastError.h); sys::ErrorText gives its strerror text.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace sys {

// The two ends of a pipe (-1 when closed).
struct PipeEnds
{
    int read = -1;
    int write = -1;
};

// Creates a pipe; both ends close-on-exec.
bool CreatePipe(PipeEnds& out);
// Closes a descriptor (when not -1) and sets it to -1.
void CloseFd(int& fd);
void ClosePipe(PipeEnds& p);

// Bytes that can be read from a pipe without blocking; -1 on failure.
long BytesAvailable(int fd);
// Waits until the descriptor is readable (data, end of file or a hang-up)
// or the time-out passes: 1 readable, 0 time-out, -1 failure.  A negative
// time-out waits for ever.
int WaitReadable(int fd, int timeoutMs);
// Reads what is there without blocking: the number of bytes read, 0 at the
// end of the data (all write ends closed), -1 on failure; -1 with EAGAIN
// in the last error when nothing is there yet.
long ReadNonBlocking(int fd, void* buffer, size_t size);
// Writes all bytes (retrying after interruptions); false on failure.
[[nodiscard]] bool WriteAll(int fd, const void* data, size_t size);

struct SpawnOptions
{
    // argv[0] is the program: a path (with "/") is taken as it is, a bare
    // name is searched in PATH.  Never run through a shell.
    std::vector<std::string> argv;
    // The child's standard handles; -1 keeps the program's own.  The same
    // descriptor may serve output and error.
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
    // The child's working folder; empty keeps the program's.
    std::string workingFolder;
    // "NAME=value" entries; when not set the child gets the program's
    // environment.
    bool useEnvironment = false;
    std::vector<std::string> environment;
    // The child leads a process group of its own.
    bool newProcessGroup = false;
};

// One child process.  Destroying a Process whose child still runs kills it
// (SIGKILL) and reaps it, so no child outlives its owner unnoticed.
class Process
{
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;

    // Starts the child.  False when it could not be started: the last error
    // is the errno of the failed step (fork, chdir, dup2 or exec), so a
    // missing program gives ENOENT.
    bool Spawn(const SpawnOptions& options);

    bool IsStarted() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Waits for the end: true when the child has ended, false on time-out
    // (or when there is no child).  A negative time-out waits for ever.
    bool Wait(int timeoutMs);
    // Waits until the child ends or `fd` is readable, whichever comes
    // first: 2 ended, 1 readable, 0 time-out, -1 failure.
    int WaitEndOrReadable(int fd, int timeoutMs);
    bool HasEnded();
    // The exit code once ended: the child's own code, or 128 + N when
    // signal N ended it.  -1 while it runs.
    int ExitCode() const { return m_ended ? m_exitCode : -1; }

    // Sends a signal to the child, or to its process group.
    bool Signal(int sig, bool group = false);

private:
    void Reset();
    bool Reap(bool block);

    pid_t m_pid = -1;
    int m_pidFd = -1;
    bool m_ended = false;
    int m_exitCode = -1;
};

// The exit code that a wait status stands for (128 + N for signal N).
int ExitCodeFromStatus(int status);

} // namespace sys
