// Fuzz target of the compiler's listing file reader: arbitrary bytes as a
// listing file on disk, read against the map it belongs to.  A listing
// that loads keeps its numbering and files consistent (every line belongs
// to a file, a file's lines stay inside it, every mechanism is found by
// its name); one that fails says where and why and holds nothing.

#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "platform/sys/CodePage.h"
#include "tests/fuzz/CompilerOutputSeeds.h"
#include "tests/fuzz/FuzzSupport.h"

#include <memory>
#include <string>

using namespace compout;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::unique_ptr<CMapFile> map = [] {
        auto m = std::make_unique<CMapFile>();
        const std::string path = fuzzsupport::WriteScratchFile("Lis.map", fuzzcompout::kMap);
        FUZZ_CHECK(m->Load(sys::Utf8ToUtf16Lenient(path)), "the map of the listings loads");
        return m;
    }();
    const std::u16string path =
        sys::Utf8ToUtf16Lenient(fuzzsupport::WriteScratchFile("Lis.ls1", data, size));

    CListingFile listing;
    if (!listing.Load(*map, path)) {
        FUZZ_CHECK(!listing.GetLoadError().reason.empty(), "a failed load says why");
        FUZZ_CHECK(listing.GetLineCount() == 0 && listing.GetSourceFileCount() == 0 &&
                       listing.GetMechanismCount() == 0,
                   "a failed load holds nothing");
        return 0;
    }

    FUZZ_CHECK(listing.GetLineCount() > 0 && listing.GetSourceFileCount() > 0,
               "a listing has lines and files");
    for (uint32_t n = 1; n <= listing.GetLineCount(); ++n) {
        const ListingLine* line = listing.GetLine(n);
        FUZZ_CHECK(line && line->sourceFile, "every line belongs to a file");
    }
    FUZZ_CHECK(!listing.GetLine(0) && !listing.GetLine(listing.GetLineCount() + 1),
               "no line outside the listing");
    for (uint32_t f = 0; f < listing.GetSourceFileCount(); ++f) {
        const ListingSourceFile* file = listing.GetSourceFile(f);
        FUZZ_CHECK(file != nullptr, "every file is there");
        FUZZ_CHECK(listing.FindSourceFile(file->name) != nullptr, "every file is found by name");
        for (uint32_t n = 1;; ++n) {
            const ListingLine* line = listing.GetLineOfFileIndex(n, f);
            if (!line)
                break;
            FUZZ_CHECK(line->sourceFile == file, "a file's line belongs to that file");
            FUZZ_CHECK(n <= listing.GetLineCount(), "a file's lines stay inside the listing");
        }
    }
    for (uint32_t i = 0; i < listing.GetMechanismCount(); ++i) {
        const ListingMechanism* m = listing.GetMechanism(i);
        FUZZ_CHECK(m && listing.FindMechanism(m->name) != nullptr, "a mechanism is found by name");
        FUZZ_CHECK(m->firstLine <= m->lastLine && m->lastLine <= listing.GetLineCount(),
                   "a mechanism lies inside the listing");
    }
    return 0;
}
