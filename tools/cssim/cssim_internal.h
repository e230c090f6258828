#pragma once
// Internals of the simulator shared by its source files.
#include "tools/cssim/cssim.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <set>
#include <string>

namespace cssim {

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
inline Bytes Header(uint8_t cls, uint8_t type, uint8_t code, uint32_t param)
{
    Bytes b{cls, type, code};
    Put32(b, param);
    return b;
}

struct Plc::State
{
    mutable std::mutex m;
    uint16_t flags = 0;
    uint32_t position = 0;
    Bytes image;
    uint32_t length = 0;
    uint16_t checksum = 0;
    PlcInfo info;
    PlcInfoEx infoEx;
    std::vector<Bytes> memory = std::vector<Bytes>(16, Bytes(65536, 0));
    uint8_t rlo = 0;
    int32_t dr = 0;
    std::map<uint32_t, LineRegs> lines;
    std::map<std::pair<uint32_t, uint16_t>, Mech> mechs;
    std::set<uint32_t> breakpoints;
    WatchList watch, watchMech, watchLines;
    std::atomic<bool> statusDirty{false};
    std::atomic<bool> mechDirty{false};
    // Run mode: the program of the stored image and where it stands.
    bool hasProgram = false;
    Program program;
    std::string programNote = "no image";
    size_t next = 0;      // the listed line (0-based) that executes next
    bool resume = false;  // the next line executes even when it has a breakpoint

    // Reads the program of `image` (the lock held); the run starts over.
    void LoadProgram()
    {
        hasProgram = ReadProgram(image, program, programNote);
        next = 0;
        resume = false;
    }
    // Executes listed line k (the lock held): variable k mod m grows by 1,
    // little-endian and wrapping, and the line's registers take its value.
    void ExecuteListed(size_t k)
    {
        const uint32_t index = program.lines[k];
        uint64_t value = 0;
        if (!program.vars.empty()) {
            const ProgramVar& v = program.vars[k % program.vars.size()];
            uint8_t* b = memory[v.area].data() + v.address;
            for (int i = v.size - 1; i >= 0; --i)
                value = value << 8 | b[i];
            ++value;
            for (int i = 0; i < v.size; ++i)
                b[i] = uint8_t(value >> (8 * i));
            if (v.size < 8)
                value &= (uint64_t(1) << (8 * v.size)) - 1;
        }
        lines[index] = Plc::LineRegs{0, uint8_t(value & 1), int32_t(uint32_t(value))};
    }
    // The place of a listing index among the listed lines, or -1.
    long ListedAt(uint32_t index) const
    {
        auto it = std::lower_bound(program.lines.begin(), program.lines.end(), index);
        return it != program.lines.end() && *it == index ? long(it - program.lines.begin()) : -1;
    }
};

// The file server (independent of the session library).
namespace files {
// Short name of a wire name.
std::string ShortName(const std::string& wire);
// Wire-name pattern match ("*", "?", any case; "*.*" all; "*." no dot).
bool Match(const std::string& pattern, const std::string& name);
// Wire name (1250) of a local UTF-8 name; lossy names get "?" and *lossy.
std::string WireName(const std::string& local, bool* lossy);
std::string LocalName(const std::string& wire);
Bytes RecordFor(uint32_t flag, uint16_t time, uint16_t date, uint32_t size,
                const std::string& shortName, const std::string& longName);
} // namespace files

} // namespace cssim
