// Speed of the compiler-output readers: loading a large map and listing,
// FindName and FindSymbol.  The input files are generated in a temporary
// folder before the timed loops.

#include "bench/BenchSize.h"
#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace compout;

namespace {

const int kSymbols = bench::Size(100000, 1000);
const int kBits = bench::Size(20000, 200);
const int kOffsets = bench::Size(10000, 100);
const int kWeights = bench::Size(20000, 200);
const int kConstants = bench::Size(10000, 100);
const int kMechanisms = bench::Size(5000, 50);
const int kFiles = bench::Size(1000, 10);
const int kListingLines = bench::Size(1000000, 10000);

// Names in no particular order.
std::string Name(const char* prefix, int i)
{
    const unsigned h = static_cast<unsigned>(i) * 2654435761u;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%08X_%d", prefix, h, i);
    return buf;
}

std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

struct Input
{
    std::filesystem::path dir;
    std::u16string mapPath;
    std::u16string listingPath;
    std::vector<std::u16string> names;

    Input()
    {
        char tmpl[] = "/tmp/compout-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            std::abort();
        dir = tmpl;
        WriteMap(dir / "big.map");
        WriteListing(dir / "big.ls1");
        mapPath = Wide((dir / "big.map").string());
        listingPath = Wide((dir / "big.ls1").string());
    }
    ~Input()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    void WriteMap(const std::filesystem::path& p)
    {
        std::string s = "$MP2 02\r\n";
        s += "[SYMBOL_TABLE " + std::to_string(kSymbols + kMechanisms) + "]\r\n";
        static const char* const kTypes[] = {"BYTE", "WORD", "DWORD", "QWORD", "REAL"};
        char line[128];
        for (int i = 0; i < kSymbols; ++i) {
            std::snprintf(line, sizeof line, "%04XH %08XH %s %s\r\n", i % 64, i * 4, kTypes[i % 5],
                          Name("V", i).c_str());
            s += line;
            if (i % 50 == 0)
                names.push_back(Wide(Name("v", i)));
        }
        for (int i = 0; i < kMechanisms; ++i) {
            std::snprintf(line, sizeof line, "%04XH %08XH MECH %s\r\n", 100, i, Name("M", i).c_str());
            s += line;
        }
        s += "[BIT_FIELDS " + std::to_string(kBits) + "]\r\n";
        for (int i = 0; i < kBits; ++i)
            s += Name("B", i) + " " + Name("V", (i / 8) * 5) + "\r\n";  // holders are bytes
        s += "[STRUCTURE_OFFSETS " + std::to_string(kOffsets) + "]\r\n";
        for (int i = 0; i < kOffsets; ++i) {
            std::snprintf(line, sizeof line, "%s %XH\r\n", Name("O", i).c_str(), i % 256);
            s += line;
        }
        s += "[BIT_WEIGHTS " + std::to_string(kWeights) + "]\r\n";
        for (int i = 0; i < kWeights; ++i)
            s += Name("B", i) + " " + std::to_string(i % 8) + "\r\n";
        s += "[CONSTANTS " + std::to_string(kConstants) + "]\r\n";
        for (int i = 0; i < kConstants; ++i) {
            std::snprintf(line, sizeof line, "%s %XH\r\n", Name("C", i).c_str(), i);
            s += line;
            if (i % 10 == 0)
                names.push_back(Wide(Name("C", i)));
        }
        std::ofstream(p, std::ios::binary) << s;
    }

    void WriteListing(const std::filesystem::path& p)
    {
        std::string s = "$LS1 01\r\n";
        const int perFile = kListingLines / kFiles;
        const int mechPerFile = kMechanisms / kFiles;
        int n = 0, mech = 0;
        char line[160];
        for (int f = 0; f < kFiles; ++f) {
            s += "[FILE" + std::to_string(f) + ".PLC]\r\n";
            for (int i = 0; i < perFile; ++i) {
                ++n;
                std::string text = "X := Y + " + std::to_string(i) + " ; some comment text";
                const int slot = i / (perFile / mechPerFile);
                const int within = i % (perFile / mechPerFile);
                if (slot < mechPerFile && within == 10)
                    text = "MECH_BEGIN " + Name("M", mech);
                else if (slot < mechPerFile && within == 150)
                    text = "MECH_END " + Name("M", mech++);
                std::snprintf(line, sizeof line, "%8d %c    %s\r\n", n, "DC d"[i % 4], text.c_str());
                s += line;
            }
        }
        std::ofstream(p, std::ios::binary) << s;
    }
};

Input& TheInput()
{
    static Input input;
    return input;
}

void BM_MapLoad(benchmark::State& state)
{
    Input& in = TheInput();
    CMapFile map;
    for (auto _ : state) {
        if (!map.Load(in.mapPath)) {
            state.SkipWithError(map.GetLoadError().reason.c_str());
            break;
        }
    }
    state.counters["entries"] = static_cast<double>(map.GetIndex().size());
}
BENCHMARK(BM_MapLoad)->Unit(benchmark::kMillisecond);

void BM_ListingLoad(benchmark::State& state)
{
    Input& in = TheInput();
    CMapFile map;
    if (!map.Load(in.mapPath)) {
        state.SkipWithError(map.GetLoadError().reason.c_str());
        return;
    }
    CListingFile listing;
    for (auto _ : state) {
        if (!listing.Load(map, in.listingPath)) {
            state.SkipWithError(listing.GetLoadError().reason.c_str());
            break;
        }
    }
    state.counters["lines"] = listing.GetLineCount();
    state.counters["mechanisms"] = listing.GetMechanismCount();
}
BENCHMARK(BM_ListingLoad)->Unit(benchmark::kMillisecond);

void BM_FindName(benchmark::State& state)
{
    Input& in = TheInput();
    CMapFile map;
    if (!map.Load(in.mapPath)) {
        state.SkipWithError(map.GetLoadError().reason.c_str());
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.FindName(in.names[i]));
        if (++i == in.names.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindName);

void BM_FindSymbol(benchmark::State& state)
{
    Input& in = TheInput();
    CMapFile map;
    if (!map.Load(in.mapPath)) {
        state.SkipWithError(map.GetLoadError().reason.c_str());
        return;
    }
    std::vector<std::u16string> exprs;
    for (int i = 0; i < 1000; ++i) {
        const std::u16string var = Wide(Name("V", (i * 37 % (kBits / 8)) * 5));
        exprs.push_back(u"WORD." + var + u"+4");
        exprs.push_back(var + u"." + Wide(Name("B", (i * 37 % (kBits / 8)) * 8)));
        exprs.push_back(var + u"." + Wide(Name("O", i)) + u"+" + Wide(Name("C", i)));
    }
    SymbolInfo info;
    size_t i = 0;
    for (auto _ : state) {
        if (!map.FindSymbol(exprs[i], &info)) {
            state.SkipWithError("expression not resolved");
            break;
        }
        if (++i == exprs.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindSymbol);

} // namespace
