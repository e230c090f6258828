// A fresh temporary folder for a benchmark program's input files, made on
// first use and removed when the program ends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <stdlib.h>

namespace bench {

// prefix: the folder's name before its random part, e.g. "sw-bench-".
inline const std::string& ProgramTempDir(const char* prefix)
{
    static const std::string dir = [prefix] {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        // Removed at exit through a copy: the exit handler runs after the
        // static string has been destroyed.
        static char name[512];
        std::snprintf(name, sizeof name, "%s", tmpl.c_str());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(name, ec);
        });
        return tmpl;
    }();
    return dir;
}

} // namespace bench
