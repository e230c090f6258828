#include "tests/support/platform/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "sw-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const
{
    fs::path p = fs::path(m_path) / name;
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(const std::string& name) const
{
    std::ifstream f(fs::path(m_path) / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

ScopedConfigHome::ScopedConfigHome()
{
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        m_old = old;
        m_hadOld = true;
    }
    setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome()
{
    if (m_hadOld)
        setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

ScopedDataHome::ScopedDataHome()
{
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        m_old = old;
        m_hadOld = true;
    }
    setenv("XDG_DATA_HOME", m_dir.Path().c_str(), 1);
}

ScopedDataHome::~ScopedDataHome()
{
    if (m_hadOld)
        setenv("XDG_DATA_HOME", m_old.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

} // namespace testsupport
