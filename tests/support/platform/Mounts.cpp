#include "tests/support/platform/Mounts.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <sched.h>
#include <sys/mount.h>

namespace testsupport {

namespace {
// A mount namespace of this thread whose mounts do not reach the rest of
// the system; made once.
std::string PrivateNamespace()
{
    static thread_local bool made = false;
    if (made)
        return {};
    if (::unshare(CLONE_NEWNS) != 0)
        return std::string("mounting is not allowed here (unshare: ") + std::strerror(errno) + ")";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("mounting is not allowed here (private /: ") + std::strerror(errno) + ")";
    made = true;
    return {};
}

std::string Failed(const char* what)
{
    return std::string("mounting is not allowed here (") + what + ": " + std::strerror(errno) + ")";
}
} // namespace

TestMount TestMount::ReadOnly(const std::string& folder)
{
    TestMount m;
    m.m_why = PrivateNamespace();
    if (!m.Up())
        return m;
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        m.m_why = Failed("bind");
        return m;
    }
    m.m_target = folder;
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        m.m_why = Failed("read-only remount");
    return m;
}

TestMount TestMount::Tmpfs(const std::string& folder, unsigned long bytes)
{
    TestMount m;
    m.m_why = PrivateNamespace();
    if (!m.Up())
        return m;
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        m.m_why = Failed("tmpfs");
        return m;
    }
    m.m_target = folder;
    return m;
}

TestMount::TestMount(TestMount&& other) noexcept : m_target(std::move(other.m_target)), m_why(std::move(other.m_why))
{
    other.m_target.clear();
}

TestMount::~TestMount()
{
    if (!m_target.empty())
        ::umount2(m_target.c_str(), MNT_DETACH);
}

} // namespace testsupport
