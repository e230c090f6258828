// Fuzz target of the binary archive: arbitrary bytes loaded as a toolbar's
// "Buttons" value, as a list of strings and as the "CommandsUsage" record.
// Every input must end without a crash, a leak or an allocation larger than
// the input allows (the archive checks counts against the bytes left).

#include "platform/sys/ObjectArchive.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// The stored button record, as the toolbar library writes it.
struct Button : sys::ArchiveObject
{
    uint32_t id = 0, style = 0;
    int32_t image = -1;
    std::u16string text;
    uint32_t flags[4] = {};
    const char* ArchiveClassName() const override { return "CKVTToolbarButton"; }
    void Serialize(sys::ObjectArchive& ar) override
    {
        id = ar.ReadU32();
        style = ar.ReadU32();
        image = ar.ReadI32();
        text = ar.ReadString();
        for (uint32_t& f : flags)
            f = ar.ReadU32();
    }
};

const bool kRegistered = [] {
    sys::ArchiveClasses::Register("CKVTToolbarButton", 0x80000001, [] { return std::make_unique<Button>(); });
    return true;
}();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)kRegistered;
    try { // a bar's "Buttons": the list, the text-labels flag, the caption
        sys::ObjectArchive ar(data, size);
        auto list = ar.ReadObjectList();
        ar.ReadU32();
        ar.ReadString();
    } catch (const sys::ArchiveError&) {
    }
    try { // a list of strings
        sys::ObjectArchive ar(data, size);
        ar.ReadStringList();
    } catch (const sys::ArchiveError&) {
    }
    try { // "CommandsUsage": the total, then the map
        sys::ObjectArchive ar(data, size);
        ar.ReadU32();
        std::map<uint32_t, uint32_t> m = ar.ReadDwordMap();
    } catch (const sys::ArchiveError&) {
    }
    return 0;
}
