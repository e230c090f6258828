// Fuzz target of the compiler's map file reader: arbitrary bytes as a map
// file on disk.  A map that loads finds each of its names, resolves watch
// expressions built from them without reading past anything, and serves a
// listing file that names its mechanisms; one that fails says where and
// why and holds nothing.

#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "platform/sys/CodePage.h"
#include "tests/fuzz/CompilerOutputSeeds.h"
#include "tests/fuzz/FuzzSupport.h"

#include <string>

using namespace compout;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::u16string listingPath =
        sys::Utf8ToUtf16Lenient(fuzzsupport::WriteScratchFile("Lis.ls1", fuzzcompout::kListing));
    const std::u16string mapPath =
        sys::Utf8ToUtf16Lenient(fuzzsupport::WriteScratchFile("Lis.map", data, size));

    CMapFile map;
    if (!map.Load(mapPath)) {
        FUZZ_CHECK(!map.GetLoadError().reason.empty(), "a failed load says why");
        FUZZ_CHECK(map.GetIndex().empty() && map.GetSymbols().entries.empty(),
                   "a failed load holds nothing");
        return 0;
    }

    size_t checked = 0;
    for (const MapEntry* e : map.GetIndex()) {
        FUZZ_CHECK(map.FindName(e->name) != nullptr, "every loaded name is found");
        if (++checked > 64)
            break;
        SymbolInfo info;
        for (const std::u16string& expr :
             {e->name, e->name + u"+4", e->name + u".BIT", u"BYTE.(4+" + e->name + u")",
              u"-" + e->name, u"$+10H." + e->name, e->name + u"." + e->name})
            map.FindSymbol(expr, &info);
    }

    CListingFile listing;
    if (listing.Load(map, listingPath)) {
        for (uint32_t i = 0; i < listing.GetMechanismCount(); ++i) {
            const ListingMechanism* m = listing.GetMechanism(i);
            FUZZ_CHECK(m && map.FindName(m->name), "a listed mechanism is in the map");
        }
    }
    return 0;
}
