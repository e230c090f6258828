#pragma once
// Helpers of the transport tests: waiting for link states and exchanging
// messages between two real channels with real threads.

#include "link/olnk/olnk_open.h"
#include "tests/support/link_pump/link_pump.h"
#include "tests/support/platform/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace transport_test {

using Bytes = std::vector<uint8_t>;

using testsupport::WaitUntil;

inline bool Connected(OlnkChannel c)
{
    int s = OlnkGetLinkState(c);
    return s == OLNK_STATE_RESET_DONE || s == OLNK_STATE_RUNNING;
}

// Brings two channels to a running link: a side reset by its peer answers
// with OlnkConnect, as the session layer does.
inline bool Handshake(OlnkChannel a, OlnkChannel b, int timeoutMs = 5000)
{
    return WaitUntil(
        [&] {
            for (OlnkChannel c : {a, b}) {
                if (OlnkGetLinkState(c) == OLNK_STATE_RESET_BY_PEER)
                    OlnkConnect(c, 0, nullptr);
            }
            return Connected(a) && Connected(b);
        },
        timeoutMs);
}

inline OlnkStatistics Stats(OlnkChannel c)
{
    OlnkStatistics s{};
    s.size = sizeof s;
    OlnkGetStatistics(c, &s);
    return s;
}

// Sends count messages of 1 to 1023 seeded bytes each way at once and checks
// that each side receives the other's in order, exactly once.
inline void ExchangeBothWays(OlnkChannel a, OlnkChannel b, int count, uint64_t seed,
                             int timeoutMs = 60000)
{
    std::vector<Bytes> msgs[2];
    linkpump::Rng rng(seed);
    for (auto& list : msgs)
        for (int i = 0; i < count; ++i)
            list.push_back(rng.RandomBytes(1 + rng.Below(1023)));
    OlnkChannel ch[2] = {a, b};
    std::vector<Bytes> got[2];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::thread> threads;
    for (int s = 0; s < 2; ++s) {
        threads.emplace_back([&, s] {
            for (const Bytes& m : msgs[s]) {
                while (OlnkSend(ch[s], uint16_t(m.size()), m.data(), 1, 100) < 0) {
                    if (std::chrono::steady_clock::now() > deadline)
                        return;
                }
            }
        });
        threads.emplace_back([&, s] {
            std::vector<uint8_t> buf(1023);
            while (got[s].size() < size_t(count) && std::chrono::steady_clock::now() < deadline) {
                uint16_t len = 0;
                if (OlnkReceive(ch[s], &len, uint16_t(buf.size()), buf.data(), 100))
                    got[s].emplace_back(buf.begin(), buf.begin() + len);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int s = 0; s < 2; ++s) {
        ASSERT_EQ(got[s].size(), size_t(count)) << "side " << s;
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(got[s][size_t(i)], msgs[1 - s][size_t(i)]) << "side " << s << " message " << i;
    }
}

} // namespace transport_test
