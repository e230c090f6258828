#pragma once
// The compiler configuration file (".knf") of an older tool chain: key and
// value lines that name the PLC source files, the hardware, the tools and
// further make-file keywords.  The pure part of the import: reading the
// lines, applying them to a project and the compiler version of a folder
// name.  The document copies the sources (CStrandworkDoc::ImportKnf).

#include "core/projfile/ProjectData.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

struct KnfLine
{
    std::u16string Key;
    std::u16string Value;
    bool operator==(const KnfLine&) const = default;
};

// The (key, value) lines in file order.  Lines end at CR LF, LF or a lone
// CR; the last line needs no end.  The key runs up to the first ";", double
// quote or "=".  After "=" blanks and tabs are skipped; a value that then
// begins with a double quote runs to the next double quote (or the line
// end), any other to the first ";", blank or tab.  A double quote right
// after the key starts a quoted value as well.  A line whose key is
// followed by ";" or the line end carries no value and is left out, and so
// is a line whose key is empty.  Key and value are trimmed of blanks and
// tabs and decoded with code page 1250.
std::vector<KnfLine> ParseKnf(std::string_view bytes);

// Applies the lines to a freshly defaulted project: settings take the
// value (the later wins), "FilePlc" puts a source record at the head of
// the list, "FilePlcExt" appends one unless its value is "NO" (any case),
// and a key outside the table becomes an extra keyword pair.  Keys compare
// without regard to case.  Returns the last "PathUser" value (empty when
// none).
std::u16string ApplyKnf(ProjectData& data, const std::vector<KnfLine>& lines);

struct KnfCompilerVersion
{
    int TarvaneVerMajor = 0;
    int TarvaneVerMinor = 0;
    int PelmarVer = 0;
    std::u16string TarvaneVer;
    bool operator==(const KnfCompilerVersion&) const = default;
};

// The compiler version that the name of the folder above the
// configuration folder gives: for the "Haldor" target (any case) a
// "Pelmar" folder of at least 632; for any other target a "PLC" folder of
// at least (6, 32) compared as a pair.  Nothing otherwise.
std::optional<KnfCompilerVersion> CompilerVersionFromFolder(std::u16string_view name,
                                                            std::u16string_view target);

} // namespace core
