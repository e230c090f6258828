#include "tests/fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fuzzsupport {

namespace fs = std::filesystem;

void Fail(const char* file, int line, std::string_view what)
{
    std::fprintf(stderr, "%s:%d: check failed: %.*s\n", file, line, int(what.size()), what.data());
    std::fflush(stderr);
    std::abort();
}

namespace {

struct Scratch
{
    std::string path;
    Scratch()
    {
        std::string tmpl = (fs::temp_directory_path() / "sw-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

} // namespace

const std::string& ScratchFolder()
{
    static Scratch s;
    return s.path;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    FUZZ_CHECK(out.good(), "the scratch file could not be written");
    return path;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes)
{
    return WriteScratchFile(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace fuzzsupport
