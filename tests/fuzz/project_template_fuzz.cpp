// Fuzz target of the project templates: arbitrary bytes as a template's
// project file in a template folder, read for its entry in the new-project
// dialog and found by the scan of the folder.  A file that gives an entry
// is listed under that entry's name; one that gives none is not listed.

#include "core/projfile/ProjectTemplates.h"
#include "platform/sys/CodePage.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sys/stat.h>

using namespace core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const std::string f = fuzzsupport::ScratchFolder() + "/Šablony";
        ::mkdir(f.c_str(), 0755);
        return f;
    }();
    const std::string path = fuzzsupport::WriteScratchFile("Šablony/Lis.kxp", data, size);
    const std::u16string widePath = sys::Utf8ToUtf16Lenient(path);

    const std::optional<ProjectTemplateInfo> info = ReadTemplateInfo(widePath);
    if (info) {
        FUZZ_CHECK(info->Kind == 2 && info->Path == widePath, "a template entry names its file");
        FUZZ_CHECK(!info->Name.empty(), "a template entry has a name");
    }

    ProjectTemplateList list;
    std::set<std::pair<dev_t, ino_t>> visited;
    ScanTemplates(list, sys::Utf8ToUtf16Lenient(folder), false, visited);
    const ProjectTemplateList fixed = FixedTemplateEntries();
    FUZZ_CHECK(list.size() == fixed.size() + (info ? 1 : 0), "the scan lists the file once or not");
    if (info)
        FUZZ_CHECK(list.back().Name == info->Name, "the scan lists it under its name");
    return 0;
}
