#pragma once
// A temporary folder for one test, removed with everything in it at the end.

#include <string>

namespace testsupport {

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path of a name inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    // Writes a file (bytes as given), creating missing folders.
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::string m_path;
};

// Points XDG_CONFIG_HOME at a temporary folder for the test's life and
// restores it after.
class ScopedConfigHome
{
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    const std::string& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

// Points XDG_DATA_HOME at a temporary folder for the test's life and
// restores it after.
class ScopedDataHome
{
public:
    ScopedDataHome();
    ~ScopedDataHome();
    const std::string& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

} // namespace testsupport
