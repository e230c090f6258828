#include "link/linkobj/olnk_link_impl.h"

#include "platform/sys/LastError.h"

#include <cstring>

using linkobj::Impl;

// ---- IOlnkPL ---------------------------------------------------------------------------------

int COlnkLink::GetStatus(uint32_t w, std::uintptr_t p) { return d->Simple(0, w, p, OlnkRequestGetStatus); }
int COlnkLink::GetPLCInfo(uint32_t w, std::uintptr_t p) { return d->Simple(1, w, p, OlnkRequestGetPLCInfo); }
int COlnkLink::GetPLCInfoEx(uint32_t w, std::uintptr_t p) { return d->Simple(30, w, p, OlnkRequestGetPLCInfoEx); }

int COlnkLink::TransferPLC(uint32_t w, std::uintptr_t context, LinkProgress progress, uint32_t* job,
                           uint32_t length, const void* data)
{
    if (!data && length)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    Impl::Req r;
    r.code = 2;
    r.window = w;
    r.param = context;
    r.byJob = true;
    r.send = [&](OxfrSession s, uint32_t wire) {
        return OlnkRequestTransferPLC(s, wire, data, length, progress, context, job);
    };
    return d->Run(r);
}

int COlnkLink::ClearPLC(uint32_t w, std::uintptr_t p) { return d->Simple(3, w, p, OlnkRequestClearPLC); }
int COlnkLink::SleepPLC(uint32_t w, std::uintptr_t p) { return d->Simple(4, w, p, OlnkRequestSleepPLC); }
int COlnkLink::WakePLC(uint32_t w, std::uintptr_t p)
{
    if (const uint32_t e = d->BreakpointsBeforeRun())
        return linkobj::Fail(e);
    return d->Simple(5, w, p, OlnkRequestWakePLC);
}
int COlnkLink::RunPLC(uint32_t w, std::uintptr_t p)
{
    if (const uint32_t e = d->BreakpointsBeforeRun())
        return linkobj::Fail(e);
    return d->Simple(6, w, p, OlnkRequestRunPLC);
}
int COlnkLink::StopPLC(uint32_t w, std::uintptr_t p) { return d->Simple(7, w, p, OlnkRequestStopPLC); }
int COlnkLink::BreakPLC(uint32_t w, std::uintptr_t p) { return d->Simple(8, w, p, OlnkRequestBreakPLC); }
int COlnkLink::StepPLC(uint32_t w, std::uintptr_t p)
{
    if (const uint32_t e = d->BreakpointsBeforeRun())
        return linkobj::Fail(e);
    return d->Simple(9, w, p, OlnkRequestStepPLC);
}

int COlnkLink::BackupPLC(uint32_t w, std::uintptr_t p, uint32_t kind)
{
    if (kind > 255)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return d->Simple(10, w, p, [kind](OxfrSession s, uint32_t wire) {
        return OlnkRequestBackupPLCData(s, wire, uint8_t(kind));
    });
}

namespace {
// Sends a breakpoint request carrying set (code 12 with the set, or the
// clear, code 13, with set empty) as the latest breakpoint request; the
// caller has made it the wanted set.
// order and block: the indices and the block as the caller gave them
// (none: the set's, sorted).
int SendBreakpoints(Impl& d, uint32_t w, std::uintptr_t p, uint8_t code,
                    const std::set<uint32_t>& set, std::vector<uint32_t> order = {},
                    linkobj::Bytes block = {})
{
    if (code == 12 && block.empty()) {
        order.assign(set.begin(), set.end());
        block = linkobj::BreakpointBlock(set);
    }
    auto savedLatest = std::make_shared<std::optional<uint32_t>>();
    auto savedSet = std::make_shared<std::vector<uint32_t>>();
    Impl::Req r;
    r.code = code;
    r.window = w;
    r.param = p;
    r.prepare = [&, savedLatest, savedSet](uint32_t wire, linkobj::Slot& sl) {
        sl.brkNumber = d.brk.Sent(set);
        *savedLatest = d.brkLatest;
        *savedSet = d.brkLatestSet;
        if (code == 12) {
            sl.block = block;
            sl.indices = order;
            d.brkLatest = wire;
            d.brkLatestSet = order;
        } else {
            d.brkLatest.reset();
            d.brkLatestSet.clear();
            d.brkReplyHeld = false;
        }
        return true;
    };
    r.undo = [&, savedLatest, savedSet](uint32_t wire) {
        if (code == 13 || (d.brkLatest && *d.brkLatest == wire)) {
            d.brkLatest = *savedLatest;
            d.brkLatestSet = *savedSet;
        }
    };
    if (code == 12)
        r.send = [&](OxfrSession s, uint32_t wire) {
            return OlnkRequestSetBrksAtLine(s, wire, block.data());
        };
    else
        r.send = OlnkRequest13;
    return d.Run(r);
}
} // namespace

// Each of the three makes its set the wanted one, which the link sends
// until the control system confirmed it.  A set refused at once (the link
// down, the control system silent) leaves the wanted set as it was, as the
// windows leave theirs; a clear empties it even then, as no breakpoint is
// what the user sees once debugging ended.
int COlnkLink::SetBrkAtLine(uint32_t w, std::uintptr_t p, const void* record)
{
    if (!record || linkobj::BlockLength(record) != 10)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(record);
    uint32_t index, set;
    std::memcpy(&index, b + 2, 4);
    std::memcpy(&set, b + 6, 4);
    std::set<uint32_t> wanted;
    {
        std::lock_guard<std::mutex> g(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        wanted = d->brk.Wanted();
        if ((wanted.count(index) != 0) == (set != 0))
            return 1;
        if (set && wanted.size() >= linkobj::kMaxBreakpoints)
            return linkobj::Fail(OLNK_LINK_E_ARG);
        if (set)
            wanted.insert(index);
        else
            wanted.erase(index);
    }
    return d->WantAndSend(w, p, wanted);
}

int COlnkLink::SetBrksAtLine(uint32_t w, std::uintptr_t p, const void* block)
{
    std::vector<uint32_t> indices;
    if (!linkobj::ParseBreakpointBlock(block, indices))
        return linkobj::Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(block);
    return d->WantAndSend(w, p, std::set<uint32_t>(indices.begin(), indices.end()), indices,
                          linkobj::Bytes(b, b + linkobj::BlockLength(block)));
}

int COlnkLink::ClearBrks(uint32_t w, std::uintptr_t p)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        d->brk.Want({});
    }
    if (const uint32_t e = d->RefusalWhileDown())
        return linkobj::Fail(e);
    return SendBreakpoints(*d, w, p, 13, {});
}

int Impl::WantAndSend(uint32_t w, std::uintptr_t p, const std::set<uint32_t>& set,
                      std::vector<uint32_t> order, Bytes block)
{
    if (const uint32_t e = RefusalWhileDown())
        return Fail(e);
    {
        std::lock_guard<std::mutex> g(m);
        if (!session)
            return Fail(OLNK_LINK_E_NO_SESSION);
        brk.Want(set);
    }
    return SendBreakpoints(*this, w, p, 12, set, std::move(order), std::move(block));
}

bool Impl::SendWantedBreakpoints()
{
    std::set<uint32_t> wanted;
    {
        std::lock_guard<std::mutex> g(m);
        if (brk.Confirmed() || brk.WantedOnItsWay())
            return true;
        wanted = brk.Wanted();
    }
    return SendBreakpoints(*this, 0, 0, 12, wanted) != 0;
}

uint32_t Impl::BreakpointsBeforeRun()
{
    {
        std::lock_guard<std::mutex> g(m);
        if (!session || brk.Confirmed())
            return 0; // without a session the run's own refusal says so
    }
    if (const uint32_t e = RefusalWhileDown())
        return e;
    bool told;
    {
        std::lock_guard<std::mutex> g(m);
        if (brk.Confirmed())
            return 0;
        brk.Occasion();
        told = brk.Told();
        brk.Tell();
    }
    // Sent ahead of the run on the same channel, the control system
    // carries it out first.
    if (!SendWantedBreakpoints()) {
        const uint32_t e = sys::GetLastError();
        if (e == OLNK_LINK_E_NOT_ESTABLISHED || e == OLNK_LINK_E_SILENT ||
            e == OLNK_LINK_E_NO_SESSION)
            return e;
    }
    // Told once that the control system did not confirm them, the user may
    // run without: a control system that never confirms is not a dead end.
    return told ? 0 : OLNK_LINK_E_BRKS_NOT_CONFIRMED;
}

int8_t COlnkLink::GetBrkState(uint32_t index)
{
    std::lock_guard<std::mutex> g(d->m);
    // A silent control system's states are not current; they are again
    // once it answers (it still holds its breakpoints).
    if (!d->brkReplyHeld || d->silence.Silent())
        return -1;
    const auto& latest = d->brkLatestSet;
    if (std::find(latest.begin(), latest.end(), index) == latest.end())
        return -1;
    const auto& set = d->brkReplySet;
    auto it = std::find(set.begin(), set.end(), index);
    if (it == set.end())
        return -1;
    return d->brkReplyStates[size_t(it - set.begin())];
}

// Watch family.
int COlnkLink::SetWatchPeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->watchPeriod = ms;
    }
    return sendNow ? CommitWatch(w, p) : 1;
}

int COlnkLink::AddWatch(uint32_t w, std::uintptr_t p, uint16_t area, uint32_t address, uint32_t size,
                        int sendNow)
{
    if (size == 0 || size > linkobj::kMaxMergedLength)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return d->ChangeList([&] { return linkobj::InsertWatch(d->watch, {area, address, size}); }, sendNow,
                         [&] { return CommitWatch(w, p); });
}

int COlnkLink::RemoveWatch(uint32_t w, std::uintptr_t p, uint16_t area, uint32_t address, uint32_t size,
                           int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveWatch(d->watch, {area, address, size}); }, sendNow,
                         [&] { return CommitWatch(w, p); });
}

int COlnkLink::CommitWatch(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        16, w, p, d->watchPush, d->watchSent, [this] { return linkobj::MergeWatch(d->watch); },
        [this](const auto& m) { return linkobj::WatchBlock(m, d->watchPeriod); }, OlnkRequestWatch);
}

int8_t COlnkLink::GetWatchValue(uint16_t area, uint32_t address, uint32_t count, void* out, uint32_t outSize)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadWatchValue(d->watch, d->watchSent, d->watchPush, area, address, count, out, outSize);
}

// Mechanism family.
int COlnkLink::SetWatchMechPeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->mechPeriod = ms;
    }
    return sendNow ? CommitWatchMech(w, p) : 1;
}

int COlnkLink::AddWatchMech(uint32_t w, std::uintptr_t p, uint16_t number, uint32_t address, int sendNow)
{
    return d->ChangeList([&] { return linkobj::InsertMech(d->mech, {address, number}); }, sendNow,
                         [&] { return CommitWatchMech(w, p); });
}

int COlnkLink::RemoveWatchMech(uint32_t w, std::uintptr_t p, uint16_t number, uint32_t address, int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveMech(d->mech, {address, number}); }, sendNow,
                         [&] { return CommitWatchMech(w, p); });
}

int COlnkLink::CommitWatchMech(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        21, w, p, d->mechPush, d->mechSent, [this] { return linkobj::DistinctMech(d->mech); },
        [this](const auto& m) { return linkobj::MechBlock(m, d->mechPeriod); }, OlnkRequestWatchMech);
}

int8_t COlnkLink::GetWatchMechState(uint16_t number, uint32_t address, MechStateRecord* out)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadMechState(d->mech, d->mechSent, d->mechPush, number, address, out);
}

// Registers-on-line family.
int COlnkLink::SetWatchRegsOnLinePeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->linePeriod = ms;
    }
    return sendNow ? CommitWatchRegsOnLine(w, p) : 1;
}

int COlnkLink::AddWatchRegsOnLine(uint32_t w, std::uintptr_t p, uint32_t index, int sendNow)
{
    return d->ChangeList([&] { return linkobj::InsertLine(d->lines, index); }, sendNow,
                         [&] { return CommitWatchRegsOnLine(w, p); });
}

int COlnkLink::RemoveWatchRegsOnLine(uint32_t w, std::uintptr_t p, uint32_t index, int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveLine(d->lines, index); }, sendNow,
                         [&] { return CommitWatchRegsOnLine(w, p); });
}

int COlnkLink::CommitWatchRegsOnLine(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        19, w, p, d->linePush, d->lineSent, [this] { return linkobj::DistinctLines(d->lines); },
        [this](const auto& m) { return linkobj::LineBlock(m, d->linePeriod); }, OlnkRequestWatchRegsOnLine);
}

int8_t COlnkLink::GetWatchRegsOnLine(uint32_t index, LineRegsRecord* out)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadLineRegs(d->lines, d->lineSent, d->linePush, index, out);
}

// Inspect and register commands.

int COlnkLink::GetVar(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetVar(r), 22, w, p, r, OlnkRequestGetVar);
}

int COlnkLink::SetVar(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidSetVar(r), 23, w, p, r, OlnkRequestSetVar);
}

int COlnkLink::SetVarBits(uint32_t w, std::uintptr_t p, const void* r)
{
    if (!r)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(r);
    return d->Block(28, w, p, linkobj::Bytes(b, b + 8), OlnkRequestSetVarBits);
}

int COlnkLink::GetMech(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetMech(r), 24, w, p, r, OlnkRequestGetMech);
}

int COlnkLink::SetMech(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidSetMech(r), 25, w, p, r, OlnkRequestSetMech);
}

int COlnkLink::GetRegs(uint32_t w, std::uintptr_t p) { return d->Simple(26, w, p, OlnkRequestGetRegs); }

int COlnkLink::GetRegsOnLine(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetRegsOnLine(r), 29, w, p, r, OlnkRequestGetRegsOnLine);
}

int COlnkLink::SetRegs(uint32_t w, std::uintptr_t p, uint8_t rlo, int32_t dr)
{
    // The word-and-byte form: u32 DR, then u8 RLO.
    const auto u = uint32_t(dr);
    linkobj::Bytes v{uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24), rlo};
    return d->Block(27, w, p, std::move(v), OlnkRequestSetRegs);
}

bool COlnkLink::GetLastStatus(PlcStatusRecord* out)
{
    if (!out)
        return false;
    std::lock_guard<std::mutex> g(d->m);
    *out = d->status;
    return true;
}

bool COlnkLink::GetLastPLCInfo(bool extended, void* buffer, uint32_t capacity, uint32_t* length)
{
    std::lock_guard<std::mutex> g(d->m);
    const auto& info = extended ? d->info30 : d->info1;
    if (!info)
        return false;
    if (buffer && capacity && !info->empty())
        std::memcpy(buffer, info->data(), std::min<size_t>(capacity, info->size()));
    if (length)
        *length = uint32_t(info->size());
    return true;
}
