// The fake PLC's model and its accessors.
#include "tools/cssim/cssim_internal.h"

namespace cssim {

Plc::Plc() : m_s(std::make_shared<State>()) {}

#define LOCK std::lock_guard<std::mutex> g(m_s->m)

uint16_t Plc::flags() const { LOCK; return m_s->flags; }
void Plc::setFlags(uint16_t f)
{
    LOCK;
    if (m_s->flags != f) {
        m_s->flags = f;
        m_s->statusDirty = true;
    }
}
uint32_t Plc::position() const { LOCK; return m_s->position; }
void Plc::setPosition(uint32_t p)
{
    LOCK;
    if (m_s->position != p) {
        m_s->position = p;
        m_s->statusDirty = true;
    }
}
void Plc::hitBreakpoint(uint32_t index)
{
    LOCK;
    m_s->flags |= FLAG_AT_POSITION;
    m_s->position = index;
    m_s->statusDirty = true;
}
Bytes Plc::image() const { LOCK; return m_s->image; }
uint32_t Plc::plcLength() const { LOCK; return m_s->length; }
uint16_t Plc::plcChecksum() const { LOCK; return m_s->checksum; }
void Plc::setImage(const Bytes& image)
{
    uint32_t l = 0;
    uint16_t c = 0;
    CheckImage(image, l, c);
    LOCK;
    m_s->image = image;
    m_s->length = l;
    m_s->checksum = c;
    m_s->LoadProgram();
}
bool Plc::hasProgram() const { LOCK; return m_s->hasProgram; }
Program Plc::program() const { LOCK; return m_s->program; }
std::string Plc::programNote() const { LOCK; return m_s->programNote; }
void Plc::setSums(uint32_t length, uint16_t checksum)
{
    LOCK;
    m_s->length = length;
    m_s->checksum = checksum;
}
PlcInfo Plc::info() const { LOCK; return m_s->info; }
void Plc::setInfo(const PlcInfo& i) { LOCK; m_s->info = i; }
PlcInfoEx Plc::infoEx() const { LOCK; return m_s->infoEx; }
void Plc::setInfoEx(const PlcInfoEx& i) { LOCK; m_s->infoEx = i; }

Bytes Plc::readMemory(uint16_t area, uint32_t address, uint32_t length) const
{
    LOCK;
    if (area >= 16 || uint64_t(address) + length > 65536)
        return {};
    const Bytes& a = m_s->memory[area];
    return Bytes(a.begin() + address, a.begin() + address + length);
}
void Plc::writeMemory(uint16_t area, uint32_t address, const Bytes& bytes)
{
    LOCK;
    if (area >= 16 || uint64_t(address) + bytes.size() > 65536)
        return;
    std::copy(bytes.begin(), bytes.end(), m_s->memory[area].begin() + address);
}
uint8_t Plc::rlo() const { LOCK; return m_s->rlo; }
int32_t Plc::dr() const { LOCK; return m_s->dr; }
void Plc::setRegs(uint8_t rlo, int32_t dr)
{
    LOCK;
    m_s->rlo = rlo;
    m_s->dr = dr;
}
void Plc::executeLine(uint32_t index, uint8_t rlo, int32_t dr)
{
    LOCK;
    m_s->lines[index] = LineRegs{0, rlo, dr};
}
Plc::LineRegs Plc::lineRegs(uint32_t index) const
{
    LOCK;
    auto it = m_s->lines.find(index);
    return it == m_s->lines.end() ? LineRegs{} : it->second;
}
void Plc::setMechanism(uint32_t address, uint16_t number, uint8_t running, uint32_t index)
{
    LOCK;
    m_s->mechs[{address, number}] = Mech{running, index};
    m_s->mechDirty = true;
}
Plc::Mech Plc::mechanism(uint32_t address, uint16_t number) const
{
    LOCK;
    auto it = m_s->mechs.find({address, number});
    return it == m_s->mechs.end() ? Mech{} : it->second;
}
std::vector<uint32_t> Plc::breakpoints() const
{
    LOCK;
    return std::vector<uint32_t>(m_s->breakpoints.begin(), m_s->breakpoints.end());
}
void Plc::setBreakpoints(const std::vector<uint32_t>& b)
{
    LOCK;
    m_s->breakpoints = std::set<uint32_t>(b.begin(), b.end());
}
Plc::WatchList Plc::watch() const { LOCK; return m_s->watch; }
Plc::WatchList Plc::watchMech() const { LOCK; return m_s->watchMech; }
Plc::WatchList Plc::watchLines() const { LOCK; return m_s->watchLines; }

bool Plc::CheckImage(const Bytes& image, uint32_t& length, uint16_t& checksum)
{
    length = 0;
    checksum = 0;
    const uint8_t* p = image.data();
    size_t pos = 0;
    const size_t end = image.size();
    while (pos + 32 < end) {
        const uint8_t* r = p + pos;
        if (r[6] != 6)
            break;
        const uint16_t type = U16(r + 4);
        if (U16(r) != 0xFEFA || U16(r + 2) != 0xF9FF || (type != 0xA520 && type != 0xA500) ||
            r[7] != 0xF9)
            return false;
        length += U16(r + 24);
        checksum = uint16_t(checksum + U16(r + 26));
        const uint16_t step = U16(r + 12);
        if (step < 32) // a distance inside its own head would never advance
            return false;
        pos += step;
    }
    if (pos + 8 > end)
        return false;
    const uint8_t* r = p + pos;
    return U16(r) == 0xFEFA && U16(r + 2) == 0xF9FF && U16(r + 4) == 0xA500 && r[6] == 7 &&
           r[7] == 0xF8;
}

} // namespace cssim
