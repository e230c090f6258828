// Fuzz target of the project file (".kxp", formats 1 to 6): arbitrary bytes
// read as the document reads them.  A file that reads is written again in
// its own format and reads back equal, documents included, and the second
// writing gives the same bytes as the first.  A bad file is a format
// error, never anything else.

#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ProjectFiles.h"

#include <stdexcept>

using namespace core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzproj::UseFixedTimeZone();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ProjectData read;
    WorkspaceDocuments docs;
    try {
        fuzzproj::ReadProject(bytes, read, docs);
    } catch (const ProjectFormatError& e) {
        FUZZ_CHECK(e.Path() == fuzzproj::kProjectDir + u"Lis.kxp", "the error names the file");
        return 0;
    }

    std::string written;
    try {
        written = fuzzproj::WriteProject(read, docs);
    } catch (const std::length_error&) {
        return 0; // refused as documented: nothing absurd is written
    }
    ProjectData again;
    WorkspaceDocuments againDocs;
    try {
        fuzzproj::ReadProject(written, again, againDocs);
    } catch (const ProjectFormatError&) {
        FUZZ_CHECK(false, "a written project file reads back");
    }
    FUZZ_CHECK(again == read, "the project reads back equal");
    FUZZ_CHECK(fuzzproj::SameDocuments(againDocs, docs), "the documents read back equal");
    FUZZ_CHECK(fuzzproj::WriteProject(again, againDocs) == written,
               "writing it again gives the same bytes");
    return 0;
}
