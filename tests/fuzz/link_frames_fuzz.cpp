// Fuzz target of the link channel's frame receiver: arbitrary bytes from
// the line, fed to a channel of the control system's side (running, link
// state 0) at once and to a channel of this side (just opened, state 2)
// byte by byte.  Whatever arrives, a delivered message is never longer
// than a frame can carry, the channel goes on building frames within the
// largest frame, and it closes cleanly.

#include "link/olnk/olnk_transport.h"
#include "tests/fuzz/FuzzSupport.h"

#include <span>
#include <vector>

namespace {

void Check(OlnkChannel ch)
{
    uint8_t buf[OLNK_MAX_DATA];
    uint16_t len = 0;
    for (int i = 0; i < 16 && OlnkReceive(ch, &len, sizeof buf, buf, 0); ++i)
        FUZZ_CHECK(len <= OLNK_MAX_DATA, "a delivered message fits a frame");

    uint8_t frame[OLNK_MAX_FRAME];
    for (OlnkFrameMode mode : {OlnkFrameMode::Ack, OlnkFrameMode::None, OlnkFrameMode::Idle}) {
        uint16_t n = 0;
        FUZZ_CHECK(OlnkNextFrame(ch, frame, &n, mode) == 1, "the channel builds frames");
        FUZZ_CHECK(n <= OLNK_MAX_FRAME, "a built frame fits the largest frame");
        FUZZ_CHECK(n == 0 || (frame[0] == 0xF9 && frame[1] == 0xFD), "a built frame starts F9 FD");
    }
    OlnkStatistics st{};
    st.size = sizeof st;
    OlnkGetStatistics(ch, &st);
    FUZZ_CHECK(st.size == sizeof st, "the statistics keep their size");
    OlnkCheckConnectTimeout(ch);
    const int state = OlnkGetLinkState(ch);
    FUZZ_CHECK(state >= 0 && state <= 3, "the link state is one of the four");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t now = 1000;
    OlnkChannelOptions control;
    control.passive = true;
    control.clock = [&now] { return now; };
    OlnkChannel running = OlnkCreateChannel(20, {}, control);
    FUZZ_CHECK(running != nullptr, "the channel opens");
    OlnkReceiveBytes(running, std::span<const uint8_t>(data, size));
    Check(running);
    // The same bytes once more, later: repeats, and the reset's time-out.
    now += 10'001;
    OlnkReceiveBytes(running, std::span<const uint8_t>(data, size));
    Check(running);
    OlnkDestroyChannel(running);

    static const uint8_t kConnect[] = {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0};
    OlnkChannelOptions ours;
    ours.clock = [&now] { return now; };
    OlnkChannel opened = OlnkCreateChannel(5, kConnect, ours);
    FUZZ_CHECK(opened != nullptr, "the channel opens");
    for (size_t i = 0; i < size; ++i)
        OlnkReceiveByte(opened, data[i]);
    Check(opened);
    OlnkDestroyChannel(opened);
    return 0;
}
