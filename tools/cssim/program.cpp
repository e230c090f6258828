// The run mode's reader of the program modules in a PLC image, written from
// the description of the module in docs/build.md.
#include "tools/cssim/cssim_internal.h"

namespace cssim {

namespace {

bool Read(const Bytes& image, Program& out, std::string& why)
{
    static const char kTag[8] = {'T', 'A', 'R', 'V', 'P', 'R', 'G', '1'};
    const uint8_t* p = image.data();
    const size_t end = image.size();
    size_t pos = 0;
    int modules = 0;
    while (pos + 32 < end && p[pos + 6] == 6) {
        const uint8_t* r = p + pos;
        const size_t distance = U16(r + 12);
        if (distance < 32) {
            why = "a module's distance is below 32";
            return false;
        }
        const size_t len = U16(r + 24);
        if (U16(r + 4) == 0xA500 && len >= 8 && pos + 32 + len <= end &&
            std::equal(kTag, kTag + 8, r + 32)) {
            ++modules;
            const uint8_t* d = r + 32;
            if (len > distance - 32 || len < 16) {
                why = "a program module is shorter than its counts";
                return false;
            }
            const uint64_t lines = U32(d + 8);
            if (12 + 4 * lines + 4 > len) {
                why = "a program module's line count does not fit its payload";
                return false;
            }
            const uint64_t vars = U32(d + 12 + 4 * lines);
            if (16 + 4 * lines + 8 * vars != len) {
                why = "a program module's counts do not fit its payload";
                return false;
            }
            for (size_t i = 0; i < lines; ++i) {
                const uint32_t index = U32(d + 12 + 4 * i);
                if (index == 0 || (!out.lines.empty() && index <= out.lines.back())) {
                    why = "the listed lines are not ascending listing indexes";
                    return false;
                }
                out.lines.push_back(index);
            }
            for (size_t i = 0; i < vars; ++i) {
                const uint8_t* v = d + 16 + 4 * lines + 8 * i;
                const ProgramVar var{U16(v), U32(v + 2), U16(v + 6)};
                if (var.area >= 16 || var.size == 0 || var.size > 8 ||
                    uint64_t(var.address) + var.size > 65536) {
                    why = "a variable lies outside the memory";
                    return false;
                }
                out.vars.push_back(var);
            }
        }
        pos += distance;
    }
    if (modules == 0) {
        why = "the image has no program module";
        return false;
    }
    why.clear();
    return true;
}

} // namespace

bool ReadProgram(const Bytes& image, Program& out, std::string& why)
{
    out = Program{};
    if (Read(image, out, why))
        return true;
    out = Program{};
    return false;
}

} // namespace cssim
