#include "platform/sys/Process.h"

#include "platform/sys/LastError.h"
#include "platform/sys/Time.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace sys {

namespace {

int OpenPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}

// Child side, between fork and exec: async-signal-safe calls only.
[[noreturn]] void ChildFail(int errFd, int step)
{
    const int err = errno;
    const int report[2] = {step, err};
    [[maybe_unused]] ssize_t n = ::write(errFd, report, sizeof report);
    ::_exit(127);
}

void ChildDup(int from, int to, int errFd)
{
    if (from < 0)
        return;
    if (from == to) {
        // Our own ends are close-on-exec; this one must stay open.
        if (::fcntl(from, F_SETFD, 0) < 0)
            ChildFail(errFd, 2);
        return;
    }
    if (::dup2(from, to) < 0)
        ChildFail(errFd, 2);
}

} // namespace

int ExitCodeFromStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool CreatePipe(PipeEnds& out)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    out.read = fds[0];
    out.write = fds[1];
    return true;
}

void CloseFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void ClosePipe(PipeEnds& p)
{
    CloseFd(p.read);
    CloseFd(p.write);
}

long BytesAvailable(int fd)
{
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) < 0) {
        SetLastErrorFromErrno();
        return -1;
    }
    return n;
}

int WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            SetLastErrorFromErrno();
            return -1;
        }
        return r > 0 ? 1 : 0;
    }
}

long ReadNonBlocking(int fd, void* buffer, size_t size)
{
    // Reads only what is there, without changing the descriptor's flags
    // (another owner may share it).
    const long avail = BytesAvailable(fd);
    if (avail < 0)
        return -1;
    if (avail == 0) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 0);
        // Readable or hung up with nothing available: the end of the data.
        if (r > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) && BytesAvailable(fd) == 0)
            return 0;
        SetLastError(EAGAIN);
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size < size_t(avail) ? size : size_t(avail));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        SetLastErrorFromErrno();
        return -1;
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrorFromErrno();
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

Process::~Process()
{
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        Reap(true);
    }
    CloseFd(m_pidFd);
}

Process::Process(Process&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_ended(std::exchange(other.m_ended, false)), m_exitCode(std::exchange(other.m_exitCode, -1))
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        this->~Process();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidFd = std::exchange(other.m_pidFd, -1);
        m_ended = std::exchange(other.m_ended, false);
        m_exitCode = std::exchange(other.m_exitCode, -1);
    }
    return *this;
}

void Process::Reset()
{
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        Reap(true);
    }
    CloseFd(m_pidFd);
    m_pid = -1;
    m_ended = false;
    m_exitCode = -1;
}

bool Process::Spawn(const SpawnOptions& options)
{
    Reset();
    if (options.argv.empty() || options.argv[0].empty()) {
        SetLastError(EINVAL);
        return false;
    }
    // Everything the child needs is prepared before fork.
    std::vector<char*> argv;
    for (const std::string& a : options.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (options.useEnvironment) {
        for (const std::string& e : options.environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
    }
    char* const* env = options.useEnvironment ? envp.data() : environ;
    const char* dir = options.workingFolder.empty() ? nullptr : options.workingFolder.c_str();

    PipeEnds report;
    if (!CreatePipe(report))
        return false;

    const pid_t pid = ::fork();
    if (pid < 0) {
        SetLastErrorFromErrno();
        ClosePipe(report);
        return false;
    }
    if (pid == 0) {
        ::close(report.read);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
            ::signal(sig, SIG_DFL);
        if (options.newProcessGroup && ::setpgid(0, 0) < 0)
            ChildFail(report.write, 0);
        if (dir && ::chdir(dir) < 0)
            ChildFail(report.write, 1);
        // Move the sources out of the way of 0..2 first, so that one dup2
        // cannot overwrite a source another still needs.
        int in = options.stdinFd, out = options.stdoutFd, err = options.stderrFd;
        auto lift = [&](int& fd) {
            if (fd >= 0 && fd <= 2) {
                const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
                if (moved < 0)
                    ChildFail(report.write, 2);
                const int old = fd;
                if (in == old)
                    in = moved;
                if (out == old)
                    out = moved;
                if (err == old)
                    err = moved;
            }
        };
        lift(in);
        lift(out);
        lift(err);
        ChildDup(in, 0, report.write);
        ChildDup(out, 1, report.write);
        ChildDup(err, 2, report.write);
        ::execvpe(argv[0], argv.data(), env);
        ChildFail(report.write, 3);
    }

    CloseFd(report.write);
    int got[2] = {0, 0};
    ssize_t n;
    do {
        n = ::read(report.read, got, sizeof got);
    } while (n < 0 && errno == EINTR);
    CloseFd(report.read);
    m_pid = pid;
    if (n == ssize_t(sizeof got)) {
        // The child could not run the program; reap it.
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        SetLastError(uint32_t(got[1]));
        return false;
    }
    m_pidFd = OpenPidFd(pid);
    return true;
}

bool Process::Reap(bool block)
{
    if (m_pid <= 0)
        return false;
    if (m_ended)
        return true;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
        if (r < 0 && errno == EINTR)
            continue;
        if (r == m_pid) {
            m_ended = true;
            m_exitCode = ExitCodeFromStatus(status);
            return true;
        }
        if (r < 0) {
            // Reaped elsewhere: nothing more can be learnt.
            m_ended = true;
            m_exitCode = -1;
            return true;
        }
        return false;
    }
}

bool Process::HasEnded()
{
    return Reap(false);
}

bool Process::Wait(int timeoutMs)
{
    if (m_pid <= 0)
        return false;
    if (timeoutMs < 0)
        return Reap(true);
    return WaitEndOrReadable(-1, timeoutMs) == 2;
}

int Process::WaitEndOrReadable(int fd, int timeoutMs)
{
    if (m_pid <= 0) {
        SetLastError(ECHILD);
        return -1;
    }
    if (Reap(false))
        return 2;
    const uint64_t start = GetTickCount64();
    for (;;) {
        int remaining = -1;
        if (timeoutMs >= 0) {
            const uint64_t spent = GetTickCount64() - start;
            remaining = spent >= uint64_t(timeoutMs) ? 0 : int(uint64_t(timeoutMs) - spent);
        }
        pollfd p[2];
        nfds_t count = 0;
        int fdIndex = -1, pidIndex = -1;
        if (fd >= 0) {
            p[count] = {fd, POLLIN, 0};
            fdIndex = int(count++);
        }
        int slice = remaining;
        if (m_pidFd >= 0) {
            p[count] = {m_pidFd, POLLIN, 0};
            pidIndex = int(count++);
        } else if (slice < 0 || slice > 5) {
            slice = 5; // no process descriptor: look at the child every 5 ms
        }
        const int r = ::poll(p, count, slice);
        if (r < 0 && errno != EINTR) {
            SetLastErrorFromErrno();
            return -1;
        }
        if (r > 0 && pidIndex >= 0 && p[pidIndex].revents) {
            if (Reap(true))
                return 2;
        }
        if (pidIndex < 0 && Reap(false))
            return 2;
        if (r > 0 && fdIndex >= 0 && p[fdIndex].revents)
            return 1;
        if (remaining == 0)
            return 0;
    }
}

bool Process::Signal(int sig, bool group)
{
    if (m_pid <= 0 || m_ended) {
        SetLastError(ESRCH);
        return false;
    }
    if (::kill(group ? -m_pid : m_pid, sig) < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

} // namespace sys
