#pragma once
// The simulator's fault shim: a UDP relay or a pseudo-terminal bridge of
// tools/linkshim between our side and the simulator's channel, with the
// targeted faults on frames that match.
#include "tools/cssim/cssim.h"

#include "tools/linkshim/LinkFrameDecoder.h"
#include "tools/linkshim/PtyBridge.h"
#include "tools/linkshim/UdpFaultRelay.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace cssim {

struct Shim::Impl
{
    std::unique_ptr<linkshim::UdpFaultRelay> relay;
    std::unique_ptr<linkshim::PtyBridge> bridge;
    std::mutex m;
    std::vector<TargetedFault> targeted;
    std::atomic<uint64_t> matched{0};
    linkshim::UdpFaultRelay::Faults faults[2];
    uint16_t ourPort = 0;

    bool Matches(const FrameMatch& fm, int dir, const linkshim::DecodedFrame& f)
    {
        if (fm.direction != dir)
            return false;
        if (f.data.empty())
            return !fm.dataOnly && fm.cls < 0 && fm.type < 0 && fm.code < 0 && fm.job < 0;
        auto at = [&](size_t i) { return f.data.size() > i ? int(f.data[i]) : -2; };
        return (fm.cls < 0 || at(0) == fm.cls) && (fm.type < 0 || at(1) == fm.type) &&
               (fm.code < 0 || (at(2) >= fm.code && at(2) <= std::max(fm.code, fm.codeLast))) &&
               (fm.job < 0 || at(3) == fm.job) && (fm.maxData < 0 || f.data.size() <= size_t(fm.maxData));
    }

    linkshim::UdpFaultRelay::Verdict Filter(int dir, Bytes& bytes, uint32_t& delay)
    {
        using V = linkshim::UdpFaultRelay::Verdict;
        const auto frames = linkshim::LinkFrameDecoder::DecodeDatagram(bytes);
        if (frames.size() != 1)
            return V::Pass;
        std::lock_guard<std::mutex> g(m);
        for (auto it = targeted.begin(); it != targeted.end(); ++it) {
            if (!Matches(it->match, dir, frames[0]))
                continue;
            TargetedFault f = *it;
            if (--it->count == 0)
                targeted.erase(it);
            ++matched;
            switch (f.action) {
            case FrameAction::Drop: return V::Drop;
            case FrameAction::Duplicate: return V::Duplicate;
            case FrameAction::Delay: delay = f.delayMs; return V::Delay;
            case FrameAction::Hold: return V::Hold;
            case FrameAction::Cut:
                for (int d = 0; d < 2; ++d) {
                    faults[d].hold = true;
                    if (relay)
                        relay->SetFaults(d, faults[d]);
                }
                return V::Drop;
            case FrameAction::Xor: {
                // Position of the data bytes in the datagram (after stuffing).
                std::vector<size_t> dataPos;
                size_t i = 10;
                while (i < bytes.size() && dataPos.size() < frames[0].data.size()) {
                    dataPos.push_back(i);
                    i += (bytes[i] == 0xF9 || bytes[i] == 0xFE) ? 2 : 1;
                }
                size_t pos = 0;
                if (f.dataOffset >= 0) {
                    if (size_t(f.dataOffset) >= dataPos.size())
                        return V::Pass;
                    pos = dataPos[size_t(f.dataOffset)];
                } else if (f.offset == -1) {
                    if (dataPos.empty())
                        return V::Pass;
                    pos = dataPos.back();
                } else if (f.offset == -2 || f.offset == -3) {
                    pos = bytes.size() - (f.offset == -2 ? 2 : 1);
                } else
                    pos = size_t(f.offset);
                if (pos < bytes.size())
                    bytes[pos] ^= f.mask;
                return V::Pass;
            }
            }
        }
        return V::Pass;
    }
};

} // namespace cssim
