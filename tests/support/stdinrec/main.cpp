// Records its standard input to a file, for counting the stop requests a
// runner sends.  Ends at the end of input, or idle-ms (default 500) after
// the last byte once it received any.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const int idle = argc > 2 ? std::atoi(argv[2]) : 500;
    const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out < 0)
        return 1;
    bool any = false;
    for (;;) {
        pollfd p{0, POLLIN, 0};
        const int r = ::poll(&p, 1, any ? idle : -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        char buf[256];
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n <= 0)
            break;
        if (::write(out, buf, size_t(n)) != n)
            return 1;
        any = true;
    }
    ::close(out);
    return 0;
}
