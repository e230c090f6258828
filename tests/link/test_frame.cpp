// Frames on the wire and every row of the byte receiver.

#include "link/olnk/olnk_internal.h"
#include "link_test_util.h"
#include "tests/support/link_pump/link_pump.h"

#include "platform/sys/LastError.h"

#include <gtest/gtest.h>

using namespace linktest;

namespace {

struct ChannelGuard
{
    OlnkChannel ch;
    explicit ChannelGuard(OlnkChannel c) : ch(c) {}
    ~ChannelGuard() { OlnkDestroyChannel(ch); }
    operator OlnkChannel() const { return ch; }
};

Bytes SendAndTake(const Bytes& data, bool reliable = true)
{
    ChannelGuard ch(Passive());
    EXPECT_EQ(OlnkSend(ch, static_cast<uint16_t>(data.size()), data.data(), reliable, 0), 1);
    return Next(ch);
}

} // namespace

TEST(LinkFrame, ReferenceFrames)
{
    EXPECT_EQ(SendAndTake(Str("abc")), (Bytes{0xF9, 0xFD, 0x0A, 0x01, 0x80, 0x03, 0x04, 0x01, 0x04,
                                             0x90, 0x61, 0x62, 0x63, 0xFE, 0x8C, 0x09}));
    ChannelGuard active(OlnkCreateChannel(20, {}));
    EXPECT_EQ(Next(active), (Bytes{0xF9, 0xFD, 0x0A, 0x01, 0x80, 0x00, 0x0C, 0x01, 0x04, 0xB0,
                                   0xFE, 0x00, 0x00}));
    EXPECT_EQ(SendAndTake(Bytes{0xF9}), (Bytes{0xF9, 0xFD, 0x0A, 0x01, 0x80, 0x01, 0x04, 0x01, 0x04,
                                              0x90, 0xF9, 0xF9, 0xFE, 0xE4, 0x83}));
    const Bytes fe = SendAndTake(Bytes{0xFE});
    ASSERT_EQ(fe.size(), 15u);
    EXPECT_EQ(fe[10], 0xFE);
    EXPECT_EQ(fe[11], 0xFE);
    EXPECT_EQ(fe[12], 0xFE);
    // The library's frames equal an encoder written apart from it.
    linkpump::Rng rng(3);
    for (int i = 0; i < 50; ++i) {
        const Bytes d = rng.RandomBytes(rng.Below(1024));
        FrameSpec s;
        s.data = d;
        EXPECT_EQ(SendAndTake(d), Encode(s));
    }
}

TEST(LinkFrame, EmptyFrameAndCutToMaximum)
{
    const Bytes empty = SendAndTake({}, false);
    ASSERT_EQ(empty.size(), 13u);
    EXPECT_EQ(empty[11], 0x00);
    EXPECT_EQ(empty[12], 0x00);

    ChannelGuard ch(Passive());
    const Bytes big(1500, 0x33);
    {
        std::lock_guard<std::mutex> g(ch.ch->mutex);
        OlnkBuildFrame(ch, 1500, big.data(), true, false);
    }
    const Bytes f = Next(ch);
    EXPECT_EQ((f[5] | (f[6] << 8)) & 0x3FF, 1023);
    EXPECT_EQ(f.size(), 10u + 1023u + 3u);
    EXPECT_EQ(Stats(ch).PutBytes, 1023u);
}

// An acknowledgement or header check byte equal to F9 or FE is not stuffed.
// A ten-byte header never has such a check (its low byte always has bits 0
// and 1 clear, and the high byte depends only on the sequence number and
// control bits 8-13, of which bit 12 is always clear); a longer header can.
TEST(LinkFrame, SpecialBytesInTheHeaderTravelUnchanged)
{
    for (int control = 0; control < 0x1000; ++control)
        for (int seq = 0; seq < 128; ++seq) {
            const Bytes h = {0xF9, 0xFD, 0x0A, 0x01, 0x80, uint8_t(control & 0xFF),
                             uint8_t(control >> 8), uint8_t(seq)};
            const uint16_t c = Check(h);
            for (uint8_t byte : {uint8_t(c & 0xFF), uint8_t(c >> 8)})
                ASSERT_TRUE(byte != 0xF9 && byte != 0xFE) << control << " " << seq;
        }

    auto deliver = [](const FrameSpec& s) {
        ChannelGuard ch(Passive());
        {
            std::lock_guard<std::mutex> g(ch.ch->mutex);
            ch.ch->R = static_cast<uint8_t>((s.seq - 1) & 0x7F);
        }
        Feed(ch, Encode(s));
        return Drain(ch);
    };
    for (uint8_t ack : {0xF9, 0xFE}) {
        FrameSpec s;
        s.ack = ack;
        s.data = Str("x");
        EXPECT_EQ(Encode(s)[4], ack);
        EXPECT_EQ(deliver(s).size(), 1u);
    }
    int found = 0;
    for (int extra = 0; extra < 256 * 128 && found < 4; ++extra) {
        FrameSpec s;
        s.seq = static_cast<uint8_t>(1 + (extra >> 8) % 127);
        s.headerLength = 11;
        s.extra = static_cast<uint8_t>(extra);
        s.data = Str("y");
        const Bytes f = Encode(s);
        if (f[10] != 0xF9 && f[10] != 0xFE)
            continue;
        ++found;
        const auto got = deliver(s);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], Str("y"));
    }
    EXPECT_GE(found, 2);
}

// ---- The receiver table ------------------------------------------------------------

namespace {

// Feeds bad bytes and then a good frame; returns the header errors counted
// and whether the good frame arrived.
struct RxResult
{
    uint64_t headerErr;
    uint64_t recPackets;
    uint64_t dataErr;
    std::vector<Bytes> messages;
};

RxResult RunRx(const Bytes& prefix, bool thenGood = true)
{
    ChannelGuard ch(Passive());
    Feed(ch, prefix);
    if (thenGood) {
        FrameSpec good;
        good.data = Str("ok");
        good.seq = 1;
        Feed(ch, Encode(good));
    }
    const OlnkStatistics s = Stats(ch);
    return {s.HeaderErr, s.RecPackets, s.DataErr, Drain(ch)};
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(LinkFrame, HuntAndStartBytes)
{
    // Garbage between frames, a lone F9, F9 F9 FD, a long header length.
    for (const Bytes& junk : {Bytes{0x00, 0xFD, 0xFE, 0x12}, Bytes{0xF9, 0x00},
                              Bytes{0xF9, 0xF9, 0xFD, 0x0A}, Bytes{0xF9, 0xFD, 0x80, 0x01},
                              Bytes{0xF9, 0xFD, 0xFF}}) {
        const RxResult r = RunRx(junk);
        EXPECT_EQ(r.headerErr, 0u);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0], Str("ok"));
    }
}

TEST(LinkFrame, HeaderErrorsResynchronise)
{
    FrameSpec s;
    s.data = Str("bad");
    s.seq = 5;
    std::vector<Bytes> cases;
    // Header length below 10 (the fields would never be read).
    for (uint8_t h : {0, 3, 9}) {
        cases.push_back(Bytes{0xF9, 0xFD, h, 0x01, 0x80});
    }
    // Byte 3 other than 0x01.
    {
        FrameSpec t = s;
        t.byte3 = 0x02;
        cases.push_back(Encode(t));
    }
    // Bad header check, low and high byte.
    for (size_t i : {8u, 9u}) {
        Bytes f = Encode(s);
        f[i] ^= 0x10;
        cases.push_back(f);
    }
    // A plain byte beyond the data length.
    {
        Bytes f = Encode(s);
        f.insert(f.begin() + 13, 0x41);
        cases.push_back(f);
    }
    // F9 F9 beyond the data length.
    {
        Bytes f = Encode(s);
        f.insert(f.begin() + 13, {0xF9, 0xF9});
        cases.push_back(f);
    }
    // F9 followed by anything but F9 or FD.
    {
        Bytes f = Encode(s);
        f[11] = 0xF9;
        cases.push_back(f);
    }
    for (const Bytes& c : cases) {
        const RxResult r = RunRx(c);
        EXPECT_EQ(r.headerErr, 1u);
        EXPECT_EQ(r.recPackets, 1u);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0], Str("ok"));
    }
}

TEST(LinkFrame, LongerHeaderIsAccepted)
{
    FrameSpec s;
    s.headerLength = 14;
    s.data = Str("long header");
    const RxResult r = RunRx(Encode(s), false);
    EXPECT_EQ(r.headerErr, 0u);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], Str("long header"));
}

TEST(LinkFrame, StartInsideDataBeginsANewFrame)
{
    FrameSpec s;
    s.data = Str("abandoned");
    Bytes f = Encode(s);
    f.resize(14); // header and four data bytes
    FrameSpec good;
    good.data = Str("ok");
    const Bytes g = Encode(good);
    // F9 FD inside the data: the rest of g after its F9 FD is the new frame.
    const RxResult r = RunRx(Cat(f, g), false);
    EXPECT_EQ(r.headerErr, 1u);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], Str("ok"));
}

TEST(LinkFrame, StuffedBytesAndTheEndOfData)
{
    // Data full of F9 and FE arrives unchanged.
    FrameSpec s;
    s.data = Bytes{0xF9, 0xFE, 0xF9, 0xF9, 0xFE, 0xFE, 0x00, 0xFD, 0xF9, 0xFD};
    RxResult r = RunRx(Encode(s), false);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], s.data);

    // The end of the data needs the full count: a byte equal to the check's
    // low byte after FE while data is missing ends the frame as bad.
    s.data = Str("abc");
    Bytes f = Encode(s);
    const Bytes ab = Str("ab");
    const uint16_t c = Check(ab);
    f.resize(12);
    f.insert(f.end(), {0xFE, uint8_t(c & 0xFF), uint8_t(c >> 8)});
    r = RunRx(f);
    EXPECT_EQ(r.dataErr, 1u);
    EXPECT_EQ(r.headerErr, 0u);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], Str("ok"));
}

TEST(LinkFrame, BadDataCheckIsDeliveredAsBad)
{
    for (size_t tail : {1u, 2u}) {
        FrameSpec s;
        s.data = Str("abc");
        Bytes f = Encode(s);
        f[f.size() - tail] ^= 0x01;
        const RxResult r = RunRx(f, false);
        EXPECT_EQ(r.recPackets, 1u);
        EXPECT_EQ(r.dataErr, 1u);
        EXPECT_EQ(r.headerErr, 0u);
        EXPECT_TRUE(r.messages.empty());
    }
    // The end byte followed by neither the check nor FE.
    FrameSpec s;
    s.data = Str("abc");
    Bytes f = Encode(s);
    f.resize(f.size() - 2);
    f.push_back(0x00);
    const RxResult r = RunRx(f, false);
    EXPECT_EQ(r.dataErr, 1u);
}

TEST(LinkFrame, ChunkingDoesNotMatter)
{
    // A stream of frames from a real sender, with garbage between them.
    ChannelGuard tx(Passive());
    linkpump::Rng rng(99);
    Bytes stream;
    for (int i = 0; i < 8; ++i) {
        const Bytes d = rng.RandomBytes(rng.Below(600));
        (void)OlnkSend(tx, static_cast<uint16_t>(d.size()), d.data(), 1, 0); // the stream is checked
        stream = Cat(stream, Next(tx));
        Bytes junk = rng.RandomBytes(rng.Below(5));
        for (auto& b : junk)
            b = b == 0xF9 ? 0 : b;
        stream = Cat(stream, junk);
    }
    auto run = [&](int how) {
        ChannelGuard rx(Passive());
        if (how == 0) {
            Feed(rx, stream);
        } else if (how == 1) {
            for (uint8_t b : stream)
                OlnkReceiveByte(rx, b);
        } else {
            linkpump::Rng r(how);
            size_t i = 0;
            while (i < stream.size()) {
                const size_t n = std::min<size_t>(stream.size() - i, 1 + r.Below(50));
                OlnkReceiveBytes(rx, std::span<const uint8_t>(stream.data() + i, n));
                i += n;
            }
        }
        OlnkStatistics s = Stats(rx);
        return std::make_tuple(Drain(rx), s.RecPackets, s.HeaderErr, s.DataErr);
    };
    const auto whole = run(0);
    EXPECT_EQ(std::get<0>(whole).size(), 8u);
    EXPECT_EQ(run(1), whole);
    EXPECT_EQ(run(2), whole);
    EXPECT_EQ(run(3), whole);
}

// A UDP datagram carries whole frames: a truncated datagram is dropped whole
// (whatever frame it begins with), and a frame cut at the end of a datagram
// does not swallow the start of the next one.  Both count in HeaderErr.
TEST(LinkFrame, DatagramsCarryWholeFrames)
{
    ChannelGuard ch(Passive());
    FrameSpec s;
    s.seq = 1;
    s.data = Str("one");
    EXPECT_EQ(OlnkReceiveDatagram(ch, Encode(s), true), 1);
    EXPECT_TRUE(Drain(ch).empty());
    EXPECT_EQ(Stats(ch).HeaderErr, 1u);
    // A datagram ending inside a header, then the frame in the next one.
    const Bytes cut = {0xF9, 0xFD, 0x0A, 0x01, 0x80};
    EXPECT_EQ(OlnkReceiveDatagram(ch, cut, false), 1);
    EXPECT_EQ(OlnkReceiveDatagram(ch, Encode(s), false), 1);
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("one")});
    EXPECT_EQ(Stats(ch).HeaderErr, 2u);
    EXPECT_EQ(OlnkReceiveDatagram(nullptr, cut, false), 0);
}
