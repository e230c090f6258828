#pragma once
// The simulator program (CSSIM_PROGRAM) as a child process of a test, its
// standard output and standard error on pipes; killed when the object goes.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace cssimtest {

struct Child
{
    pid_t pid = -1;
    int out = -1, err = -1;
    explicit Child(const std::vector<std::string>& args)
    {
        int o[2], e[2];
        if (::pipe(o) || ::pipe(e))
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(o[1], 1);
            ::dup2(e[1], 2);
            std::vector<char*> argv;
            std::string prog = std::getenv("CSSIM_PROGRAM");
            argv.push_back(prog.data());
            for (auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(prog.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(o[1]);
        ::close(e[1]);
        out = o[0];
        err = e[0];
    }
    std::string ReadUntil(int fd, const std::string& marker, int ms)
    {
        std::string s;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (s.find(marker) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char b[256];
                const ssize_t n = ::read(fd, b, sizeof b);
                if (n <= 0)
                    break;
                s.append(b, size_t(n));
            }
        }
        return s;
    }
    int Wait()
    {
        int st = 0;
        ::waitpid(pid, &st, 0);
        pid = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
        if (err >= 0)
            ::close(err);
    }
};

} // namespace cssimtest
