// Tests of the wave-out layer against SDL's real audio code: the disk driver
// captures exactly the bytes the device plays, so what was written can be
// compared with what came out, and every buffer's return can be counted.
#include "wave_out.h"
#include "wave_out_devices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Collects returned buffers from whichever thread reports them.
class DoneLog {
public:
    static void Record(void* instance, WaveOutHeader* header) {
        auto* self = static_cast<DoneLog*>(instance);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->order_.push_back(header);
        self->threads_.push_back(std::this_thread::get_id());
        self->changed_.notify_all();
    }

    bool WaitFor(std::size_t count, std::chrono::seconds limit = 20s) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return order_.size() >= count; });
    }

    std::vector<WaveOutHeader*> Order() {
        std::lock_guard<std::mutex> lock(mutex_);
        return order_;
    }

    std::vector<std::thread::id> Threads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<WaveOutHeader*> order_;
    std::vector<std::thread::id> threads_;
};

// A buffer with its own storage, filled with a pattern that never equals the
// format's silence, so the capture can be searched for it.
struct OwnedBuffer {
    std::vector<std::uint8_t> bytes;
    WaveOutHeader header;

    OwnedBuffer(std::size_t length, std::uint8_t seed, std::uint8_t silence) : bytes(length) {
        for (std::size_t i = 0; i < length; ++i) {
            auto value = static_cast<std::uint8_t>(seed + i * 7);
            bytes[i] = value == silence ? static_cast<std::uint8_t>(value + 1) : value;
        }
        header.data = bytes.data();
        header.length = static_cast<int>(length);
    }
};

std::vector<std::uint8_t> ReadCapture(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> WithoutByte(const std::vector<std::uint8_t>& bytes, std::uint8_t removed) {
    std::vector<std::uint8_t> kept;
    for (std::uint8_t b : bytes) {
        if (b != removed) kept.push_back(b);
    }
    return kept;
}

// Each test gets its own capture file and a disk driver that runs as fast as
// it can. SDL reads these variables whenever its audio subsystem starts.
class WaveOutDisk : public ::testing::Test {
protected:
    void SetUp() override {
        capture_ = std::filesystem::temp_directory_path() /
                   ("wave_out_test_" + std::to_string(::getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }
    void TearDown() override { std::filesystem::remove(capture_); }

    std::filesystem::path capture_;
};

constexpr WaveOutFormat U8Mono11025{1, 11025, 8};
constexpr WaveOutFormat S16Stereo22050{2, 22050, 16};

TEST_F(WaveOutDisk, PlaysU8MonoBytesInWriteOrderAndReturnsEachOnce) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log));
    // Odd lengths, none a multiple of the device's buffer, and one empty.
    OwnedBuffer a(5001, 1, 0x80), b(0, 0, 0x80), c(12345, 90, 0x80), d(3, 200, 0x80);
    for (OwnedBuffer* buffer : {&a, &b, &c, &d}) {
        out.Prepare(&buffer->header);
        ASSERT_TRUE(out.Write(&buffer->header));
    }
    out.Restart();
    ASSERT_TRUE(log.WaitFor(4));
    out.Close();

    EXPECT_EQ(log.Order(), (std::vector<WaveOutHeader*>{&a.header, &b.header, &c.header, &d.header}));
    std::vector<std::uint8_t> expected = a.bytes;
    expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
    expected.insert(expected.end(), d.bytes.begin(), d.bytes.end());
    EXPECT_EQ(WithoutByte(ReadCapture(capture_), 0x80), expected);
    for (std::thread::id played : log.Threads()) EXPECT_NE(played, std::this_thread::get_id());
}

TEST_F(WaveOutDisk, PlaysS16StereoContiguouslyWhenQueuedBeforeRestart) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, S16Stereo22050, &DoneLog::Record, &log));
    OwnedBuffer a(40000, 3, 0), b(22222, 77, 0);
    for (OwnedBuffer* buffer : {&a, &b}) {
        out.Prepare(&buffer->header);
        ASSERT_TRUE(out.Write(&buffer->header));
    }
    out.Restart();
    ASSERT_TRUE(log.WaitFor(2));
    out.Close();

    // The paused device wrote silence first; the two buffers follow without
    // a gap, byte for byte, then silence again.
    std::vector<std::uint8_t> captured = ReadCapture(capture_);
    std::vector<std::uint8_t> expected = a.bytes;
    expected.insert(expected.end(), b.bytes.begin(), b.bytes.end());
    auto first = std::find_if(captured.begin(), captured.end(), [](std::uint8_t v) { return v != 0; });
    ASSERT_GE(captured.end() - first, static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_EQ((first - captured.begin()) % 4, 0) << "stream lost frame alignment";
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first));
    EXPECT_TRUE(std::all_of(first + static_cast<std::ptrdiff_t>(expected.size()), captured.end(),
                            [](std::uint8_t v) { return v == 0; }));
}

TEST_F(WaveOutDisk, ResetHandsBackEveryQueuedBufferAtOnceOnTheCallersThread) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, S16Stereo22050, &DoneLog::Record, &log));
    OwnedBuffer a(4000, 1, 0), b(4000, 2, 0), c(4000, 3, 0);
    for (OwnedBuffer* buffer : {&a, &b, &c}) {
        out.Prepare(&buffer->header);
        ASSERT_TRUE(out.Write(&buffer->header));
    }
    std::this_thread::sleep_for(50ms);  // paused: nothing may come back yet
    EXPECT_TRUE(log.Order().empty());

    out.Reset();
    EXPECT_EQ(log.Order(), (std::vector<WaveOutHeader*>{&a.header, &b.header, &c.header}));
    for (std::thread::id reset : log.Threads()) EXPECT_EQ(reset, std::this_thread::get_id());
    for (OwnedBuffer* buffer : {&a, &b, &c}) EXPECT_TRUE(out.Unprepare(&buffer->header));

    // Running after the reset: nothing comes back twice, and a buffer written
    // again plays and returns normally.
    out.Restart();
    out.Prepare(&a.header);
    ASSERT_TRUE(out.Write(&a.header));
    ASSERT_TRUE(log.WaitFor(4));
    std::this_thread::sleep_for(50ms);
    out.Close();
    EXPECT_EQ(log.Order().size(), 4u);
    EXPECT_EQ(log.Order().back(), &a.header);
}

TEST_F(WaveOutDisk, ResetWhilePlayingNeitherLosesNorDoublesABuffer) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log));
    out.Restart();
    std::vector<std::unique_ptr<OwnedBuffer>> buffers;
    for (int round = 0; round < 200; ++round) {
        buffers.push_back(std::make_unique<OwnedBuffer>(300 + round * 37, static_cast<std::uint8_t>(round), 0x80));
        out.Prepare(&buffers.back()->header);
        ASSERT_TRUE(out.Write(&buffers.back()->header));
        if (round % 7 == 6) out.Reset();  // races the audio thread's returns
    }
    out.Close();  // hands back whatever is still queued

    std::map<WaveOutHeader*, int> returns;
    for (WaveOutHeader* h : log.Order()) ++returns[h];
    EXPECT_EQ(returns.size(), buffers.size());
    for (auto& [header, times] : returns) EXPECT_EQ(times, 1);
}

TEST_F(WaveOutDisk, CloseHandsBackQueuedBuffersAndNoCallbackRunsAfterIt) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, S16Stereo22050, &DoneLog::Record, &log));
    std::vector<std::unique_ptr<OwnedBuffer>> buffers;
    for (int i = 0; i < 20; ++i) {
        buffers.push_back(std::make_unique<OwnedBuffer>(100000, static_cast<std::uint8_t>(i), 0));
        out.Prepare(&buffers.back()->header);
        ASSERT_TRUE(out.Write(&buffers.back()->header));
    }
    out.Restart();
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(log.Order().size(), buffers.size());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(log.Order().size(), buffers.size());
    EXPECT_FALSE(out.Write(&buffers.front()->header)) << "a closed device must refuse buffers";
}

TEST_F(WaveOutDisk, RefusesUnpreparedAndAlreadyQueuedBuffers) {
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log));
    OwnedBuffer a(1000, 5, 0x80);
    EXPECT_FALSE(out.Write(&a.header));
    out.Prepare(&a.header);
    EXPECT_TRUE(out.Write(&a.header));
    EXPECT_FALSE(out.Write(&a.header)) << "queued twice would come back twice";
    EXPECT_FALSE(out.Unprepare(&a.header)) << "the device still reads it";
    out.Reset();
    EXPECT_TRUE(out.Unprepare(&a.header));
    EXPECT_FALSE(a.header.prepared);
    out.Close();
    EXPECT_EQ(log.Order().size(), 1u);
}

TEST_F(WaveOutDisk, OpensOnlyExistingDevicesAndSupportedFormats) {
    DoneLog log;
    const std::vector<std::string> names = WaveOutDeviceNames();
    ASSERT_GE(names.size(), 1u);
    EXPECT_EQ(WaveOutDeviceCount(), static_cast<int>(names.size()));

    WaveOut out;
    EXPECT_TRUE(out.Open(0, U8Mono11025, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log)) << "already open";
    out.Close();
    EXPECT_FALSE(out.Open(static_cast<int>(names.size()), U8Mono11025, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(-2, U8Mono11025, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(-1, WaveOutFormat{3, 44100, 16}, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(-1, WaveOutFormat{2, 44100, 24}, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(-1, WaveOutFormat{2, 0, 16}, &DoneLog::Record, &log));
    EXPECT_FALSE(out.IsOpen());
    // Every refused open gave its subsystem reference back: the next one works.
    EXPECT_TRUE(out.Open(-1, WaveOutFormat{2, 48000, 16}, &DoneLog::Record, &log));
}

TEST_F(WaveOutDisk, DeviceListAndOpenWorkFromSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> counts(3, -1);
    std::vector<int> opened(3, 0);
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                counts[t] = WaveOutDeviceCount();
                DoneLog log;
                WaveOut out;
                if (out.Open(-1, U8Mono11025, &DoneLog::Record, &log)) ++opened[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 3; ++t) {
        EXPECT_GE(counts[t], 1);
        EXPECT_EQ(opened[t], 3);
    }
}

TEST_F(WaveOutDisk, LeavesTheProcessSignalHandlersAlone) {
    // SDL would otherwise turn SIGINT and SIGTERM into events nobody reads,
    // so the program could not be interrupted or terminated while it plays.
    DoneLog log;
    WaveOut out;
    ASSERT_TRUE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log));
    for (int signalNumber : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(signalNumber, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << "signal " << signalNumber;
    }
}

TEST(WaveOutUnavailable, NoDriverMeansNoDevicesAndOpenFails) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    DoneLog log;
    WaveOut out;
    EXPECT_EQ(WaveOutDeviceCount(), 0);
    EXPECT_TRUE(WaveOutDeviceNames().empty());
    EXPECT_FALSE(out.Open(-1, U8Mono11025, &DoneLog::Record, &log));
    EXPECT_FALSE(out.Open(0, U8Mono11025, &DoneLog::Record, &log));
    EXPECT_FALSE(out.IsOpen());
}

}  // namespace
