#pragma once
// The program's string table without Qt: the built-in texts compiled from
// res/strings/*.strings, and the texts of a loaded language resource file,
// which take precedence.  The Qt layer (res/StringTable.h: LoadResString,
// FormatResString) reads through this, and the Qt-free libraries use it
// directly.

#include "platform/sys/Format.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace res {

using TextTable = std::unordered_map<unsigned, std::u16string>;

// The text of an id: the language table's when it has the id, else the
// built-in one, else empty.  Thread-safe.
std::u16string LoadText(unsigned id);

// The text of an id formatted printf style (see docs/formatting.md).
template <class... A>
std::u16string FormatText(unsigned id, const A&... args)
{
    return sys::Format(LoadText(id), args...);
}

// Parses a compiled table (the strtab tool's output).  False, with table
// left empty, when the bytes are not a well-formed table.
bool ParseTextTable(std::string_view bytes, TextTable& table);

// Installs the texts of the loaded language resource file; an empty table
// leaves the built-in texts alone.
void SetLanguageTexts(TextTable table);

} // namespace res
