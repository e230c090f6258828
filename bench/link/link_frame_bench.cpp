// Speed of the link check, the byte receiver and an in-memory round trip.
// Targets: check >= 500 MB/s, receiver >= 200 MB/s (wire bytes), round trip
// >= 100 MB/s (payload bytes).  See docs/link-protocol.md.

#include "link/olnk/olnk_internal.h"
#include "tests/support/link_pump/link_pump.h"

#include <benchmark/benchmark.h>

using linkpump::Bytes;

static void BM_Check1023(benchmark::State& state)
{
    linkpump::Rng rng(1);
    const Bytes b = rng.RandomBytes(1023);
    for (auto _ : state)
        benchmark::DoNotOptimize(OlnkCrc(b.data(), b.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * 1023);
}
BENCHMARK(BM_Check1023);

// Prebuilt in-order frames of 1023 random bytes fed to a receiver whose
// messages are taken at once.
static void BM_Receiver(benchmark::State& state)
{
    OlnkChannelOptions passive;
    passive.passive = true;
    OlnkChannel tx = OlnkCreateChannel(127, {}, passive);
    linkpump::Rng rng(2);
    std::vector<Bytes> frames;
    Bytes buf(OLNK_MAX_FRAME);
    for (int i = 0; i < 128; ++i) {
        const Bytes d = rng.RandomBytes(1023);
        (void)OlnkSend(tx, 1023, d.data(), 1, 0); // the window has room: the frame follows
        uint16_t len = 0;
        OlnkNextFrame(tx, buf.data(), &len, OlnkFrameMode::None);
        frames.emplace_back(buf.begin(), buf.begin() + len);
        if (i == 100) {
            // Start a new sender past the window; numbers go on from 101.
            OlnkDestroyChannel(tx);
            tx = OlnkCreateChannel(127, {}, passive);
            tx->lastBuilt = 101;
        }
    }
    OlnkDestroyChannel(tx);
    int64_t bytes = 0;
    Bytes out(1023);
    for (auto _ : state) {
        state.PauseTiming();
        OlnkChannel rx = OlnkCreateChannel(127, {}, passive);
        state.ResumeTiming();
        for (const Bytes& f : frames) {
            OlnkReceiveBytes(rx, f);
            uint16_t len = 0;
            OlnkReceive(rx, &len, 1023, out.data(), 0);
            bytes += int64_t(f.size());
        }
        state.PauseTiming();
        OlnkDestroyChannel(rx);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Receiver);

// OlnkSend -> OlnkNextFrame -> OlnkReceiveBytes -> OlnkReceive through the
// harness without faults, 1023-byte messages.
static void BM_RoundTrip(benchmark::State& state)
{
    linkpump::Config cfg;
    cfg.window = static_cast<uint8_t>(state.range(0));
    cfg.maxChunk = 4096;
    linkpump::Pump p(cfg);
    p.runUntil([&] { return p.connected(); }, 100);
    p.received(linkpump::Side::A);
    p.received(linkpump::Side::B);
    linkpump::Rng rng(3);
    const Bytes msg = rng.RandomBytes(1023);
    int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < 8; ++i)
            p.send(linkpump::Side::A, msg);
        size_t got = 0;
        while (got < 8) {
            p.turn();
            got += p.received(linkpump::Side::B).size();
        }
        bytes += 8 * 1023;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RoundTrip)->Arg(20)->Arg(127);
