// The rule that calls a control system silent, on a clock of the test's own:
// pauses shorter than the limit, the limit itself, frames coming back, a
// link that is not up, and this side not looking for a while.
#include "link/linkobj/olnk_link_silence.h"

#include <gtest/gtest.h>

using linkobj::SilenceWatch;
using Change = SilenceWatch::Change;
using namespace std::chrono_literals;

namespace {

// Observes every 50 ms (the sweep of the session's idle call) from `from`
// for `span` without a new frame; returns the first change other than None
// and sets `at` to its time.
Change Quiet(SilenceWatch& w, SilenceWatch::Clock::time_point& t, std::chrono::milliseconds span, uint64_t received)
{
    const auto end = t + span;
    while (t < end) {
        t += 50ms;
        if (const Change c = w.Observe(t, true, received); c != Change::None)
            return c;
    }
    return Change::None;
}

} // namespace

TEST(LinkSilence, PausesBelowTheLimitStayLiveAndTheLimitMakesItSilentOnce)
{
    SilenceWatch w(5000ms, 1000ms);
    SilenceWatch::Clock::time_point t{};
    EXPECT_EQ(w.Observe(t, true, 10), Change::None);
    // Frames come, with pauses up to just below the limit between them.
    uint64_t received = 10;
    for (auto pause : {500ms, 2000ms, 4900ms, 4950ms}) {
        EXPECT_EQ(Quiet(w, t, pause, received), Change::None) << pause.count();
        EXPECT_EQ(w.Observe(t += 50ms, true, ++received), Change::None);
        EXPECT_FALSE(w.Silent());
    }
    // Then none: silent at the limit, told once.
    const auto lastFrame = t;
    EXPECT_EQ(Quiet(w, t, 6000ms, received), Change::FellSilent);
    EXPECT_EQ(t - lastFrame, 5000ms);
    EXPECT_TRUE(w.Silent());
    EXPECT_EQ(Quiet(w, t, 20000ms, received), Change::None);
    EXPECT_TRUE(w.Silent());
    // The next frame: it answers again, once.
    EXPECT_EQ(w.Observe(t += 50ms, true, received + 1), Change::AnswersAgain);
    EXPECT_FALSE(w.Silent());
    EXPECT_EQ(w.Observe(t += 50ms, true, received + 1), Change::None);
    // And the limit counts from that frame.
    EXPECT_EQ(Quiet(w, t, 4900ms, received + 1), Change::None);
}

TEST(LinkSilence, ALinkNotUpIsNeverSilentAndIsWatchedAfreshOnceUp)
{
    SilenceWatch w(5000ms, 1000ms);
    SilenceWatch::Clock::time_point t{};
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(w.Observe(t += 50ms, false, 3), Change::None);
    EXPECT_FALSE(w.Silent());
    // Up with the same count: the time starts now, not at the last frame.
    EXPECT_EQ(w.Observe(t += 50ms, true, 3), Change::None);
    EXPECT_EQ(Quiet(w, t, 4900ms, 3), Change::None);
    EXPECT_EQ(Quiet(w, t, 200ms, 3), Change::FellSilent);
    // A reset while silent: not up, no longer silent, and no "answers again"
    // when it is up once more (the reset's own rules read the state anew).
    EXPECT_EQ(w.Observe(t += 50ms, false, 3), Change::None);
    EXPECT_FALSE(w.Silent());
    EXPECT_EQ(w.Observe(t += 50ms, true, 9), Change::None);
    // Forget: a new link starts with a count of its own.
    w.Forget();
    EXPECT_EQ(w.Observe(t += 50ms, true, 0), Change::None);
    EXPECT_EQ(Quiet(w, t, 4900ms, 0), Change::None);
}

TEST(LinkSilence, AGapInTheObservationsIsNotTakenForSilence)
{
    SilenceWatch w(5000ms, 1000ms);
    SilenceWatch::Clock::time_point t{};
    EXPECT_EQ(w.Observe(t, true, 1), Change::None);
    EXPECT_EQ(Quiet(w, t, 1000ms, 1), Change::None);
    // This side stood for 8 s: the frames that came meanwhile may not be
    // read yet, so the first look after the gap concludes nothing ...
    EXPECT_EQ(w.Observe(t += 8000ms, true, 1), Change::None);
    // ... and the frames it then finds keep the link live.
    EXPECT_EQ(w.Observe(t += 50ms, true, 20), Change::None);
    EXPECT_FALSE(w.Silent());
    // A gap with nothing behind it: silent one gap's length later.
    EXPECT_EQ(Quiet(w, t, 1000ms, 20), Change::None);
    EXPECT_EQ(w.Observe(t += 8000ms, true, 20), Change::None);
    const auto resumed = t;
    EXPECT_EQ(Quiet(w, t, 2000ms, 20), Change::FellSilent);
    EXPECT_EQ(t - resumed, 1000ms);
}
