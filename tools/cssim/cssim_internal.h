#pragma once
// Internals of the simulator shared by its source files.
#include "tools/cssim/cssim.h"

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
