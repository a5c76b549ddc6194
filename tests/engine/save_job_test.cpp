// Tests of the worker thread and the save job: whole saves read back with
// libsndfile, stops, the order of plug-in calls, refused jobs and outputs,
// and a stop request that meets the job's own end.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <thread>

#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wav_writer.h"
#include "wave_file.h"

namespace {

using namespace std::chrono_literals;

struct SaveJobTest : ::testing::Test {
    TempDir dir;
    WindowInbox inbox;
    CWaveFile engine{inbox.Target()};

    std::string WriteSource(const Bytes& wav, const std::string& name = "in.wav") {
        WriteFileBytes(dir.Path(name), wav);
        return dir.Path(name);
    }
    bool Prepare(const std::vector<void*>& modules, const std::string& source, const std::string& output, int channels,
                 int rate, int bits) {
        return engine.PrepareJob(modules, source, output, channels, rate, bits, SourceBlockFrames, -1);
    }
    /// The lParam of the next WM_WAVE_SAVE_ENDED, or -1 when none came.
    long SaveEnded() {
        const auto message = inbox.Next();
        if (!message || message->message != WM_WAVE_SAVE_ENDED) {
            return -1;
        }
        return static_cast<long>(message->lParam);
    }
};

/// Reads a counter a test plug-in changes atomically on another thread.
int LoadAtomic(const TestPlugin& plugin, const char* name) {
    return std::atomic_ref<int>(*plugin.Symbol<int>(name)).load();
}

/// 8-bit output value of the mono mix of two 16-bit samples.
short ExpectedMono8(int left, int right) {
    const double x = (left / 32768.0 + right / 32768.0) * 0.5;
    const int k = std::clamp(static_cast<int>(std::floor(x * 128 + 0.5)), -128, 127);
    return static_cast<short>(k * 256);  // as libsndfile reads unsigned 8-bit
}

TEST_F(SaveJobTest, TenSecondsOfStereoSavedAs22kHzMono8Bit) {
    constexpr int kFrames = 441000;
    const std::string source = WriteSource(PcmWav(2, 44100, 16, Pattern16Samples(kFrames, 2)));
    TestPlugin passthrough("passthrough");
    const std::string output = dir.Path("out.wav");
    ASSERT_TRUE(Prepare({passthrough.Handle()}, source, output, 1, 22050, 8));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    EXPECT_EQ(engine.State(), WS_IDLE);

    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.samplerate, 22050);
    EXPECT_EQ(read.info.channels, 1);
    EXPECT_EQ(read.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    constexpr int kBlocks = (kFrames + 65535) / 65536;
    ASSERT_EQ(read.info.frames, kFrames / 2) << "the source's length, without the last block's padding";
    for (int j = 0; j < read.info.frames; ++j) {
        const int frame = (j / 32768) * 65536 + 2 * (j % 32768);
        const short expected = frame < kFrames ? ExpectedMono8(Pattern16(frame, 0), Pattern16(frame, 1)) : 0;
        ASSERT_EQ(read.samples[static_cast<std::size_t>(j)], expected) << "frame " << j;
    }
    EXPECT_EQ(engine.Consumed(), engine.DataSize());
    EXPECT_EQ(ProgressPercent(engine.Consumed(), engine.DataSize()), 99);
    EXPECT_EQ(*passthrough.Symbol<int>("EffectEntCalls"), kBlocks + 1) << "and one flush block";
    EXPECT_EQ(*passthrough.Symbol<int>("LastSampleRate"), 22050);
}

TEST_F(SaveJobTest, WithoutPluginsAShortSourceSavesExactlyItsFrames) {
    const std::string source = WriteSource(PcmWav(1, 8000, 8, Pattern8Samples(500, 1)));
    const std::string output = dir.Path("out.wav");
    ASSERT_TRUE(Prepare({}, source, output, 1, 8000, 8));
    ASSERT_TRUE(engine.StartSave()) << "a save that ends at once still started";
    EXPECT_EQ(SaveEnded(), 1);
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 500);
    EXPECT_EQ(read.samples[0], (Pattern8(0, 0) - 128) * 256);
    EXPECT_EQ(read.samples[499], (Pattern8(499, 0) - 128) * 256);
}

TEST_F(SaveJobTest, StopInsideABlockWritesThatBlockAndEndsInterrupted) {
    const std::string source = WriteSource(PcmWav(2, 44100, 16, Pattern16Samples(300000, 2)));
    TestPlugin stall("stall");
    *stall.Symbol<int>("StallInEffectEnt") = 1;
    const std::string output = dir.Path("out.wav");
    ASSERT_TRUE(Prepare({stall.Handle()}, source, output, 2, 44100, 16));
    ASSERT_TRUE(engine.StartSave());
    while (LoadAtomic(stall, "Stalling") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(engine.StopSave());
    EXPECT_EQ(engine.State(), WS_IDLE);
    EXPECT_EQ(SaveEnded(), 0);
    EXPECT_EQ(*stall.Symbol<int>("EffectEntCalls"), 1);
    EXPECT_EQ(*stall.Symbol<int>("EffectStopCalls"), 1);
    EXPECT_EQ(*stall.Symbol<int>("DestructerCalls"), 1);
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 65536) << "the block in progress is still written";
    EXPECT_EQ(read.samples[2 * 65535 + 1], Pattern16(65535, 1));
    const Bytes file = ReadFileBytes(output);
    EXPECT_EQ(file.size(), 44u + 65536 * 4);
}

TEST_F(SaveJobTest, StopAfterTheJobEndedFailsAndLeavesTheStateIdle) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(100, 1)));
    ASSERT_TRUE(Prepare({}, source, dir.Path("out.wav"), 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    EXPECT_FALSE(engine.StopSave());
    EXPECT_EQ(engine.State(), WS_IDLE) << "a later job can still be prepared";
    EXPECT_TRUE(Prepare({}, source, dir.Path("again.wav"), 1, 8000, 16));
}

TEST_F(SaveJobTest, StopInTheLastBlockWritesItButFlushesNothing) {
    // One block: 30000 frames of sound, then padding. The plug-in holds back
    // 40000 samples, so 4464 frames of sound would come out only with a flush.
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(30000, 1)));
    TestPlugin stall("stall");
    TestPlugin holdback("holdback");
    *holdback.Symbol<int>("HoldBack") = 40000;
    *stall.Symbol<int>("StallInEffectEnt") = 1;
    const std::string output = dir.Path("out.wav");
    ASSERT_TRUE(Prepare({stall.Handle(), holdback.Handle()}, source, output, 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    while (LoadAtomic(stall, "Stalling") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(engine.StopSave());
    EXPECT_EQ(SaveEnded(), 0);
    EXPECT_EQ(LoadAtomic(holdback, "EffectEntCalls"), 1) << "no flush block after the stop";
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 65536 - 40000) << "what the plug-in gave for the block, up to its last sound";
    EXPECT_EQ(read.samples[25535], Pattern16(25535, 0));
}

/// The frame after the last one whose |sample| reaches `level` (full scale 1).
long EndOfSound(const SndfileContents& file, double level) {
    const int channels = file.info.channels;
    for (long frame = static_cast<long>(file.samples.size()) / channels; frame > 0; --frame) {
        for (int c = 0; c < channels; ++c) {
            if (std::abs(file.samples[static_cast<std::size_t>((frame - 1) * channels + c)]) >= level * 32768) {
                return frame;
            }
        }
    }
    return 0;
}

TEST_F(SaveJobTest, TheShippedPluginsGiveBackTheWholeToneWithoutPaddingAfterIt) {
    // 4.4 s of a 441 Hz tone at 44.1 kHz, saved at 22050 Hz through both
    // shipped plug-ins, at their initial settings and with pitch or speed
    // changed.
    Bytes samples;
    for (int f = 0; f < 194040; ++f) {
        const auto value = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * f / 100.0)));
        AppendLe16(samples, static_cast<std::uint16_t>(value));
        AppendLe16(samples, static_cast<std::uint16_t>(value));
    }
    const std::string source = WriteSource(PcmWav(2, 44100, 16, samples));
    if (!std::filesystem::exists(ZAREVO_PLUGIN_OUTPUT_DIR "/Zarevo_sample.so")) {
        GTEST_SKIP() << "the shipped plug-ins are built only with the GUI (their panels need Qt)";
    }
    void* original = dlopen(ZAREVO_PLUGIN_OUTPUT_DIR "/Zarevo_original.so", RTLD_NOW | RTLD_LOCAL);
    void* sample = dlopen(ZAREVO_PLUGIN_OUTPUT_DIR "/Zarevo_sample.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(original, nullptr) << dlerror();
    ASSERT_NE(sample, nullptr) << dlerror();
    auto* pitch = static_cast<std::atomic<double>*>(dlsym(original, "PitchOctaves"));
    auto* speed = static_cast<std::atomic<double>*>(dlsym(original, "SpeedExponent"));
    ASSERT_NE(pitch, nullptr);
    ASSERT_NE(speed, nullptr);
    struct Case {
        double pitchOctaves;
        double speedExponent;
        double soundEnds;  // seconds
        double silenceAfter;
    };
    const double initialPitch = pitch->load();
    const double initialSpeed = speed->load();
    for (const Case& c : {Case{initialPitch, initialSpeed, 4.4, 0.020}, Case{5.0 / 12, initialSpeed, 4.4, 0.020},
                          Case{initialPitch, 1.0, 2.2, 0.010}}) {
        SCOPED_TRACE(testing::Message() << "pitch " << c.pitchOctaves << ", speed exponent " << c.speedExponent);
        pitch->store(c.pitchOctaves);
        speed->store(c.speedExponent);
        const std::string output = dir.Path("out.wav");
        ASSERT_TRUE(Prepare({original, sample}, source, output, 2, 22050, 16));
        ASSERT_TRUE(engine.StartSave());
        EXPECT_EQ(SaveEnded(), 1);
        const SndfileContents read = ReadWithSndfile(output);
        ASSERT_TRUE(read.opened);
        const double toneEnd = EndOfSound(read, 0.1) / 22050.0;
        const double soundEnd = EndOfSound(read, 1.0 / 32768) / 22050.0;
        const double fileEnd = static_cast<double>(read.info.frames) / 22050.0;
        // The effect works in frames of about 46 ms, so the tone may reach a
        // little past the source's end; any quiet ringing after it is kept as
        // sound, but no silence beyond the limits.
        EXPECT_GE(toneEnd, c.soundEnds - 0.01);
        EXPECT_LE(toneEnd, c.soundEnds + 0.05);
        EXPECT_LE(fileEnd - soundEnd, c.silenceAfter);
    }
    pitch->store(initialPitch);
    speed->store(initialSpeed);
    dlclose(sample);
    dlclose(original);
}

TEST_F(SaveJobTest, StopMeetingTheJobsOwnEndCompletes) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(100, 1)));
    TestPlugin stall("stall");
    *stall.Symbol<int>("StallInDestructer") = 1;
    ASSERT_TRUE(Prepare({stall.Handle()}, source, dir.Path("out.wav"), 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    // The data are exhausted and the worker is in Destructer, still saving.
    while (LoadAtomic(stall, "Stalling") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(engine.State(), WS_SAVING);
    EXPECT_TRUE(engine.StopSave());
    EXPECT_EQ(engine.State(), WS_IDLE);
    EXPECT_EQ(SaveEnded(), 1) << "the data ran out before the stop";
    EXPECT_EQ(*stall.Symbol<int>("DestructerCalls"), 1);
}

struct CallLog {
    std::mutex mutex;
    std::string events;
    static void Record(void* context, char event) {
        auto* log = static_cast<CallLog*>(context);
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events += event;
    }
    void Attach(const TestPlugin& plugin, char name, std::vector<std::unique_ptr<std::pair<CallLog*, char>>>& keep) {
        keep.push_back(std::make_unique<std::pair<CallLog*, char>>(this, name));
        *plugin.Symbol<void (*)(void*, char)>("EventHook") = [](void* context, char event) {
            auto* named = static_cast<std::pair<CallLog*, char>*>(context);
            std::lock_guard<std::mutex> lock(named->first->mutex);
            named->first->events += named->second;
            named->first->events += event;
        };
        *plugin.Symbol<void*>("EventContext") = keep.back().get();
    }
    std::string Take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(events, std::string());
    }
};

TEST_F(SaveJobTest, PluginCallsComeInChainOrderOncePerJobAndBlock) {
    TestPlugin a("passthrough", &dir, "a");
    TestPlugin b("passthrough", &dir, "b");
    CallLog log;
    std::vector<std::unique_ptr<std::pair<CallLog*, char>>> keep;
    log.Attach(a, 'a', keep);
    log.Attach(b, 'b', keep);
    const std::string source = WriteSource(PcmWav(1, 44100, 16, Pattern16Samples(70000, 1)));

    EXPECT_FALSE(Prepare({a.Handle(), b.Handle()}, dir.Path("missing.wav"), dir.Path("x.wav"), 2, 44100, 16));
    EXPECT_EQ(log.Take(), "aCbC") << "a failed open: Constructer without Destructer";

    ASSERT_TRUE(Prepare({a.Handle(), b.Handle()}, source, dir.Path("out.wav"), 2, 44100, 16));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    EXPECT_EQ(log.Take(), "aCbCaEbEaEbEaEbEaDbD") << "two data blocks, then a flush block";

    ASSERT_TRUE(Prepare({a.Handle(), b.Handle()}, source, "", 2, 44100, 16));
    EXPECT_FALSE(engine.StartSave()) << "no output path";
    EXPECT_EQ(engine.State(), WS_IDLE);
    EXPECT_EQ(log.Take(), "aCbC") << "a failed start: no Destructer, no EffectEnt";
    EXPECT_EQ(inbox.Pending(), 0u) << "a failed start posts nothing";
}

int OpenDescriptors() {
    int count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (readdir(fds) != nullptr) {
            ++count;
        }
        closedir(fds);
    }
    return count;
}

TEST_F(SaveJobTest, EachJobClosesThePreviousSourceFirst) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(100, 1)));
    ASSERT_TRUE(Prepare({}, source, dir.Path("1.wav"), 1, 8000, 16));
    const int afterFirstOpen = OpenDescriptors();
    EXPECT_FALSE(Prepare({}, source, dir.Path("1.wav"), 1, 8000, 16)) << "a job is already prepared";
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    for (int job = 0; job < 5; ++job) {
        ASSERT_TRUE(Prepare({}, source, dir.Path("out.wav"), 1, 8000, 16));
        ASSERT_TRUE(engine.StartSave());
        EXPECT_EQ(SaveEnded(), 1);
    }
    EXPECT_EQ(OpenDescriptors(), afterFirstOpen);
}

TEST_F(SaveJobTest, PrepareRefusesUnusableFormatsAndPluginsBeforeAnyCall) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(100, 1)));
    TestPlugin counted("passthrough");
    const std::vector<void*> modules = {counted.Handle()};
    EXPECT_FALSE(Prepare(modules, source, dir.Path("o.wav"), 3, 8000, 16));
    EXPECT_FALSE(Prepare(modules, source, dir.Path("o.wav"), 0, 8000, 16));
    EXPECT_FALSE(Prepare(modules, source, dir.Path("o.wav"), 2, 8000, 24));
    EXPECT_FALSE(Prepare(modules, source, dir.Path("o.wav"), 2, 0, 16));
    EXPECT_FALSE(Prepare(modules, source, dir.Path("o.wav"), 2, -44100, 16));
    EXPECT_FALSE(engine.PrepareJob(modules, source, dir.Path("o.wav"), 2, 8000, 16, 0, -1));
    TestPlugin lacking("missing_stop");
    EXPECT_FALSE(Prepare({counted.Handle(), lacking.Handle()}, source, dir.Path("o.wav"), 2, 8000, 16));
    EXPECT_EQ(*counted.Symbol<int>("ConstructerCalls"), 0);
    EXPECT_EQ(*lacking.Symbol<int>("ConstructerCalls"), 0);
    EXPECT_EQ(engine.State(), WS_IDLE);
    EXPECT_TRUE(Prepare(modules, source, dir.Path("o.wav"), 2, 8000, 16));
}

TEST_F(SaveJobTest, VeryLowSourceRatesUseShorterBlocksAndOnlyImpossibleRisesAreRefused) {
    const std::string source = WriteSource(PcmWav(1, 1, 16, Pattern16Samples(10, 1)));
    EXPECT_FALSE(Prepare({}, source, dir.Path("o.wav"), 2, 2000000, 16)) << "one frame would need 2 million";
    EXPECT_EQ(engine.State(), WS_IDLE);
    EXPECT_FALSE(engine.StartSave());
    // 1 Hz to 48 kHz: blocks of 21 source frames (1,008,000 working frames)
    // instead of 65536 (3 billion).
    const std::string output = dir.Path("low.wav");
    ASSERT_TRUE(Prepare({}, source, output, 1, 48000, 16));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 480000) << "the source's 10 s, without the padding of its block";
    for (int second = 0; second < 10; ++second) {
        EXPECT_EQ(read.samples[static_cast<std::size_t>(second) * 48000 + 47999], Pattern16(second, 0));
    }
}

TEST_F(SaveJobTest, OutputNamingTheSourceIsRefusedAndTheSourceKept) {
    const Bytes wav = PcmWav(1, 8000, 16, Pattern16Samples(100, 1));
    const std::string source = WriteSource(wav);
    ASSERT_EQ(link(source.c_str(), dir.Path("alias.wav").c_str()), 0);
    for (const std::string& output : {source, dir.Path("alias.wav"), dir.Path("./in.wav")}) {
        ASSERT_TRUE(Prepare({}, source, output, 1, 8000, 16));
        EXPECT_FALSE(engine.StartSave()) << output;
        EXPECT_EQ(engine.State(), WS_IDLE);
        EXPECT_EQ(ReadFileBytes(source), wav);
    }
    EXPECT_EQ(inbox.Pending(), 0u);
}

TEST_F(SaveJobTest, OutputThatCannotBeCreatedFailsTheStart) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(100, 1)));
    ASSERT_TRUE(Prepare({}, source, dir.Path("no/folder/out.wav"), 1, 8000, 16));
    EXPECT_FALSE(engine.StartSave());
    EXPECT_EQ(engine.State(), WS_IDLE);
}

TEST_F(SaveJobTest, WriteFailuresEndTheSaveWithTheirCauseAndKeepTheOldOutput) {
    constexpr std::int64_t kBlockBytes = 65536 * 2;
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(200000, 1)));
    const std::string output = dir.Path("out.wav");
    const Bytes old = {'k', 'e', 'e', 'p'};
    WriteFileBytes(output, old);
    {
        WriterSeams full(WavWriterSeams{WavMaxDataBytes, kBlockBytes + 10, ENOSPC});
        ASSERT_TRUE(Prepare({}, source, output, 1, 8000, 16));
        ASSERT_TRUE(engine.StartSave());
        EXPECT_EQ(SaveEnded(), static_cast<long>(JobEnd::DiskFull));
    }
    EXPECT_EQ(ReadFileBytes(output), old);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));

    // A file-size limit fails the write with EFBIG: a write failure, not a
    // full disk, and not the end of the program by SIGXFSZ.
    {
        FileSizeLimit limit(44 + kBlockBytes + 1000, false);
        ASSERT_TRUE(Prepare({}, source, output, 1, 8000, 16));
        ASSERT_TRUE(engine.StartSave());
        EXPECT_EQ(SaveEnded(), static_cast<long>(JobEnd::WriteFailed));
    }
    EXPECT_EQ(ReadFileBytes(output), old);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));

    // The WAV size limit keeps the file, cut at the last whole frame.
    {
        WriterSeams sized(WavWriterSeams{3 * kBlockBytes - 1, -1, 0});
        ASSERT_TRUE(Prepare({}, source, output, 1, 8000, 16));
        ASSERT_TRUE(engine.StartSave());
        EXPECT_EQ(SaveEnded(), static_cast<long>(JobEnd::SizeLimit));
    }
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, (3 * kBlockBytes - 2) / 2);
    EXPECT_EQ(read.samples[static_cast<std::size_t>(read.info.frames) - 1],
              Pattern16(static_cast<int>(read.info.frames) - 1, 0));
    EXPECT_EQ(ReadFileBytes(output).size(), 44u + 3 * kBlockBytes - 2);
}

TEST_F(SaveJobTest, ASourceCutWhileSavedEndsAsAReadFailureAndKeepsTheOldOutput) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(200000, 1)));
    const std::string output = dir.Path("out.wav");
    WriteFileBytes(output, {'o', 'l', 'd'});
    TestPlugin hang("never_returns");
    *hang.Symbol<int>("HangAfterBlocks") = 1;
    ASSERT_TRUE(Prepare({hang.Handle()}, source, output, 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    while (LoadAtomic(hang, "Hanging") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(truncate(source.c_str(), 44 + 65536 * 2 + 100), 0);
    std::atomic_ref<int>(*hang.Symbol<int>("Release")).store(1);
    EXPECT_EQ(SaveEnded(), static_cast<long>(JobEnd::ReadFailed));
    EXPECT_EQ(ReadFileBytes(output), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST_F(SaveJobTest, APluginThatThrowsFromAnyEntryPointEndsTheJobNamingIt) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(200000, 1)));
    const std::string output = dir.Path("out.wav");
    WriteFileBytes(output, {'o', 'l', 'd'});
    TestPlugin first("passthrough");
    TestPlugin thrower("throwing");
    auto& throwFrom = *thrower.Symbol<std::atomic<char>>("ThrowFrom");
    auto& destructerCalls = *thrower.Symbol<std::atomic<int>>("DestructerCalls");
    const std::vector<void*> chain = {first.Handle(), thrower.Handle()};

    throwFrom = 'C';
    EXPECT_FALSE(Prepare(chain, source, output, 1, 8000, 16));
    EXPECT_EQ(engine.PluginFailedAtOpen(), 1);
    EXPECT_EQ(engine.State(), WS_IDLE);

    for (const char entry : {'E', 'D'}) {
        throwFrom = entry;
        *thrower.Symbol<std::atomic<int>>("ThrowAfterBlocks") = 1;
        const int destructersBefore = destructerCalls;
        ASSERT_TRUE(Prepare(chain, source, output, 1, 8000, 16)) << entry;
        EXPECT_EQ(engine.PluginFailedAtOpen(), -1);
        ASSERT_TRUE(engine.StartSave());
        const auto ended = inbox.Next();
        ASSERT_TRUE(ended) << entry;
        EXPECT_EQ(ended->message, WM_WAVE_SAVE_ENDED);
        EXPECT_EQ(ended->lParam, static_cast<std::intptr_t>(JobEnd::PluginFailed)) << entry;
        EXPECT_EQ(ended->wParam, 1u) << "the chain position";
        EXPECT_EQ(destructerCalls, destructersBefore + 1) << "the job still ends for every plug-in";
        EXPECT_EQ(ReadFileBytes(output), (Bytes{'o', 'l', 'd'})) << entry;
        EXPECT_EQ(engine.State(), WS_IDLE);
    }

    // EffectStop runs on the window's thread: its throw reaches the job's end.
    TestPlugin stall("stall");
    *stall.Symbol<int>("StallInEffectEnt") = 1;
    throwFrom = 'S';
    ASSERT_TRUE(Prepare({thrower.Handle(), stall.Handle()}, source, output, 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    while (LoadAtomic(stall, "Stalling") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(engine.StopSave());
    const auto stopped = inbox.Next();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->lParam, static_cast<std::intptr_t>(JobEnd::PluginFailed));
    EXPECT_EQ(stopped->wParam, 0u);
    EXPECT_EQ(ReadFileBytes(output), (Bytes{'o', 'l', 'd'}));

    throwFrom = 0;
    ASSERT_TRUE(Prepare(chain, source, output, 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1) << "the next job runs as usual";
}

TEST_F(SaveJobTest, AHugeResizeRequestIsRefusedAndTheCapacityStays) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(1000, 1)));
    TestPlugin huge("huge_resize");
    ASSERT_TRUE(Prepare({huge.Handle()}, source, dir.Path("out.wav"), 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    EXPECT_EQ(SaveEnded(), 1);
    EXPECT_EQ(*huge.Symbol<int>("CapacityBeforeHugeRequest"), 1000000);
    EXPECT_EQ(*huge.Symbol<int>("CapacityAfterHugeRequest"), 1000000);
    const SndfileContents read = ReadWithSndfile(dir.Path("out.wav"));
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 1000);
    EXPECT_EQ(read.samples[999], Pattern16(999, 0));
}

TEST_F(SaveJobTest, QuittingTheWorkerStopsARunningSaveFirstAndKeepsItsFile) {
    const std::string source = WriteSource(PcmWav(1, 8000, 16, Pattern16Samples(300000, 1)));
    TestPlugin stall("stall");
    *stall.Symbol<int>("StallInEffectEnt") = 1;
    ASSERT_TRUE(Prepare({stall.Handle()}, source, dir.Path("out.wav"), 1, 8000, 16));
    ASSERT_TRUE(engine.StartSave());
    while (LoadAtomic(stall, "Stalling") == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(engine.QuitWorker());
    EXPECT_EQ(SaveEnded(), 0);
    EXPECT_EQ(*stall.Symbol<int>("EffectStopCalls"), 1);
    EXPECT_EQ(ReadWithSndfile(dir.Path("out.wav")).info.frames, 65536);
}

TEST_F(SaveJobTest, StartAndStopRefuseOutsideTheirStates) {
    EXPECT_FALSE(engine.StartSave());
    EXPECT_FALSE(engine.StopSave());
    EXPECT_FALSE(engine.StopPlay());
    EXPECT_EQ(engine.State(), WS_IDLE);
}

}  // namespace
