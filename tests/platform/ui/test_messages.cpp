// Messages from worker threads: real threads, a real event loop, a target
// destroyed while they post.
#include "platform/ui/Messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ui;

namespace {

std::atomic<int> g_recordsFreed{0};

class CountedRecord : public MessageRecord
{
public:
    explicit CountedRecord(int n) : value(n) {}
    ~CountedRecord() override { g_recordsFreed.fetch_add(1); }
    int value;
};

} // namespace

TEST(ThreadMessages, PostsFromEightThreadsToATargetDestroyedHalfWay)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100000;
    const int recordsBefore = LiveMessageRecords();
    g_recordsFreed = 0;

    auto* target = new QObject;
    std::vector<int> lastSeen(kThreads, -1);
    bool inOrder = true;
    int delivered = 0;
    MessageHandle h = RegisterMessageTarget(target, [&](uint32_t msg, uintptr_t w, intptr_t l, MessageRecord* r) {
        EXPECT_EQ(msg, WM_LINK_RESULT);
        int thread = int(w);
        int seq = int(l);
        if (seq <= lastSeen[size_t(thread)])
            inOrder = false;
        lastSeen[size_t(thread)] = seq;
        if (r && static_cast<CountedRecord*>(r)->value != seq)
            inOrder = false;
        if (++delivered == kThreads * kPerThread / 2) {
            // Half-way: the target goes while the threads still post.
            delete target;
            target = nullptr;
        }
        return 0;
    });
    ASSERT_NE(h, 0u);

    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // Every other message carries a record.
                std::unique_ptr<MessageRecord> rec;
                if (i % 2 == 0)
                    rec = std::make_unique<CountedRecord>(i);
                if (!PostMessageTo(h, WM_LINK_RESULT, uintptr_t(t), intptr_t(i), std::move(rec)))
                    refused.fetch_add(1);
            }
        });

    QElapsedTimer clock;
    clock.start();
    while (target && clock.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (auto& th : threads)
        th.join();
    QApplication::processEvents();

    EXPECT_EQ(target, nullptr);
    EXPECT_TRUE(inOrder);
    EXPECT_GE(delivered, kThreads * kPerThread / 2);
    EXPECT_FALSE(IsMessageTarget(h));
    EXPECT_FALSE(PostMessageTo(h, WM_LINK_STATE));
    // Every record was freed: delivered, dropped at destruction or refused.
    EXPECT_EQ(LiveMessageRecords(), recordsBefore);
    EXPECT_EQ(g_recordsFreed.load(), kThreads * kPerThread / 2);
}

TEST(ThreadMessages, UnknownHandlesDropTheMessageAndFreeTheRecord)
{
    g_recordsFreed = 0;
    EXPECT_FALSE(PostMessageTo(0, WM_LINK_STATE, 1, 2, std::make_unique<CountedRecord>(1)));
    EXPECT_FALSE(PostMessageTo(0xFFFFFF, WM_LINK_NOTIFY, 1, 2, std::make_unique<CountedRecord>(2)));
    EXPECT_EQ(g_recordsFreed.load(), 2);
    EXPECT_EQ(RegisterMessageTarget(nullptr, [](uint32_t, uintptr_t, intptr_t, MessageRecord*) { return 0; }), 0u);
}

TEST(ThreadMessages, RecordLivesUntilTheHandlerReturnsAndQueuedOnesGoWithTheTarget)
{
    g_recordsFreed = 0;
    QObject target;
    int value = 0;
    int freedDuringHandler = -1;
    MessageHandle h = RegisterMessageTarget(&target, [&](uint32_t msg, uintptr_t, intptr_t, MessageRecord* r) {
        EXPECT_EQ(msg, WM_XFER_RESULT);
        value = static_cast<CountedRecord*>(r)->value;
        freedDuringHandler = g_recordsFreed.load();
        return 1;
    });
    std::thread([h] { PostMessageTo(h, WM_XFER_RESULT, 0, 0, std::make_unique<CountedRecord>(42)); }).join();
    EXPECT_EQ(value, 0); // delivered only through the event loop
    QApplication::processEvents();
    EXPECT_EQ(value, 42);
    EXPECT_EQ(freedDuringHandler, 0);
    EXPECT_EQ(g_recordsFreed.load(), 1);

    // Unregistering drops what is still queued, with its records.
    PostMessageTo(h, WM_XFER_RESULT, 0, 0, std::make_unique<CountedRecord>(7));
    UnregisterMessageTarget(h);
    EXPECT_EQ(g_recordsFreed.load(), 2);
    QApplication::processEvents();
    EXPECT_EQ(value, 42);
    // Handles are not reused.
    MessageHandle h2 = RegisterMessageTarget(&target, [](uint32_t, uintptr_t, intptr_t, MessageRecord*) { return 0; });
    EXPECT_NE(h2, h);
    EXPECT_EQ(WM_LINK_STATE, 0x8000u);
    EXPECT_EQ(WM_LINK_RESULT, 0x800Au);
    EXPECT_EQ(WM_LINK_NOTIFY, 0x800Bu);
    EXPECT_EQ(WM_XFER_RESULT, 0x801Eu);
}
