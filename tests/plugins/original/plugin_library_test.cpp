// The built Zarevo_original.so, loaded with dlopen and driven through the
// engine's block production: its exports, the counts per block, dry
// reproduction through PCM, the stop flag, and the output's length through
// pitch, speed and the reverb's ring.
#include <gtest/gtest.h>
#include <unistd.h>

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "block_producer.h"
#include "output_buffers.h"
#include "plugin_binding.h"
#include "support/wav_bytes.h"
#include "wav_source.h"

namespace {

/// Writes a 16-bit stereo WAV file of `frames` frames: different tones left
/// and right, or white noise. Returns the samples, interleaved.
std::vector<std::int16_t> WriteWav(const std::string& path, int rate, int frames, bool noise = false) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    for (std::uint32_t i = 0; noise && i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<int>((i * 2654435761u >> 16) % 16384) - 8192);
    }
    for (int t = 0; t < frames && !noise; ++t) {
        samples[2 * t] =
            static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * 441 * t / rate)));
        samples[2 * t + 1] =
            static_cast<std::int16_t>(std::lround(9000 * std::sin(2 * std::numbers::pi * 1000 * t / rate + 1)));
    }
    Bytes data;
    for (std::int16_t s : samples) AppendLe16(data, static_cast<std::uint16_t>(s));
    WriteFileBytes(path, PcmWav(2, rate, 16, data));
    return samples;
}

class PluginLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = dlopen(ZAREVO_PLUGIN_OUTPUT_DIR "/Zarevo_original.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        applyRatio_ = static_cast<std::atomic<double>*>(dlsym(module_, "ApplyRatio"));
        ASSERT_NE(applyRatio_, nullptr);
        // ctest runs the tests of this suite in parallel processes: each
        // needs its own file, or one test's clean-up removes another's source.
        path_ = ::testing::TempDir() + "zarevo_original_library_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + std::to_string(getpid()) +
                ".wav";
    }
    void TearDown() override {
        if (applyRatio_ != nullptr) applyRatio_->store(1.0);
        for (const char* name : {"PitchOctaves", "SpeedExponent", "ReverbAmount"}) Parameter(name).store(0.0);
        ReleaseOutputBuffers();
        if (module_ != nullptr) dlclose(module_);
        std::remove(path_.c_str());
    }

    /// Runs a whole job over the file; returns the PCM frames of each block.
    std::vector<std::vector<std::int16_t>> RunJob(bool stopAfterFirstBlock) {
        PluginEntryLists lists;
        void* modules[] = {module_};
        EXPECT_TRUE(BindPluginEntries(modules, lists));
        WavSource source;
        EXPECT_TRUE(source.Open(path_));
        lists.constructer[0]();
        ResizeOutput(1000000);
        BlockProducer producer;
        PcmBlock block;
        std::vector<std::vector<std::int16_t>> blocks;
        const OutputFormat format{2, 44100, 16};
        while (producer.ProduceBlock(source, 65536, format, lists, block)) {
            std::vector<std::int16_t> pcm(static_cast<std::size_t>(block.length) / 2);
            for (std::size_t i = 0; i < pcm.size(); ++i) {
                pcm[i] = static_cast<std::int16_t>(block.bytes[2 * i] | (block.bytes[2 * i + 1] << 8));
            }
            blocks.push_back(std::move(pcm));
            if (stopAfterFirstBlock) lists.stop[0]();
        }
        lists.destructer[0]();
        return blocks;
    }

    std::atomic<double>& Parameter(const char* name) const {
        return *static_cast<std::atomic<double>*>(dlsym(module_, name));
    }
    /// A whole job's output samples, interleaved.
    std::vector<std::int16_t> RunWholeJob() {
        std::vector<std::int16_t> all;
        for (const auto& b : RunJob(false)) all.insert(all.end(), b.begin(), b.end());
        return all;
    }

    void* module_ = nullptr;
    std::atomic<double>* applyRatio_ = nullptr;
    std::string path_;
};

}  // namespace

TEST_F(PluginLibraryTest, ExportsTheEntryPointsAndTheParameterBlock) {
    for (const char* name :
         {"Start_Dialog", "End_Dialog", "Constructer", "EffectEnt", "EffectStop", "Destructer", "PitchOctaves",
          "SpeedExponent", "ReverbAmount", "ApplyRatio", "BandMask", "ProcessMono", "ProcessLeft", "ProcessRight"}) {
        EXPECT_NE(dlsym(module_, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(module_, "StandardEffectRun"), nullptr);
    EXPECT_EQ(static_cast<std::atomic<std::int32_t>*>(dlsym(module_, "BandMask"))->load(), -1);
    EXPECT_EQ(applyRatio_->load(), 1.0);
}

TEST_F(PluginLibraryTest, ChainWithoutApplicationGivesBackTheSourcePcm) {
    const std::vector<std::int16_t> source = WriteWav(path_, 44100, 65536 * 3);
    applyRatio_->store(0.0);
    const std::vector<std::vector<std::int16_t>> blocks = RunJob(false);
    // The first block comes out half a frame short; the last data block
    // brings the held samples back with the first flush block.
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].size(), 32768u * 2);
    EXPECT_EQ(blocks[1].size(), 65536u * 2);
    EXPECT_EQ(blocks[2].size(), 98304u * 2);
    std::vector<std::int16_t> all;
    for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
    ASSERT_EQ(all.size(), source.size());
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], source[i]) << i;
}

TEST_F(PluginLibraryTest, StopKeepsTheCountsAndSilencesLaterFrames) {
    WriteWav(path_, 44100, 65536 * 4);
    const std::vector<std::vector<std::int16_t>> normal = RunJob(false);
    const std::vector<std::vector<std::int16_t>> stopped = RunJob(true);
    ASSERT_EQ(normal.size(), stopped.size());
    // The last block also carries the flush, whose sound the stop takes away.
    for (std::size_t b = 0; b + 1 < normal.size(); ++b) EXPECT_EQ(normal[b].size(), stopped[b].size()) << b;
    // Frames after the stop add no band content: the last block is silent.
    int loudest = 0;
    for (std::int16_t s : stopped.back()) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    EXPECT_EQ(loudest, 0);
    int normalLoudest = 0;
    for (std::int16_t s : normal.back()) normalLoudest = std::max(normalLoudest, std::abs(static_cast<int>(s)));
    EXPECT_GT(normalLoudest, 5000);
}

TEST_F(PluginLibraryTest, TheOutputIsAsLongAsTheSourceThroughTheSpeed) {
    for (const bool noise : {false, true}) {
        WriteWav(path_, 44100, 132300, noise);  // 3 s
        for (const auto [pitch, speed] :
             {std::array{0.0, 0.0}, std::array{5.0 / 12, 0.0}, std::array{0.0, 1.0}, std::array{0.0, -1.0}}) {
            Parameter("PitchOctaves").store(pitch);
            Parameter("SpeedExponent").store(speed);
            // The smear past the abrupt end is not kept: exact at neutral settings, else within a hop.
            const double factor = std::pow(2.0, -speed);
            EXPECT_NEAR(RunWholeJob().size() / 2.0, 132300 * factor, pitch == 0 && speed == 0 ? 0 : 32768 * factor)
                << (noise ? "noise" : "tone") << ", pitch " << pitch << ", speed exponent " << speed;
        }
    }
}

TEST_F(PluginLibraryTest, TheReverbsRingIsKeptAndEndsQuiet) {
    WriteWav(path_, 44100, 132300);
    Parameter("ReverbAmount").store(1.0);
    const std::vector<std::int16_t> all = RunWholeJob();
    // The ring lasts up to a frame (65536 samples at 44100 Hz) past the end,
    // the last 10 ms below -60 dBFS (32768 x 10^-3), the last frame not silent.
    EXPECT_GT(all.size() / 2, 132300u + 44100 / 2);
    EXPECT_LE(all.size() / 2, 132300u + 65536);
    int loudest = 0;
    for (std::size_t i = all.size() - 2 * 441; i < all.size(); ++i) loudest = std::max(loudest, std::abs(all[i] + 0));
    EXPECT_LT(loudest, 33);
    EXPECT_NE(all.back() | all[all.size() - 2], 0) << "the ring's last sound ends it";
}
