#include "plcviews/PlcCommandText.h"

#include "core/compout/ListingFile.h"
#include "link/linkobj/olnk_link.h"
#include "res/text/StringIds.h"
#include "res/text/TextTable.h"

#include <algorithm>

namespace plccmd {

namespace {

// Little-endian fields read within the reply; beyond it they read as zero.
uint32_t U8(const uint8_t* d, uint32_t len, uint32_t off) { return d && off < len ? d[off] : 0; }
uint32_t U16(const uint8_t* d, uint32_t len, uint32_t off) { return U8(d, len, off) | U8(d, len, off + 1) << 8; }
uint32_t U32(const uint8_t* d, uint32_t len, uint32_t off)
{
    return U16(d, len, off) | U16(d, len, off + 2) << 16;
}

constexpr unsigned IDS_STATUS = 4066;
constexpr unsigned IDS_LOADING = 4067, IDS_LOADED = 4068, IDS_NOT_LOADED = 4069, IDS_RUNNING = 4070,
                   IDS_NOT_RUNNING = 4071, IDS_BREAK = 4072, IDS_ASLEEP = 4073;
constexpr unsigned IDS_LINE = 4074, IDS_LINE_UNKNOWN = 4075;
constexpr unsigned IDS_INFO = 4078, IDS_INFO_EX = 4454;
constexpr unsigned IDS_LINK_FIRST = 4120;  // -120 .. -128
constexpr unsigned IDS_NO_TEXT = 4129;      // "Chyba bez popisu (%d)"
// The extended record's fixed part; its texts lie behind it.
constexpr uint32_t kInfoExFixed = 92;

struct Failure
{
    uint8_t kind;
    unsigned header;
    unsigned first;  // the text of status -1; -2, -3, ... follow
    int count;
};
constexpr Failure kFailures[] = {
    {kStatus, 4076, 4077, 1},  {kInfo, 4079, 4080, 1},   {kInfoEx, 4079, 4080, 1},
    {kTransfer, 4081, 4082, 6}, {kClear, 4088, 4089, 1},  {kSleep, 4090, 4091, 3},
    {kWake, 4094, 4095, 1},    {kRun, 4096, 4097, 4},    {kStop, 4101, 4102, 2},
    {kBreak, 4104, 4105, 2},   {kStep, 4107, 4108, 5},   {kBackup, 4113, 4114, 3},
    {kBreakpoints, 4117, 4118, 2},
};

const Failure* FailureOf(uint8_t kind)
{
    for (const Failure& f : kFailures)
        if (f.kind == kind)
            return &f;
    return nullptr;
}

const char* Marker(uint32_t value, const char* text) { return value ? text : ""; }

} // namespace

std::string TextAt(const uint8_t* data, uint32_t length, uint32_t offset, uint32_t limit)
{
    if (!data || offset >= length)
        return {};
    const uint32_t end = limit ? std::min<uint64_t>(length, uint64_t(offset) + limit) : length;
    const uint8_t* first = data + offset;
    const uint8_t* last = data + end;
    const uint8_t* zero = std::find(first, last, uint8_t(0));
    if (zero == last && !limit)
        return {};
    return std::string(reinterpret_cast<const char*>(first), size_t(zero - first));
}

unsigned FailureHeader(uint8_t kind)
{
    const Failure* f = FailureOf(kind);
    return f ? f->header : 0;
}

std::u16string FailureText(uint8_t kind, int8_t status)
{
    const Failure* f = FailureOf(kind);
    if (!f || !OlnkResultFailed(kind, status))
        return {};
    if (kind == kInfoEx && (status == -127 || status == -128))
        return {};  // the control system does not know the extended form
    std::u16string text = res::LoadText(f->header);
    if (status < 0 && status >= -f->count)
        text += res::LoadText(f->first + unsigned(-1 - status));
    else if (status <= -120)  // down to -128
        text += res::LoadText(IDS_LINK_FIRST + unsigned(-120 - status));
    else
        text += res::FormatText(IDS_NO_TEXT, int(status));
    return text;
}

std::u16string StatusText(const void* data, uint32_t length, const compout::CListingFile* listing)
{
    const auto* d = static_cast<const uint8_t*>(data);
    const uint32_t flags = U16(d, length, 2);
    auto part = [&](uint32_t bit, unsigned set, unsigned clear) {
        const unsigned id = flags & bit ? set : clear;
        return id ? res::LoadText(id) : std::u16string();
    };
    std::u16string text = res::FormatText(IDS_STATUS, part(0x01, IDS_LOADING, 0), part(0x02, IDS_LOADED, IDS_NOT_LOADED),
                                          part(0x04, IDS_RUNNING, IDS_NOT_RUNNING), part(0x08, IDS_BREAK, 0),
                                          part(0x10, IDS_ASLEEP, 0));
    if (flags & 0x08) {
        const uint32_t index = U32(d, length, 4);
        const compout::ListingLine* line = listing ? listing->GetLine(index) : nullptr;
        if (line && line->sourceFile && index >= line->sourceFile->firstLine)
            text += res::FormatText(IDS_LINE, int64_t(index) - int64_t(line->sourceFile->firstLine) + 1,
                                    line->sourceFile->name);
        else
            text += res::LoadText(IDS_LINE_UNKNOWN);
    }
    return text;
}

std::u16string InfoText(const void* data, uint32_t length)
{
    const auto* d = static_cast<const uint8_t*>(data);
    const uint32_t cassette = U16(d, length, 6), compiler = U16(d, length, 48);
    return res::FormatText(IDS_INFO, U8(d, length, 3), U8(d, length, 2), U8(d, length, 5), U8(d, length, 4),
                           cassette >> 12, cassette & 0xFFF, U16(d, length, 8), TextAt(d, length, 10, 32),
                           U16(d, length, 42), U32(d, length, 44), compiler >> 12, compiler & 0xFFF);
}

std::u16string InfoExText(const void* data, uint32_t length)
{
    const auto* d = static_cast<const uint8_t*>(data);
    // A text field: an offset behind the fixed part to a string whose zero
    // lies inside the reply.
    auto text = [&](uint32_t field) {
        const uint32_t off = U32(d, length, field);
        return off < kInfoExFixed ? std::string() : TextAt(d, length, off);
    };
    auto num = [&](uint32_t field) { return U32(d, length, field); };
    return res::FormatText(IDS_INFO_EX,
                           // the control system: numbers, markers and text of its own fields
                           num(8), num(12), num(16), Marker(num(20), " Modified"), Marker(num(24), " Mixed"), text(28),
                           // the compiler
                           num(32), num(36), num(40), Marker(num(44), " Modified"), Marker(num(48), " Mixed"), text(52),
                           // the PLC program
                           num(56), Marker(num(60), " Modified"), Marker(num(64), " Mixed"), text(68),
                           text(72), text(76), text(80), text(84), text(88), U16(d, length, 2), num(4));
}

const char16_t* CommandName(uint8_t kind)
{
    switch (kind) {
    case kClear: return u"ClearPLC";
    case kSleep: return u"SleepPLC";
    case kWake: return u"WakePLC";
    case kRun: return u"RunPLC";
    case kStop: return u"StopPLC";
    case kBreak: return u"BreakPLC";
    case kStep: return u"StepPLC";
    case kBackup: return u"BackupPLC";
    case kBreakpoints: return u"SetBrksAtLine";
    default: return nullptr;
    }
}

std::u16string FateUnknownText(uint8_t kind, int8_t status)
{
    // A transfer ends by its job, whose status says what the control system did.
    const char16_t* name = CommandName(kind);
    if (!name || !OlnkFateUnknown(kind, status))
        return {};
    return res::FormatText(IDS_FATE_UNKNOWN, std::u16string(name));
}

std::u16string ResultText(uint8_t kind, int8_t status, const void* data, uint32_t length,
                          const compout::CListingFile* listing)
{
    if (std::u16string unknown = FateUnknownText(kind, status); !unknown.empty())
        return unknown;
    if (OlnkResultFailed(kind, status))
        return FailureText(kind, status);
    switch (kind) {
    case kStatus: return StatusText(data, length, listing);
    case kInfo: return InfoText(data, length);
    case kInfoEx: return InfoExText(data, length);
    default: return {};
    }
}

} // namespace plccmd
