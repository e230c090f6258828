// Fuzz target of the settings store's file (the registry export format
// that the store keeps under $XDG_CONFIG_HOME/ORNA/): arbitrary bytes
// parsed as the store loads its file.  A file that parses is formatted as
// the store saves it; that file parses into the same tree (keys, values,
// types, data and their order) and formats to the same bytes again.  The
// store itself loads the same bytes from a real file: it takes exactly the
// files that parse and saves them to those bytes; a file it refuses is
// put aside under another name, never written over.

#include "platform/sys/Registry.h"
#include "platform/sys/RegistryFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

using sys::reg::Node;

namespace {

bool SameTree(const Node& a, const Node& b)
{
    if (a.name != b.name || a.values.size() != b.values.size() ||
        a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const sys::reg::Value& x = a.values[i];
        const sys::reg::Value& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data)
            return false;
    }
    for (size_t i = 0; i < a.children.size(); ++i)
        if (!SameTree(*a.children[i], *b.children[i]))
            return false;
    return true;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The store loads the file and, when it takes it, saves it elsewhere.
// Returns whether it took the file; `saved` is what it saved.
bool ThroughTheStore(const uint8_t* data, size_t size, std::string& saved)
{
    namespace fs = std::filesystem;
    static const std::string folder = [] {
        const std::string f = fuzzsupport::ScratchFolder() + "/ORNA";
        ::mkdir(f.c_str(), 0755);
        return f;
    }();
    const std::string file = fuzzsupport::WriteScratchFile("ORNA/Strandwork.reg", data, size);
    const bool loaded = sys::RegistryStore::LoadFrom(file);
    if (loaded) {
        const std::string copy = folder + "/Saved.reg";
        FUZZ_CHECK(sys::RegistryStore::SaveTo(copy), "the store saves what it loaded");
        saved = ReadFile(copy);
        FUZZ_CHECK(ReadFile(file) == std::string(reinterpret_cast<const char*>(data), size),
                   "loading leaves the file as it was");
    } else {
        FUZZ_CHECK(!fs::exists(file), "a refused file is put aside");
        size_t aside = 0;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().starts_with("Strandwork.reg.bad-")) {
                FUZZ_CHECK(ReadFile(e.path()) ==
                               std::string(reinterpret_cast<const char*>(data), size),
                           "the file put aside keeps its bytes");
                fs::remove(e.path());
                ++aside;
            }
        FUZZ_CHECK(aside == 1, "a refused file is kept once under another name");
    }
    sys::RegistryStore::Reset();
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string storeSaved;
    const bool storeTook = ThroughTheStore(data, size, storeSaved);

    auto root = std::make_shared<Node>();
    sys::reg::ParseError err;
    if (!sys::reg::ParseFile(bytes, *root, err)) {
        FUZZ_CHECK(!err.message.empty(), "a refused file says why");
        FUZZ_CHECK(!storeTook, "the store refuses what does not parse");
        return 0;
    }
    const std::string saved = sys::reg::FormatFile(*root);
    FUZZ_CHECK(storeTook && storeSaved == saved, "the store takes and saves what parses");
    auto again = std::make_shared<Node>();
    FUZZ_CHECK(sys::reg::ParseFile(saved, *again, err), "a saved store file parses");
    FUZZ_CHECK(SameTree(*root, *again), "the saved store reads back equal");
    FUZZ_CHECK(sys::reg::FormatFile(*again) == saved, "saving it again gives the same bytes");
    return 0;
}
