// The effect's helper threads: every task runs once per run, tasks really run
// at the same time, starting twice never doubles the helpers, and a run of
// the effect can be stopped from another thread while both channels work.
// Built for the thread sanitizer's run as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"
#include "worker_pool.h"

TEST(WorkerPool, EveryTaskRunsOncePerRunWhateverTheHelpers) {
    for (int helpers : {0, 1, 3}) {
        WorkerPool pool;
        pool.Start(helpers);
        EXPECT_EQ(pool.Helpers(), helpers);
        std::vector<std::atomic<int>> runs(7);
        for (int round = 0; round < 200; ++round) {
            const auto task = [&runs](int index) { runs[index].fetch_add(1); };
            pool.Run(round % 8, task);  // 0 to 7 tasks, including none
        }
        for (int index = 0; index < 7; ++index) {
            // Task index i exists in the runs with more than i tasks.
            const int expected = 25 * (7 - index);
            EXPECT_EQ(runs[index].load(), expected) << helpers << " helpers, task " << index;
        }
    }
}

TEST(WorkerPool, TwoTasksRunAtTheSameTimeOnAHelper) {
    WorkerPool pool;
    pool.Start(1);
    std::mutex mutex;
    std::condition_variable arrived;
    int present = 0;
    bool together = true;
    std::thread::id ids[2];
    // Each task waits for the other: with only one thread this could never
    // finish, so the wait is bounded and reported.
    const auto task = [&](int index) {
        std::unique_lock<std::mutex> lock(mutex);
        ids[index] = std::this_thread::get_id();
        ++present;
        arrived.notify_all();
        if (!arrived.wait_for(lock, std::chrono::seconds(20), [&] { return present == 2; })) {
            together = false;
        }
    };
    pool.Run(2, task);
    EXPECT_TRUE(together);
    EXPECT_NE(ids[0], ids[1]);
}

TEST(WorkerPool, StartingTwiceKeepsTheHelpersAndStopJoinsThem) {
    WorkerPool pool;
    pool.Stop();  // nothing running: nothing to join
    pool.Start(1);
    pool.Start(1);
    EXPECT_EQ(pool.Helpers(), 1);
    pool.Stop();
    pool.Stop();
    EXPECT_EQ(pool.Helpers(), 0);
    pool.Start(2);
    EXPECT_EQ(pool.Helpers(), 2);
    int sum = 0;
    std::mutex mutex;
    const auto task = [&](int index) {
        const std::lock_guard<std::mutex> lock(mutex);
        sum += index;
    };
    pool.Run(4, task);
    EXPECT_EQ(sum, 6);
}

TEST(EffectRunThreads, ConstructAgainAndStopFromTheWindowThreadWhileChannelsRun) {
    ResetParameterBlock();
    PitchOctaves.store(5.0 / 12.0);
    HostOutput& host = HostOutput::Reset();
    const int count = 65536 * 3;
    std::vector<double> input[2] = {std::vector<double>(count), std::vector<double>(count)};
    for (int t = 0; t < count; ++t) {
        input[0][t] = 0.5 * std::sin(0.031 * t);
        input[1][t] = 0.5 * std::sin(0.047 * t);
    }
    const ChannelBuffers in{{input[0].data(), input[1].data()}};
    EffectRun run;
    // A failed open leaves a run that is constructed again without being
    // ended: the helper of the first must be reused, not doubled or leaked.
    run.Construct();
    ASSERT_EQ(run.Process(44100, 65536, &in, &host.buffers, &host.capacity, HostOutput::Resize), 32767);
    const int helpers = WorkerPool::HelpersForMachine(1);
    EXPECT_EQ(run.HelperThreads(), helpers);
    run.Construct();
    EXPECT_EQ(run.HelperThreads(), helpers);
    std::atomic<bool> started{false};
    std::thread window([&] {
        while (!started.load()) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        run.RequestStop();
        BandMask.store(0x1ff);  // the window may change parameters meanwhile
    });
    started.store(true);
    const int first = run.Process(44100, count, &in, &host.buffers, &host.capacity, HostOutput::Resize);
    window.join();
    EXPECT_TRUE(run.StopRequested());
    // Stopping cuts band work only: the counts stay those of a full run.
    EXPECT_EQ(first, 32767 + 2 * 32767 + 2 * 32767);
    const int later = run.Process(44100, count, &in, &host.buffers, &host.capacity, HostOutput::Resize);
    EXPECT_EQ(later, 6 * 32767);
    EXPECT_EQ(run.HelperThreads(), helpers);
    run.Destruct();
    EXPECT_EQ(run.HelperThreads(), 0);
    ResetParameterBlock();
}
