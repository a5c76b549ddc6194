// The block flow of the standard effect: gathers the host's blocks into
// frames of N samples with 50 % overlap, runs each frame through the
// transform, the reverb and the band stage, and turns each hop of the
// overlap-added result into output samples (pitch resampling, dry mix,
// channel choice). All state of one processing run lives in one EffectRun;
// the only other inputs are the parameter block and the reverb's generator.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "band_stage.h"
#include "reverb.h"
#include "sample_buffer.h"
#include "worker_pool.h"
#include "zarevo_plugin.h"

/// Frame length N for a sample rate: 8192 below 8268 Hz, doubling at 8268,
/// 16537, 33075 and 66150 Hz up to 131072.
std::int32_t FrameLengthForRate(std::int32_t sampleRate);

/// Frames of sound the effect may still produce after its input ends, with
/// the current parameters, at `sampleRate`: the reverb's ring, ReverbAmount
/// frame lengths of input, through the speed (so in output frames), while
/// the reverb is on; otherwise 0. At most INT_MAX.
int RingFrames(std::int32_t sampleRate);

/// Output samples the effect makes per input sample with the current
/// parameters at `sampleRate`, once running: a hop's output over the frame's
/// advance of N/2. 0 when the settings give no output at all.
double OutputPerInput(std::int32_t sampleRate);

/// One processing run of the standard effect.
/// Threads: Construct, Process and Destruct on the worker; RequestStop on the
/// window thread at any time, also while Process runs. Within Process the
/// two channels of a frame may run on a helper thread of the run's pool,
/// started on first need and joined by Destruct (or when the run is
/// destroyed, at the latest when the library is unloaded).
class EffectRun {
public:
    EffectRun() = default;
    EffectRun(const EffectRun&) = delete;
    EffectRun& operator=(const EffectRun&) = delete;

    /// Starts a run: clears the stop flag and the first-frame mark and
    /// empties every buffer (a run that never ended included).
    void Construct();
    /// Ends a run and joins the helper thread. Storage and tables stay for
    /// the next run; they are freed with the EffectRun.
    void Destruct();
    /// Asks the running and every later frame of this run to skip its band
    /// work; counts stay as they were. Only the next Construct clears it.
    void RequestStop() { stopRequested_.store(1, std::memory_order_relaxed); }

    /// Processes one block of `count` samples per channel (the EffectEnt
    /// contract) and returns the samples per channel written to *out. When
    /// memory runs out it returns what was written so far.
    int Process(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                ZarevoResizeOutputFn resize);

    /// Samples held back in the input queue (per channel).
    std::int32_t HeldSamples() const { return fifoCount_; }
    bool StopRequested() const { return stopRequested_.load(std::memory_order_relaxed) != 0; }
    /// Helper threads running for this run (0 before the first stereo frame
    /// and after Destruct).
    int HelperThreads() const { return pool_.Helpers(); }

    struct Setting;
    /// The frame geometry and pitch of the current parameters at
    /// `sampleRate`; false when the stretched frame cannot be held.
    static bool ReadSetting(std::int32_t sampleRate, Setting& setting);

private:
    void EmptyBuffers();
    bool PrepareBuffers(const Setting& setting);
    bool AppendInput(int count, const ChannelBuffers* in);
    void ProcessFrame(const Setting& setting, std::int32_t start, bool reverbBuilt);
    /// One channel's part of a frame: overlap shift, transform, reverb and
    /// band stage. Touches only that channel's buffers; never throws.
    void ProcessChannel(const Setting& setting, int channel, bool reverbBuilt) noexcept;
    /// Asks the host for twice `needed` when the output holds less; false
    /// when it still holds less than `needed`.
    static bool MakeRoom(std::int32_t needed, const int* capacity, ZarevoResizeOutputFn resize);
    /// Writes one hop behind `written`; the output has room for it.
    void WriteHop(const Setting& setting, std::int32_t written, std::int32_t hopOut, ChannelBuffers* out);
    void ReleaseConsumed(std::int32_t consumed);

    SampleBuffer inputFifo_[2];
    SampleBuffer frameSpectrum_[2];
    SampleBuffer dryFrame_[2];
    SampleBuffer overlap_[2];
    SampleBuffer bandSignal_[2];  // per channel, so channels can run at once
    SampleBuffer bandStretch_[2];
    SampleBuffer reverbSpectrum_;
    std::int32_t fifoCount_ = 0;
    std::int32_t frameLength_ = 0;      // N
    std::int32_t stretchedLength_ = 0;  // M
    std::atomic<std::int32_t> stopRequested_{0};
    bool firstFrame_ = true;
    std::optional<FftTables> fft_[2];     // for the latest N, one per channel's thread
    std::unique_ptr<BandTables> tables_;  // for the latest N, M, ratio and rate
    ReverbBuilder reverb_;
    WorkerPool pool_;  // last member: joined before the buffers go
};

/// The plug-in's one run, used by its exported entry points.
EffectRun& StandardEffectRun();
