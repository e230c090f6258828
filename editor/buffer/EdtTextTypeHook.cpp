#include "editor/buffer/EdtTextTypeHook.h"

#include <atomic>

namespace {
std::atomic<EdtTextTypeLookupFn> g_lookup{nullptr};
}

void SetEdtTextTypeLookup(EdtTextTypeLookupFn fn)
{
    g_lookup.store(fn);
}

EdtTextTypeInfo LookupEdtTextType(std::u16string_view path)
{
    EdtTextTypeLookupFn fn = g_lookup.load();
    return fn ? fn(path) : EdtTextTypeInfo{};
}
