#pragma once
// What CMapFile::Load and CListingFile::Load share: the path, the error
// record and the turning of a lack of memory into a failed load.

#include "core/compout/BufferedFileReader.h"
#include "core/compout/MapFile.h"

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace compout {

// Records where and why a load failed; returns false.
inline bool SetLoadError(LoadError& error, uint32_t line, std::string reason)
{
    error.line = line;
    error.reason = std::move(reason);
    return false;
}

// Runs loadFile() on the file at path (replaced by newPath when given).
// Fails with "no path" when there is none, and with "out of memory" at the
// reader's line when loadFile runs out of it; closes the reader.  Clearing
// the tables before and after a failure is the caller's.
template <class F>
bool RunLoad(std::u16string& path, const char16_t* newPath, LoadError& error,
             CBufferedFileReader& reader, F&& loadFile)
{
    error = {};
    if (newPath)
        path = newPath;
    bool ok = false;
    if (path.empty()) {
        SetLoadError(error, 0, "no path");
    } else {
        try {
            ok = loadFile();
        } catch (const std::bad_alloc&) {
            ok = SetLoadError(error, reader.LineNumber(), "out of memory");
        } catch (const std::length_error&) {
            ok = SetLoadError(error, reader.LineNumber(), "out of memory");
        }
    }
    reader.Close();
    return ok;
}

} // namespace compout
