#include "platform/sys/Sync.h"
#include "platform/sys/Time.h"
#include "tests/support/platform/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace sys;

TEST(Sync, AutoEventReleasesOneWaiterAndResets)
{
    Event ev(false, true);
    EXPECT_EQ(WaitFor(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitFor(ev, 0), WAIT_TIMEOUT);
    ev.Set();
    EXPECT_TRUE(ev.IsSet());
    EXPECT_EQ(WaitFor(ev, 10), WAIT_OBJECT_0);
    EXPECT_FALSE(ev.IsSet());
}

TEST(Sync, ManualEventStaysSetForEveryWaiter)
{
    Event ev(true, false);
    std::atomic<int> woke{0};
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(std::make_unique<Thread>([&] {
            // Bounded, so that a lost wake-up fails the test instead of
            // hanging it; the threads are joined long before.
            if (WaitFor(ev, 20000) == WAIT_OBJECT_0)
                ++woke;
            return 0u;
        }));
    // All four blocked in the wait, so that the one Set must wake them.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ev.WaiterCount() == 4; }));
    EXPECT_EQ(woke.load(), 0);
    ev.Set();
    for (auto& t : threads)
        EXPECT_EQ(WaitFor(*t, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(woke.load(), 4);
    EXPECT_TRUE(ev.IsSet());
    EXPECT_EQ(ev.WaiterCount(), 0u);
}

TEST(Sync, SemaphoreCountsAndRefusesPastMaximum)
{
    Semaphore s(1, 3);
    int32_t prev = -1;
    EXPECT_TRUE(s.Release(2, &prev));
    EXPECT_EQ(prev, 1);
    EXPECT_FALSE(s.Release(1));
    EXPECT_FALSE(s.Release(0));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(WaitFor(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitFor(s, 0), WAIT_TIMEOUT);
    EXPECT_EQ(s.Count(), 0);
}

TEST(Sync, WaitForAnyTakesTheFirstSignalledAndTimesOut)
{
    Event a(false, false), b(false, false);
    Semaphore s(0, 10);
    uint32_t t0 = GetTickCount();
    EXPECT_EQ(WaitForAny({&a, &b, &s}, 30), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount() - t0, 25u);
    b.Set();
    s.Release();
    EXPECT_EQ(WaitForAny({&a, &b, &s}, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForAny({&a, &b, &s}, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForAny({&a, &b, &s}, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForAny(std::span<Waitable* const>(), 0), WAIT_FAILED);
}

TEST(Sync, EachReleaseWakesExactlyOneOfManyWaiters)
{
    Semaphore s(0, 1000);
    Event stop(true, false);
    std::atomic<int> taken{0};
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 0; i < 8; ++i)
        threads.push_back(std::make_unique<Thread>([&] {
            for (;;) {
                uint32_t r = WaitForAny({&stop, &s});
                if (r == WAIT_OBJECT_0)
                    return 0u;
                ++taken;
            }
        }));
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(s.Release());
    while (s.Count() > 0)
        Sleep(1);
    stop.Set();
    threads.clear();
    EXPECT_EQ(taken.load(), 500);
}

TEST(Sync, ThreadEndIsSignalledWithItsExitCode)
{
    Thread t([] { return 42u; }, true);
    EXPECT_EQ(WaitFor(t, 20), WAIT_TIMEOUT);
    t.Resume();
    EXPECT_EQ(WaitFor(t, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(t.IsFinished());
    EXPECT_EQ(t.ExitCode(), 42u);
}

TEST(Sync, MutexIsRecursiveAndOwnedByOneThread)
{
    Mutex m;
    EXPECT_EQ(WaitFor(m, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitFor(m, 0), WAIT_OBJECT_0);
    Thread other([&] { return WaitFor(m, 10); });
    WaitFor(other);
    EXPECT_EQ(other.ExitCode(), WAIT_TIMEOUT);
    EXPECT_TRUE(m.Release());
    EXPECT_TRUE(m.Release());
    EXPECT_FALSE(m.Release());
}
