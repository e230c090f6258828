// Fuzz target of the workspace file (".kxw") beside a project of format 5
// or 6: arbitrary bytes read in both formats.  A file that reads is written
// again in that format and reads back equal, documents included, and the
// second writing gives the same bytes as the first.

#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ProjectFiles.h"

#include <stdexcept>

using namespace core;

namespace {

bool Read(const std::string& bytes, int version, ProjectData& data, WorkspaceDocuments& docs)
{
    KxpArchive ar(false, fuzzproj::kProjectDir + u"Lis.kxw", bytes);
    SetProjectDefaults(data, fuzzproj::kLoadTime);
    data.FormatVersion = version;
    try {
        ReadWorkspace(ar, data, docs, version, fuzzproj::kProjectDir);
    } catch (const ProjectFormatError& e) {
        FUZZ_CHECK(e.Path() == fuzzproj::kProjectDir + u"Lis.kxw", "the error names the file");
        return false;
    }
    return true;
}

std::string Write(const ProjectData& data, const WorkspaceDocuments& docs, int version)
{
    KxpArchive ar(true, fuzzproj::kProjectDir + u"Lis.kxw");
    WriteWorkspace(ar, data, docs, version, fuzzproj::kProjectDir);
    return ar.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzproj::UseFixedTimeZone();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (int version : {6, 5}) {
        ProjectData read;
        WorkspaceDocuments docs;
        if (!Read(bytes, version, read, docs))
            continue;
        std::string written;
        try {
            written = Write(read, docs, version);
        } catch (const std::length_error&) {
            continue; // refused as documented: nothing absurd is written
        }
        ProjectData again;
        WorkspaceDocuments againDocs;
        FUZZ_CHECK(Read(written, version, again, againDocs), "a written workspace reads back");
        FUZZ_CHECK(again == read, "the workspace's data read back equal");
        FUZZ_CHECK(fuzzproj::SameDocuments(againDocs, docs), "the documents read back equal");
        FUZZ_CHECK(Write(again, againDocs, version) == written,
                   "writing it again gives the same bytes");
    }
    return 0;
}
