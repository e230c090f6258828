// The simulator's answers to the PLC requests (class 1) and its watch pushes.
#include "tools/cssim/engine.h"

#include <cstring>

namespace cssim {

Bytes Simulator::Impl::WatchPush(int kind, Plc::WatchList& w)
{
    auto& s = P();
    std::lock_guard<std::mutex> g(s.m);
    Bytes out;
    Put16(out, w.count);
    const uint8_t* e = w.entries.data();
    for (uint16_t i = 0; i < w.count; ++i) {
        if (kind == 1) {
            const uint32_t addr = U32(e + 8 * i);
            const uint16_t area = U16(e + 8 * i + 4), len = U16(e + 8 * i + 6);
            if (area >= 16 || uint64_t(addr) + len > 65536) {
                out.push_back(0xFE);
                out.insert(out.end(), len, 0);
            } else {
                out.push_back(0);
                out.insert(out.end(), s.memory[area].begin() + addr,
                           s.memory[area].begin() + addr + len);
            }
        } else if (kind == 4) {
            const uint32_t idx = U32(e + 4 * i);
            Plc::LineRegs lr;
            auto it = s.lines.find(idx);
            if (it != s.lines.end())
                lr = it->second;
            out.push_back(lr.activity);
            out.push_back(lr.rlo);
            Put32(out, uint32_t(lr.dr));
        } else {
            const uint32_t addr = U32(e + 6 * i);
            const uint16_t num = U16(e + 6 * i + 4);
            Plc::Mech mc;
            auto it = s.mechs.find({addr, num});
            if (it != s.mechs.end())
                mc = it->second;
            out.push_back(mc.running);
            Put32(out, mc.index);
        }
    }
    if (kind == 4)
        for (uint16_t i = 0; i < w.count; ++i) {
            auto it = s.lines.find(U32(e + 4 * i));
            if (it != s.lines.end())
                it->second.activity = uint8_t(std::min(255, it->second.activity + 16));
        }
    return out;
}

void Simulator::Impl::PlcRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n)
{
    RequestScript rs;
    bool scripted = false;
    {
        std::lock_guard<std::mutex> g(m);
        auto it = reqScripts.find(code);
        if (it != reqScripts.end()) {
            rs = it->second;
            scripted = true;
            if (rs.times && --it->second.times == 0)
                reqScripts.erase(it);
        }
    }
    auto& s = P();
    int8_t status = 0;
    Bytes data;
    // A block whose own length disagrees with the message.
    auto blockOk = [&](size_t fixed, size_t per, size_t countAt, size_t maxCount, bool& tooMany) {
        tooMany = false;
        if (n < 2 || U16(p) != n || n < fixed)
            return false;
        if (per == 0)
            return n == fixed;
        const uint16_t count = U16(p + countAt);
        if (n != fixed + per * count)
            return false;
        tooMany = maxCount && count > maxCount;
        return true;
    };
    if (code == 2) { // PLC transfer
        if (n < 11)
            return;
        int8_t refuse = 0;
        if (scripted && rs.status)
            refuse = *rs.status;
        {
            std::lock_guard<std::mutex> g(m);
            if (jobScript && jobScript->failStart)
                refuse = int8_t(*jobScript->failStart);
        }
        if (!refuse && (sim->m_plc.flags() & FLAG_RUNNING))
            refuse = -1;
        if (refuse) {
            Bytes r = Header(1, 1, 2, param);
            r.push_back(uint8_t(refuse));
            return Send(r);
        }
        Job& j = NewJob(false);
        j.peer = p[0];
        j.param = param;
        j.total = U32(p + 7);
        j.commit = [this](Job& job) -> uint8_t {
            uint32_t l;
            uint16_t c;
            if (!Plc::CheckImage(job.data, l, c))
                return uint8_t(-2);
            auto& st = P();
            std::lock_guard<std::mutex> g(st.m);
            st.image = job.data;
            st.length = l;
            st.checksum = c;
            if (st.flags != FLAG_LOADED || st.position != 0)
                st.statusDirty = true;
            st.flags = FLAG_LOADED;
            st.LoadProgram();
            return 0;
        };
        FirstAck(j);
        return;
    }
    auto setFlags = [&](uint16_t f, std::optional<uint32_t> pos = std::nullopt) {
        if (f != s.flags || (pos && *pos != s.position))
            s.statusDirty = true;
        s.flags = f;
        if (pos)
            s.position = *pos;
    };
    bool tooMany = false;
    {
        std::lock_guard<std::mutex> g(s.m);
        // The run mode with a program of at least one line.
        const bool running = cfg.runRate && s.hasProgram && !s.program.lines.empty();
        switch (code) {
        case 0:
            break;
        case 1:
        case 30:
            break;
        case 3:
            s.image.clear();
            s.length = 0;
            s.checksum = 0;
            s.LoadProgram();
            setFlags(0, 0);
            break;
        case 4: setFlags(s.flags | FLAG_ASLEEP); break;
        case 5: setFlags(s.flags & ~FLAG_ASLEEP); break;
        case 6:
            if (!(s.flags & FLAG_LOADED))
                status = -1;
            else if (!(scripted && rs.status)) {
                if (running && (s.flags & FLAG_AT_POSITION)) {
                    // Continues from the line it stands at.
                    const long k = s.ListedAt(s.position);
                    if (k >= 0)
                        s.next = size_t(k);
                    s.resume = true;
                }
                setFlags(uint16_t((s.flags | FLAG_RUNNING) & ~FLAG_AT_POSITION));
            }
            break;
        case 7:
            if (!(scripted && rs.status))
                setFlags(s.flags & ~(FLAG_RUNNING | FLAG_AT_POSITION));
            break;
        case 8:
            if (!(s.flags & FLAG_RUNNING))
                status = -2;
            else if (!(scripted && rs.status) && running)
                setFlags(s.flags | FLAG_AT_POSITION, s.program.lines[s.next]);
            else if (!(scripted && rs.status))
                setFlags(s.flags | FLAG_AT_POSITION,
                         s.breakpoints.empty() ? 1u : *s.breakpoints.begin());
            break;
        case 9:
            if ((s.flags & FLAG_RUNNING) && !(s.flags & FLAG_AT_POSITION))
                status = -1;
            else if (!(s.flags & FLAG_LOADED))
                status = -2;
            else if (!(scripted && rs.status) && running) {
                // Executes the line at the position, stops at the next listed
                // one; from elsewhere it stops at the next listed line.
                const uint32_t at = (s.flags & FLAG_AT_POSITION) ? s.position : 0;
                const long k = s.ListedAt(at);
                if (k >= 0) {
                    s.ExecuteListed(size_t(k));
                    s.next = (size_t(k) + 1) % s.program.lines.size();
                } else {
                    auto it = std::upper_bound(s.program.lines.begin(), s.program.lines.end(), at);
                    s.next = it == s.program.lines.end() ? 0 : size_t(it - s.program.lines.begin());
                }
                s.resume = false;
                setFlags(s.flags | FLAG_RUNNING | FLAG_AT_POSITION, s.program.lines[s.next]);
            } else if (!(scripted && rs.status))
                setFlags(s.flags | FLAG_RUNNING | FLAG_AT_POSITION, s.position + 1);
            break;
        case 10:
            status = (n == 1 && p[0] <= 1) ? 0 : -2;
            break;
        case 11:
            if (!blockOk(10, 0, 0, 0, tooMany))
                status = -1;
            else if (U32(p + 6))
                s.breakpoints.insert(U32(p + 2));
            else
                s.breakpoints.erase(U32(p + 2));
            break;
        case 12:
            if (!blockOk(4, 4, 2, 253, tooMany) || tooMany)
                status = -1;
            else {
                const uint16_t cnt = U16(p + 2);
                s.breakpoints.clear();
                Put16(data, cnt);
                for (uint16_t i = 0; i < cnt; ++i) {
                    const uint32_t idx = U32(p + 4 + 4 * i);
                    const bool ok = idx >= 1 && idx <= 1000000;
                    if (ok)
                        s.breakpoints.insert(idx);
                    else
                        status = -2;
                    data.push_back(ok ? 0 : 0xFF);
                }
            }
            break;
        case 13: s.breakpoints.clear(); break;
        case 14: case 15: case 17: case 18: case 20:
            status = int8_t(128);
            break;
        case 16:
        case 19:
        case 21: {
            const size_t per = code == 16 ? 8 : code == 19 ? 4 : 6;
            const size_t maxC = code == 16 ? 126 : 168;
            Plc::WatchList& w = code == 16 ? s.watch : code == 19 ? s.watchLines : s.watchMech;
            w = Plc::WatchList{};
            if (!blockOk(6, per, 4, maxC, tooMany))
                status = -1;
            else if (tooMany)
                status = -3;
            else {
                const uint16_t cnt = U16(p + 4);
                if (code == 16) {
                    size_t sz = 2;
                    for (uint16_t i = 0; i < cnt; ++i)
                        sz += 1 + U16(p + 6 + 8 * i + 6);
                    if (sz > 1015)
                        status = -4;
                }
                if (status == 0) {
                    w.interval = U16(p + 2);
                    w.count = cnt;
                    w.parameter = param;
                    w.entries.assign(p + 6, p + n);
                    const int slot = code == 16 ? 0 : code == 19 ? 1 : 2;
                    nextPush[slot] = Clock::now() + milliseconds(w.interval);
                }
            }
            break;
        }
        case 22:
        case 23: {
            if (n < 10 || U16(p) != n || (code == 22 && n != 10) ||
                (code == 23 && n != size_t(10 + U16(p + 8))) || U16(p + 8) < 1 || U16(p + 8) > 8) {
                status = -1;
                break;
            }
            const uint32_t addr = U32(p + 2);
            const uint16_t area = U16(p + 6), size = U16(p + 8);
            if (area >= 16 || uint64_t(addr) + size > 65536) {
                status = -1;
                break;
            }
            if (code == 22) {
                Put16(data, uint16_t(2 + size));
                data.insert(data.end(), s.memory[area].begin() + addr,
                            s.memory[area].begin() + addr + size);
            } else
                std::copy(p + 10, p + 10 + size, s.memory[area].begin() + addr);
            break;
        }
        case 24:
        case 29: {
            const size_t per = code == 24 ? 6 : 4;
            if (!blockOk(6, per, 4, code == 24 ? 168 : 0, tooMany) || tooMany) {
                status = -1;
                break;
            }
            const uint16_t cnt = U16(p + 4);
            Put16(data, uint16_t(2 + 5 * cnt));
            for (uint16_t i = 0; i < cnt; ++i) {
                if (code == 24) {
                    auto it = s.mechs.find({U32(p + 6 + 6 * i), U16(p + 6 + 6 * i + 4)});
                    Plc::Mech mc = it == s.mechs.end() ? Plc::Mech{} : it->second;
                    data.push_back(mc.running);
                    Put32(data, mc.index);
                } else {
                    auto it = s.lines.find(U32(p + 6 + 4 * i));
                    Plc::LineRegs lr = it == s.lines.end() ? Plc::LineRegs{} : it->second;
                    data.push_back(lr.rlo);
                    Put32(data, uint32_t(lr.dr));
                }
            }
            break;
        }
        case 25:
            if (n != 9 || U16(p) != 9)
                status = -1;
            else {
                auto& mc = s.mechs[{U32(p + 2), U16(p + 6)}];
                mc.running = p[8] ? 1 : 0;
                s.mechDirty = true;
            }
            break;
        case 26:
            data.push_back(s.rlo);
            Put32(data, uint32_t(s.dr));
            break;
        case 27:
            if (n != 5)
                status = -1;
            else {
                s.dr = int32_t(U32(p));
                s.rlo = p[4];
            }
            break;
        case 28: {
            if (n != 8) {
                status = -1;
                break;
            }
            const uint32_t addr = U32(p);
            const uint16_t area = U16(p + 4);
            if (area >= 16 || addr >= 65536) {
                status = -1;
                break;
            }
            uint8_t& b = s.memory[area][addr];
            b = uint8_t((b & ~p[7]) | (p[6] & p[7]));
            break;
        }
        default:
            status = int8_t(129);
        }
    }
    if (code == 0)
        data = StatusRecord();
    if (code == 1) {
        const PlcInfo i = sim->m_plc.info();
        data.assign(50, 0);
        data[0] = 50;
        std::copy(i.panel, i.panel + 4, data.begin() + 2);
        data[6] = uint8_t(i.cassetteVersion);
        data[7] = uint8_t(i.cassetteVersion >> 8);
        data[8] = uint8_t(i.cassetteType);
        data[9] = uint8_t(i.cassetteType >> 8);
        std::copy_n(i.comment.begin(), std::min<size_t>(i.comment.size(), 31), data.begin() + 10);
        const uint16_t c = sim->m_plc.plcChecksum();
        const uint32_t l = sim->m_plc.plcLength();
        data[42] = uint8_t(c);
        data[43] = uint8_t(c >> 8);
        for (int k = 0; k < 4; ++k)
            data[size_t(44 + k)] = uint8_t(l >> (8 * k));
        data[48] = uint8_t(i.compilerVersion);
        data[49] = uint8_t(i.compilerVersion >> 8);
    }
    if (code == 30) {
        const PlcInfoEx x = sim->m_plc.infoEx();
        if (x.answer)
            status = int8_t(x.answer);
        else {
            data.assign(92, 0);
            auto put32 = [&](size_t at, uint32_t v) {
                for (int k = 0; k < 4; ++k)
                    data[at + size_t(k)] = uint8_t(v >> (8 * k));
            };
            const uint16_t c = sim->m_plc.plcChecksum();
            data[2] = uint8_t(c);
            data[3] = uint8_t(c >> 8);
            put32(4, sim->m_plc.plcLength());
            put32(8, x.csVersion);
            put32(12, x.csMinor);
            put32(16, x.csRevision);
            put32(32, x.compVersion);
            put32(36, x.compMinor);
            put32(40, x.compRevision);
            put32(44, x.modified);
            put32(48, x.mixed);
            put32(56, x.plcRevision);
            put32(60, x.plcModified);
            put32(64, x.plcMixed);
            const std::pair<size_t, const std::string*> texts[] = {
                {52, &x.text}, {68, &x.plcText}, {72, &x.name}, {76, &x.comment},
                {80, &x.publisher}, {84, &x.web}, {88, &x.telephone}};
            for (const auto& [at, str] : texts) {
                put32(at, uint32_t(data.size()));
                data.insert(data.end(), str->begin(), str->end());
                data.push_back(0);
            }
            data[0] = uint8_t(data.size());
            data[1] = uint8_t(data.size() >> 8);
        }
    }
    if (scripted) {
        if (rs.status)
            status = *rs.status;
        if (rs.data)
            data = *rs.data;
        if (rs.cut)
            data.resize(data.size() > rs.cut ? data.size() - rs.cut : 0);
        data.insert(data.end(), rs.extra.begin(), rs.extra.end());
        if (rs.drop)
            return;
    }
    Bytes r = Header(1, 1, code, rs.wrongParameter ? param + 1 : param);
    r.push_back(uint8_t(status));
    r.insert(r.end(), data.begin(), data.end());
    auto send = [this, r, twice = rs.twice] {
        Send(r);
        if (twice)
            Send(r);
    };
    if (rs.delayMs)
        After(rs.delayMs, send);
    else
        send();
    (void)tooMany;
}

} // namespace cssim
