#include "app/CrashReporter.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LockedFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crashreport {

struct Handle
{
    Callback callback = nullptr;
};

namespace {

// Everything the handler writes is prepared at install time.
constexpr size_t kText = 4096;
char g_folder[kText];
char g_head[kText]; // title, program, language and address lines
Handle g_handle;
bool g_installed = false;
const int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
const char* const kSignalNames[] = {"SIGSEGV", "SIGBUS", "SIGILL", "SIGFPE", "SIGABRT"};

void CopyText(char* dst, const std::string& src)
{
    const size_t n = std::min(src.size(), kText - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

// Async-signal-safe helpers.
void Put(char* buf, size_t& pos, size_t cap, const char* s)
{
    while (*s && pos + 1 < cap)
        buf[pos++] = *s++;
    buf[pos] = 0;
}

void PutNumber(char* buf, size_t& pos, size_t cap, unsigned long long v)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v && n < 24);
    while (n > 0 && pos + 1 < cap)
        buf[pos++] = digits[--n];
    buf[pos] = 0;
}

void WriteAll(int fd, const char* s, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, s, n);
        if (w <= 0) {
            if (w < 0 && errno == EINTR)
                continue;
            return;
        }
        s += w;
        n -= size_t(w);
    }
}

void Handler(int sig)
{
    const int savedErrno = errno;
    const pid_t pid = ::getpid();
    const time_t now = ::time(nullptr);
    char name[kText + 64];
    size_t pos = 0;
    Put(name, pos, sizeof name, g_folder);
    Put(name, pos, sizeof name, "crash-");
    PutNumber(name, pos, sizeof name, static_cast<unsigned long long>(pid));
    Put(name, pos, sizeof name, "-");
    PutNumber(name, pos, sizeof name, static_cast<unsigned long long>(now));
    Put(name, pos, sizeof name, ".txt");
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        char line[256];
        size_t lp = 0;
        const char* sigName = "?";
        for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
            if (kSignals[i] == sig)
                sigName = kSignalNames[i];
        WriteAll(fd, g_head, std::strlen(g_head));
        Put(line, lp, sizeof line, "signal: ");
        PutNumber(line, lp, sizeof line, static_cast<unsigned long long>(sig));
        Put(line, lp, sizeof line, " ");
        Put(line, lp, sizeof line, sigName);
        Put(line, lp, sizeof line, "\npid: ");
        PutNumber(line, lp, sizeof line, static_cast<unsigned long long>(pid));
        Put(line, lp, sizeof line, "\ntime: ");
        PutNumber(line, lp, sizeof line, static_cast<unsigned long long>(now));
        Put(line, lp, sizeof line, "\nbacktrace:\n");
        WriteAll(fd, line, lp);
        void* frames[64];
        const int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, fd);
        ::close(fd);
    }
    errno = savedErrno;
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
}

std::string Utf8(const std::u16string& s) { return sys::Utf16ToUtf8Lenient(s); }

std::string ProgramPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

} // namespace

std::string ReportFolder() { return g_folder; }

Handle* Install(Callback callback, const std::u16string& address, const std::u16string& title,
                const std::u16string& language)
{
    g_handle.callback = callback;
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        base = state;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/state";
    else
        base = "/tmp";
    const std::string folder = base + "/ORNA/Strandwork/";
    (void)sys::MakeFolders(folder.substr(0, folder.size() - 1), 0700);
    CopyText(g_folder, folder);
    CopyText(g_head, Utf8(title) + "\nprogram: " + ProgramPath() + "\nlanguage: " + Utf8(language) +
                         "\naddress: " + Utf8(address) + "\n");
    if (!g_installed) {
        g_installed = true;
        // Loads the library behind backtrace now, not inside the handler.
        void* frames[4];
        ::backtrace(frames, 4);
        static char altStack[64 * 1024];
        stack_t ss{};
        ss.ss_sp = altStack;
        ss.ss_size = sizeof altStack;
        ::sigaltstack(&ss, nullptr);
        for (int sig : kSignals) {
            struct sigaction sa{};
            sa.sa_handler = Handler;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_ONSTACK | SA_RESETHAND;
            ::sigaction(sig, &sa, nullptr);
        }
    }
    return &g_handle;
}

} // namespace crashreport
