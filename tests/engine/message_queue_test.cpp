// Tests of the worker's queues: the lock-free ring that carries returned
// sound buffers from the audio thread, and the window's message queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "message_queue.h"
#include "wave_file.h"

namespace {

using namespace std::chrono_literals;

TEST(LockFreeRing, KeepsOrderAndRefusesWhenFull) {
    LockFreeRing<int, 4> ring;
    int items[5] = {0, 1, 2, 3, 4};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(ring.Push(&items[i]));
    }
    EXPECT_FALSE(ring.Push(&items[4]));
    EXPECT_EQ(ring.Pop(), &items[0]);
    EXPECT_TRUE(ring.Push(&items[4]));
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(ring.Pop(), &items[i]);
    }
    EXPECT_EQ(ring.Pop(), nullptr);
}

TEST(LockFreeRing, TwoProducersAndOneConsumerLoseNothing) {
    constexpr int kPerProducer = 20000;
    LockFreeRing<int, 8> ring;
    std::vector<int> items(2 * kPerProducer);
    std::vector<int> seen(items.size(), 0);
    const auto produce = [&](int first) {
        for (int i = first; i < first + kPerProducer; ++i) {
            items[static_cast<std::size_t>(i)] = i;
            while (!ring.Push(&items[static_cast<std::size_t>(i)])) {
                std::this_thread::yield();
            }
        }
    };
    std::thread a(produce, 0);
    std::thread b(produce, kPerProducer);
    int received = 0;
    int lastFromA = -1;
    int lastFromB = kPerProducer - 1;
    while (received < 2 * kPerProducer) {
        if (int* item = ring.Pop()) {
            ++seen[static_cast<std::size_t>(*item)];
            int& last = *item < kPerProducer ? lastFromA : lastFromB;
            EXPECT_GT(*item, last) << "each producer's items arrive in order";
            last = *item;
            ++received;
        } else {
            std::this_thread::yield();
        }
    }
    a.join();
    b.join();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 2 * kPerProducer);
}

TEST(MessageQueue, DeliversInOrderAndBoundedWaitsEnd) {
    MessageQueue queue;
    EXPECT_FALSE(queue.Wait(1ms).has_value());
    std::thread window([&] {
        for (int i = 0; i < 100; ++i) {
            queue.Post(WorkerMessage{WM_WAVE_OPEN, 0, i});
        }
    });
    for (int i = 0; i < 100; ++i) {
        const auto message = queue.Wait(std::nullopt);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->lParam, i);
    }
    window.join();
}

TEST(ProgressPercent, TruncatesAndNeverReachesOneHundred) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(99, 99), 99);
    EXPECT_EQ(ProgressPercent(50, 99), 50);
    EXPECT_EQ(ProgressPercent(49, 99), 49);
    EXPECT_EQ(ProgressPercent(4000000000LL, 4000000000LL), 99) << "sizes beyond 32 bits";
}

}  // namespace
