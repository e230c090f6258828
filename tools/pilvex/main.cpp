// Pilvex: runs one build tool for the program and passes its output on.
//
//   Pilvex <tool> [arguments...]
//
// The tool's standard input is /dev/null; its standard output and error
// are our standard output (one pipe, so the order of lines is kept).  It
// runs in a process group of its own.  The UTF-16 text "kill" on our
// standard input, or SIGTERM, SIGINT or SIGHUP, stops the group: SIGTERM,
// then SIGKILL when the tool has not ended 3 s later.  Exit codes: 130
// after a stop, 127 when the tool cannot be started, 128 + N for a tool
// ended by signal N, else the tool's own code.  See docs/build.md.

#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Time.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int sig)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
    errno = saved;
}

// Our own lines: UTF-8 source text in code page 1250.
void Say(const std::string& utf8)
{
    const std::string bytes = sys::WideToAnsi(sys::Utf8ToUtf16Lenient(utf8));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
}

bool EndsWithNoCase(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && ::strncasecmp(s.c_str() + s.size() - n, tail, n) == 0;
}

bool IsFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The tool's path: as given (relative to the working folder), then without
// ".exe"; a bare name is searched in PATH the same way.
std::optional<std::string> FindTool(const std::string& tool)
{
    std::vector<std::string> names{tool};
    if (EndsWithNoCase(tool, ".exe"))
        names.push_back(tool.substr(0, tool.size() - 4));
    for (const std::string& n : names)
        if (IsFile(n))
            return n.find('/') == std::string::npos ? "./" + n : n;
    if (tool.find('/') != std::string::npos)
        return std::nullopt;
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t end = list.find(':', pos);
        if (end == std::string::npos)
            end = list.size();
        std::string dir = list.substr(pos, end - pos);
        if (dir.empty())
            dir.push_back('.');
        for (const std::string& n : names) {
            const std::string full = dir + "/" + n;
            if (IsFile(full) && ::access(full.c_str(), X_OK) == 0)
                return full;
        }
        pos = end + 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '\0') {
        Say("Pilvex: nebyl zadán příkaz\r\n");
        return 2;
    }
    const std::string tool = argv[1];

    std::vector<std::string> args;
    const std::optional<std::string> found = FindTool(tool);
    if (found && EndsWithNoCase(tool, ".bat")) {
        args.push_back("/bin/sh");
        args.push_back(*found);
    } else {
        args.push_back(found ? *found : tool);
    }
    for (int i = 2; i < argc; ++i)
        args.push_back(argv[i]);

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) < 0)
        return 127;
    struct sigaction sa
    {
    };
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    // Start the tool; a failed exec reports its errno through a pipe.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) < 0)
        return 127;
    std::vector<char*> cargv;
    for (std::string& a : args)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE})
            ::signal(sig, SIG_DFL);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != 0) {
            ::dup2(null, 0);
            ::close(null);
        }
        ::dup2(1, 2);
        if (found)
            ::execv(cargv[0], cargv.data());
        else
            errno = ENOENT;
        const int err = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    if (child < 0) {
        const int err = errno;
        Say("Pilvex: příkaz " + tool + " nelze spustit (" + sys::ErrorText(uint32_t(err)) +
            ")\r\n");
        return 127;
    }
    // Also from here, so that a signal to the group never misses it.
    ::setpgid(child, child);
    int err = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == ssize_t(sizeof err)) {
        int status;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        Say("Pilvex: příkaz " + tool + " nelze spustit (" + sys::ErrorText(uint32_t(err)) +
            ")\r\n");
        return 127;
    }

    static const char kStop[8] = {'k', 0, 'i', 0, 'l', 0, 'l', 0};
    std::string window; // the last bytes of input, for a request split across reads
    bool inputOpen = true;
    bool stopped = false;
    bool killed = false;
    uint64_t killAt = 0;
    int status = 0;
    bool ended = false;

    auto stop = [&] {
        if (!stopped) {
            stopped = true;
            killAt = sys::GetTickCount64() + 3000;
        }
        ::kill(-child, SIGTERM);
    };

    while (!ended) {
        pollfd p[2] = {{g_signalPipe[0], POLLIN, 0}, {0, POLLIN, 0}};
        const nfds_t count = inputOpen ? 2 : 1;
        int timeout = -1;
        if (stopped && !killed) {
            const uint64_t now = sys::GetTickCount64();
            timeout = now >= killAt ? 0 : int(killAt - now);
        }
        const int r = ::poll(p, count, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (r > 0 && p[0].revents) {
            unsigned char sigs[64];
            ssize_t n;
            while ((n = ::read(g_signalPipe[0], sigs, sizeof sigs)) > 0)
                for (ssize_t i = 0; i < n; ++i)
                    if (sigs[i] != SIGCHLD)
                        stop();
        }
        if (r > 0 && inputOpen && p[1].revents) {
            char buf[4096];
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0 && !(n < 0 && (errno == EINTR || errno == EAGAIN))) {
                inputOpen = false; // the end of input: the tool runs on
            } else if (n > 0) {
                window.append(buf, size_t(n));
                size_t from = 0;
                bool request = false;
                for (;;) {
                    const void* hit =
                        ::memmem(window.data() + from, window.size() - from, kStop, sizeof kStop);
                    if (!hit)
                        break;
                    request = true;
                    from = size_t(static_cast<const char*>(hit) - window.data()) + sizeof kStop;
                }
                // Keep at most 7 bytes that may start a request.
                const size_t keepFrom = std::max(from, window.size() > 7 ? window.size() - 7 : 0);
                window.erase(0, keepFrom);
                if (request)
                    stop();
            }
        }
        if (stopped && !killed && sys::GetTickCount64() >= killAt) {
            ::kill(-child, SIGKILL);
            killed = true;
        }
        pid_t w;
        while ((w = ::waitpid(child, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (w == child)
            ended = true;
    }

    if (stopped) {
        // Whatever the tool left running in its group goes too.
        ::kill(-child, SIGKILL);
        return 130;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}
