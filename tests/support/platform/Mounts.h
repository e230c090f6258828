#pragma once
// File systems of a test's own: a folder made read-only by a read-only bind
// mount, a small tmpfs that fills up.  The mounts live in a mount namespace
// of the calling thread (and of the processes it starts), so nothing of
// them is seen outside the test; they go with the object.  Where mounting
// is not allowed, the object is not Up() and Why() says so (the test then
// skips with that message).

#include <string>

namespace testsupport {

class TestMount
{
public:
    // A read-only view of folder at the same path.
    static TestMount ReadOnly(const std::string& folder);
    // A tmpfs of bytes size at folder (which must exist).
    static TestMount Tmpfs(const std::string& folder, unsigned long bytes);

    TestMount(TestMount&& other) noexcept;
    TestMount& operator=(TestMount&&) = delete;
    ~TestMount();

    bool Up() const { return m_why.empty(); }
    const std::string& Why() const { return m_why; }

private:
    TestMount() = default;
    std::string m_target;
    std::string m_why;
};

} // namespace testsupport
