// Fuzz target of the settings store's file (the registry export format
// that the store keeps under $XDG_CONFIG_HOME/ORNA/): arbitrary bytes
// parsed as the store loads its file.  A file that parses is formatted as
// the store saves it; that file parses into the same tree (keys, values,
// types, data and their order) and formats to the same bytes again.

#include "platform/sys/RegistryFile.h"
#include "tests/fuzz/FuzzSupport.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto root = std::make_shared<Node>();
    sys::reg::ParseError err;
    if (!sys::reg::ParseFile(bytes, *root, err)) {
        FUZZ_CHECK(!err.message.empty(), "a refused file says why");
        return 0;
    }
    const std::string saved = sys::reg::FormatFile(*root);
    auto again = std::make_shared<Node>();
    FUZZ_CHECK(sys::reg::ParseFile(saved, *again, err), "a saved store file parses");
    FUZZ_CHECK(SameTree(*root, *again), "the saved store reads back equal");
    FUZZ_CHECK(sys::reg::FormatFile(*again) == saved, "saving it again gives the same bytes");
    return 0;
}
