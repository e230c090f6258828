// The channel with real threads: blocking sends and receives, time-outs,
// asynchronous completion from another thread, close while requests wait,
// and two channels joined by I/O threads that poll the send event.

#include "link/olnk/olnk_internal.h"
#include "link_test_util.h"
#include "tests/support/link_pump/link_pump.h"

#include "platform/sys/LastError.h"
#include "platform/sys/PollableEvent.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <deque>
#include <mutex>

using namespace linktest;

namespace {

Bytes PeerAck(uint8_t ack, uint8_t seq)
{
    FrameSpec s;
    s.ack = ack;
    s.seq = seq;
    s.reliable = false;
    return Encode(s);
}

} // namespace

TEST(LinkChannelThreads, SynchronousTimeOuts)
{
    OlnkChannel ch = Passive(1);
    const uint8_t x = 1;
    ASSERT_EQ(OlnkSend(ch, 1, &x, 1, 0), 1);
    sys::SetLastError(0);
    EXPECT_EQ(OlnkSend(ch, 1, &x, 1, 20), -1);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_TIMEOUT);
    uint16_t len = 0;
    uint8_t buf[4];
    EXPECT_EQ(OlnkReceive(ch, &len, 4, buf, 20), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_TIMEOUT);
    OlnkCloseChannel(ch);
}

TEST(LinkChannelThreads, ProducerBlockedOnAFullWindowGoesOn)
{
    OlnkChannel ch = Passive(2);
    const uint8_t x = 1;
    ASSERT_EQ(OlnkSend(ch, 1, &x, 1, 0), 1);
    ASSERT_EQ(OlnkSend(ch, 1, &x, 1, 0), 2);
    Next(ch);
    Next(ch);
    std::atomic<int> seq{-2};
    sys::Thread producer([&] {
        seq = OlnkSend(ch, 1, &x, 1, sys::INFINITE);
        return 0u;
    });
    EXPECT_EQ(sys::WaitFor(producer, 30), sys::WAIT_TIMEOUT);
    Feed(ch, PeerAck(0x82, 1));
    ASSERT_EQ(sys::WaitFor(producer, 5000), sys::WAIT_OBJECT_0);
    EXPECT_EQ(seq.load(), 3);
    OlnkCloseChannel(ch);
}

TEST(LinkChannelThreads, PendingReceiveCompletedFromAnotherThread)
{
    OlnkChannel ch = Passive();
    uint8_t buf[16];
    sys::Event done(false, false);
    OlnkReceiveRequest r;
    r.capacity = sizeof buf;
    r.buffer = buf;
    r.event = &done;
    ASSERT_EQ(OlnkReceiveAsync(ch, &r), 0);
    sys::Thread io([&] {
        FrameSpec s;
        s.data = Str("async");
        Feed(ch, Encode(s));
        return 0u;
    });
    ASSERT_EQ(sys::WaitFor(done, 5000), sys::WAIT_OBJECT_0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Bytes(buf, buf + r.length), Str("async"));
    sys::WaitFor(io);
    OlnkCloseChannel(ch);
}

TEST(LinkChannelThreads, CloseWhileRequestsWait)
{
    OlnkChannel ch = Passive(1);
    const uint8_t x = 1;
    ASSERT_EQ(OlnkSend(ch, 1, &x, 1, 0), 1);
    sys::Event sendDone(true, false), recvDone(true, false);
    OlnkSendRequest s;
    s.length = 1;
    s.data = &x;
    s.event = &sendDone;
    ASSERT_EQ(OlnkSendAsync(ch, &s, 0), 0);
    uint8_t buf[4];
    OlnkReceiveRequest r;
    r.capacity = 4;
    r.buffer = buf;
    r.event = &recvDone;
    ASSERT_EQ(OlnkReceiveAsync(ch, &r), 0);
    std::atomic<int> sendResult{0}, recvResult{-1};
    std::atomic<uint32_t> sendErr{0}, recvErr{0};
    sys::Thread sender([&] {
        sendResult = OlnkSend(ch, 1, &x, 1, sys::INFINITE);
        sendErr = sys::GetLastError();
        return 0u;
    });
    sys::Thread receiver([&] {
        uint16_t len;
        uint8_t b[4];
        recvResult = OlnkReceive(ch, &len, 4, b, sys::INFINITE);
        recvErr = sys::GetLastError();
        return 0u;
    });
    // Both are blocked inside the library before the close (closing earlier
    // would let a late thread call into a freed channel).  Waits for that
    // condition, however long a loaded machine takes to start the threads.
    for (;;) {
        {
            std::lock_guard<std::mutex> g(ch->mutex);
            if (ch->blockingCalls == 2)
                break;
        }
        sys::Sleep(1);
    }
    std::atomic<bool> threadRan{false};
    ASSERT_EQ(OlnkStartIoThread(ch,
                                [&] {
                                    threadRan = true;
                                    while (!OlnkStopRequested(ch)) {
                                        pollfd pfd{OlnkGetSendEventFd(ch), POLLIN, 0};
                                        ::poll(&pfd, 1, 1000);
                                        OlnkTakeSendEvent(ch);
                                    }
                                    return 0u;
                                }),
              1);
    EXPECT_EQ(OlnkCloseChannel(ch), 1);
    EXPECT_TRUE(threadRan);
    sys::WaitFor(sender);
    sys::WaitFor(receiver);
    EXPECT_EQ(s.result, OLNK_STATUS_CLOSED);
    EXPECT_EQ(r.status, OLNK_STATUS_CLOSED);
    EXPECT_TRUE(sendDone.IsSet());
    EXPECT_TRUE(recvDone.IsSet());
    EXPECT_EQ(sendResult.load(), -1);
    EXPECT_EQ(recvResult.load(), 0);
    EXPECT_EQ(sendErr.load(), OLNK_E_HANDLE);
    EXPECT_EQ(recvErr.load(), OLNK_E_HANDLE);
}

TEST(LinkChannelThreads, PollableEventFollowsItsState)
{
    sys::PollableEvent ev;
    pollfd pfd{ev.Fd(), POLLIN, 0};
    ASSERT_GE(ev.Fd(), 0);
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    ev.Set();
    ev.Set();
    EXPECT_EQ(::poll(&pfd, 1, 0), 1);
    EXPECT_EQ(sys::WaitFor(ev, 0), sys::WAIT_OBJECT_0); // auto reset
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    EXPECT_FALSE(ev.TryTake());
    ev.Set();
    EXPECT_TRUE(ev.TryTake());
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    sys::Thread t([&] {
        sys::Sleep(5);
        ev.Set();
        return 0u;
    });
    EXPECT_EQ(sys::WaitFor(ev, 5000), sys::WAIT_OBJECT_0);
}

// Two channels joined by I/O threads over in-memory pipes; producers and
// consumers on their own threads.  The idle turns yield without the lock.
TEST(LinkChannelThreads, TwoChannelsWithIoThreads)
{
    struct Pipe
    {
        std::mutex m;
        std::deque<Bytes> q;
    } pipes[2];
    OlnkChannel ch[2] = {OlnkCreateChannel(8, {}), OlnkCreateChannel(8, {})};
    for (int s = 0; s < 2; ++s) {
        OlnkStartIoThread(ch[s], [&, s] {
            Bytes buf(OLNK_MAX_FRAME);
            while (!OlnkStopRequested(ch[s])) {
                uint16_t len = 0;
                OlnkNextFrame(ch[s], buf.data(), &len, OlnkFrameMode::Idle);
                if (len) {
                    std::lock_guard<std::mutex> g(pipes[s].m);
                    if (pipes[s].q.size() < 64)
                        pipes[s].q.emplace_back(buf.begin(), buf.begin() + len);
                }
                std::deque<Bytes> in;
                {
                    std::lock_guard<std::mutex> g(pipes[1 - s].m);
                    in.swap(pipes[1 - s].q);
                }
                for (const Bytes& f : in)
                    OlnkReceiveBytes(ch[s], f);
                OlnkCheckConnectTimeout(ch[s]);
            }
            return 0u;
        });
    }
    constexpr int kCount = 300;
    std::atomic<int> bad{0};
    std::vector<std::unique_ptr<sys::Thread>> workers;
    for (int s = 0; s < 2; ++s) {
        workers.push_back(std::make_unique<sys::Thread>([&, s] {
            for (int i = 0; i < kCount; ++i) {
                const uint8_t m[2] = {uint8_t(i), uint8_t(i >> 8)};
                while (OlnkSend(ch[s], 2, m, 1, 100) < 0) {
                }
            }
            return 0u;
        }));
        workers.push_back(std::make_unique<sys::Thread>([&, s] {
            int got = 0;
            while (got < kCount) {
                uint8_t m[8];
                uint16_t len = 0;
                if (!OlnkReceive(ch[1 - s], &len, sizeof m, m, 5000))
                    break;
                if (len == 2 && (m[0] | (m[1] << 8)) == got)
                    ++got;
                else if (len != 0)
                    ++bad;
            }
            return static_cast<uint32_t>(got);
        }));
    }
    for (auto& w : workers)
        ASSERT_EQ(sys::WaitFor(*w, 30000), sys::WAIT_OBJECT_0);
    EXPECT_EQ(workers[1]->ExitCode(), uint32_t(kCount));
    EXPECT_EQ(workers[3]->ExitCode(), uint32_t(kCount));
    EXPECT_EQ(bad.load(), 0);
    OlnkCloseChannel(ch[0]);
    OlnkCloseChannel(ch[1]);
}
