// Fuzz target of the compiler configuration import (".knf"): arbitrary
// bytes read into key and value lines and applied to a new project, as
// "Nový projekt" does with an imported file.  The lines keep the reader's
// rules (a key is never empty, neither holds a line end), and the new
// project, saved as the import saves it (format 6 with its workspace),
// reads back equal.

#include "core/projfile/KnfImport.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ProjectFiles.h"

#include <stdexcept>

using namespace core;

namespace {

bool HasLineEnd(const std::u16string& s)
{
    return s.find(u'\r') != s.npos || s.find(u'\n') != s.npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzproj::UseFixedTimeZone();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<KnfLine> lines = ParseKnf(bytes);
    for (const KnfLine& l : lines) {
        FUZZ_CHECK(!l.Key.empty(), "no line with an empty key");
        FUZZ_CHECK(!HasLineEnd(l.Key) && !HasLineEnd(l.Value), "a line end inside a line");
    }

    ProjectData imported;
    SetProjectDefaults(imported, fuzzproj::kLoadTime);
    imported.FormatVersion = kCurrentProjectFormat;
    ApplyKnf(imported, lines);
    RecomputeCompilerVersion(imported);

    const WorkspaceDocuments noDocs;
    const std::string project = fuzzproj::WriteProject(imported, noDocs);
    KxpArchive ws(true, fuzzproj::kProjectDir + u"Lis.kxw");
    WriteWorkspace(ws, imported, noDocs, kCurrentProjectFormat, fuzzproj::kProjectDir);

    ProjectData again;
    WorkspaceDocuments docs;
    try {
        fuzzproj::ReadProject(project, again, docs);
        KxpArchive wsIn(false, fuzzproj::kProjectDir + u"Lis.kxw", ws.Bytes());
        ReadWorkspace(wsIn, again, docs, kCurrentProjectFormat, fuzzproj::kProjectDir);
    } catch (const ProjectFormatError&) {
        FUZZ_CHECK(false, "the imported project reads back");
    }
    FUZZ_CHECK(again == imported, "the imported project reads back equal");
    return 0;
}
