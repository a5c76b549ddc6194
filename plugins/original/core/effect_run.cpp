// EffectEnt's block flow: input queue, frames with 50 % overlap, the stages
// of each frame, and the output of each hop.
#include "effect_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>

#include "parameter_block.h"

namespace {

/// Largest output count a call may reach: the resize request is twice the
/// running total and must stay an int.
constexpr std::int64_t MaxWritten = std::numeric_limits<int>::max() / 2;

/// Most input samples a call leaves queued for frames whose hops found no
/// room in the output: beyond it they are processed and dropped, so a host
/// that keeps its output small cannot make the queue grow without end.
constexpr std::int32_t MaxWaiting = std::int32_t{1} << 22;

/// Largest stretched length M, 2^25 samples. A run holds about five arrays
/// of M doubles (overlap and stretch per channel, the frame window), so this
/// bounds it near 1.3 GB; without it a typed pitch of 13 octaves asks for
/// about 20 GB, which the system answers by killing the program. Every pitch
/// the slider reaches stays below it at any typed speed (ratio 2 x 100 at
/// N = 131072 is 26.2 million samples).
constexpr double MaxStretched = 33554432.0;

}  // namespace

std::int32_t FrameLengthForRate(std::int32_t sampleRate) {
    if (sampleRate >= 66150) return 131072;
    if (sampleRate >= 33075) return 65536;
    if (sampleRate >= 16537) return 32768;
    if (sampleRate >= 8268) return 16384;
    return 8192;
}

int RingFrames(std::int32_t sampleRate) {
    const double amount = ReverbAmount.load(kRelaxed);
    if (!(amount > ReverbThreshold)) {
        return 0;
    }
    // Rationale: the envelope falls by e^-8 (about -70 dB) over `amount`
    // frame lengths of input; a hop of N/2 input samples comes out as about
    // N/2 x 2^-SpeedExponent samples whatever the pitch.
    const double frames =
        std::ceil(amount * FrameLengthForRate(sampleRate) * std::pow(2.0, -SpeedExponent.load(kRelaxed)));
    if (!(frames >= 0.0)) {
        return 0;
    }
    return frames < std::numeric_limits<int>::max() ? static_cast<int>(frames) : std::numeric_limits<int>::max();
}

/// What one call reads once: the frame geometry and the pitch.
struct EffectRun::Setting {
    std::int32_t sampleRate;
    std::int32_t frameLength;      // N
    std::int32_t stretchedLength;  // M
    std::int32_t channels;         // 1 in mono mode, else 2
    double ratio;
    double inversePitch;

    /// Output samples of one hop (an input advance of N/2).
    double Hop() const {
        const std::int32_t half = stretchedLength / 2;
        return half == 0 ? 0.0 : half * inversePitch;
    }
};

bool EffectRun::ReadSetting(std::int32_t sampleRate, Setting& setting) {
    setting.sampleRate = sampleRate;
    setting.frameLength = FrameLengthForRate(sampleRate);
    setting.channels = ProcessMono.load(kRelaxed) != 0 ? 1 : 2;
    const double pitchFactor = std::pow(2.0, PitchOctaves.load(kRelaxed));
    setting.ratio = pitchFactor * std::pow(2.0, -SpeedExponent.load(kRelaxed));
    setting.inversePitch = 1.0 / pitchFactor;
    const double stretched = setting.frameLength * setting.ratio;
    // Rationale: a stretched frame beyond MaxStretched (or NaN from typed
    // values) cannot be held.
    if (!(stretched >= 0.0 && stretched <= MaxStretched)) {
        return false;
    }
    setting.stretchedLength = static_cast<std::int32_t>(stretched);
    return true;
}

double OutputPerInput(std::int32_t sampleRate) {
    EffectRun::Setting setting{};
    if (!EffectRun::ReadSetting(sampleRate, setting)) {
        return 0.0;
    }
    const double hop = setting.Hop();
    if (!(hop >= 0.0 && hop <= static_cast<double>(MaxWritten))) {
        return 0.0;
    }
    return std::floor(hop) / (setting.frameLength / 2);
}

void EffectRun::Construct() {
    stopRequested_.store(0, kRelaxed);
    firstFrame_ = true;
    EmptyBuffers();
}

void EffectRun::Destruct() {
    // The stop flag and the first-frame mark stay as the run left them; the
    // next Construct resets them.
    pool_.Stop();
    stretchedLength_ = 0;
    frameLength_ = 0;
    fifoCount_ = 0;
}

void EffectRun::EmptyBuffers() {
    // Rationale: the storage, the transforms and the tables stay from run to
    // run (freed with the run itself, when the library unloads): a new run
    // would otherwise page in and zero about 20 MB and rebuild every table
    // before its first sound. Emptied, each buffer is as a new one.
    stretchedLength_ = 0;
    frameLength_ = 0;
    fifoCount_ = 0;
    for (SampleBuffer* buffer : {&overlap_[0], &overlap_[1], &bandStretch_[0], &bandStretch_[1], &frameSpectrum_[0],
                                 &frameSpectrum_[1], &dryFrame_[0], &dryFrame_[1], &bandSignal_[0], &bandSignal_[1],
                                 &inputFifo_[0], &inputFifo_[1], &reverbSpectrum_}) {
        buffer->Empty();
    }
}

bool EffectRun::PrepareBuffers(const Setting& setting) {
    const std::int32_t n = setting.frameLength;
    const std::int32_t m = setting.stretchedLength;
    bool ok = frameSpectrum_[0].Resize(n) && frameSpectrum_[1].Resize(n) && dryFrame_[0].Resize(n) &&
              dryFrame_[1].Resize(n) && bandSignal_[0].Resize(n) && bandSignal_[1].Resize(n) &&
              reverbSpectrum_.Resize(n) && overlap_[0].Resize(m) && overlap_[1].Resize(m) &&
              bandStretch_[0].Resize(m) && bandStretch_[1].Resize(m);
    if (!ok) {
        return false;
    }
    for (std::optional<FftTables>& fft : fft_) {
        if (!fft || fft->Length() != n) {
            fft.reset();
            fft.emplace(n);
        }
    }
    if (setting.channels == 2 && pool_.Helpers() == 0) {
        try {
            pool_.Start(WorkerPool::HelpersForMachine(1));
        } catch (const std::system_error&) {
            // No helper thread to be had: the caller runs both channels.
        }
    }
    if (m >= 1 && (!tables_ || !tables_->Matches(n, m, setting.ratio, setting.sampleRate))) {
        tables_.reset();
        tables_ = std::make_unique<BandTables>(n, m, setting.ratio, setting.sampleRate);
    }
    return true;
}

bool EffectRun::AppendInput(int count, const ChannelBuffers* in) {
    if (count == 0) {
        return true;
    }
    const std::int64_t total = static_cast<std::int64_t>(fifoCount_) + count;
    if (total > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    for (int ch = 0; ch < 2; ++ch) {
        if (!inputFifo_[ch].Resize(static_cast<std::int32_t>(total))) {
            return false;
        }
        std::memcpy(inputFifo_[ch].Data() + fifoCount_, in->channel[ch],
                    static_cast<std::size_t>(count) * sizeof(double));
    }
    fifoCount_ = static_cast<std::int32_t>(total);
    return true;
}

void EffectRun::ProcessFrame(const Setting& setting, std::int32_t start, bool reverbBuilt) {
    const std::int32_t n = setting.frameLength;
    for (int ch = 0; ch < 2; ++ch) {
        std::copy_n(inputFifo_[ch].Data() + start, n, dryFrame_[ch].Data());
    }
    // Rationale: the channels share nothing but read-only state (tables,
    // reverb spectrum, first-frame mark, parameters), so they run at once.
    const auto channel = [&](int ch) { ProcessChannel(setting, ch, reverbBuilt); };
    pool_.Run(setting.channels, channel);
    firstFrame_ = false;
}

void EffectRun::ProcessChannel(const Setting& setting, int ch, bool reverbBuilt) noexcept {
    const std::int32_t n = setting.frameLength;
    const std::int32_t m = setting.stretchedLength;
    // Shift the overlap by half a stretched frame; the tail of the previous
    // frames moves to the front.
    const std::int32_t half = m / 2;
    double* overlap = overlap_[ch].Data();
    std::copy_n(overlap + half, half, overlap);
    std::fill_n(overlap + half, half, 0.0);

    const double scale = n / 2;
    const double* dry = dryFrame_[ch].Data();
    double* spectrum = frameSpectrum_[ch].Data();
    for (std::int32_t i = 0; i < n; ++i) {
        spectrum[i] = dry[i] / scale;
    }
    try {
        RealFft(frameSpectrum_[ch].Samples(), *fft_[ch]);
        if (reverbBuilt && ReverbAmount.load(kRelaxed) > ReverbThreshold) {
            ApplyReverb(frameSpectrum_[ch].Samples(), reverbSpectrum_.Samples());
        }
        // Rationale: with M = 0 (only from typed extreme settings) a frame
        // has no room for band content; the splice would divide by zero.
        const std::atomic<std::int32_t>* enabled[2] = {&ProcessLeft, &ProcessRight};
        if (m >= 1 && enabled[ch]->load(kRelaxed) != 0) {
            BandStageFrame frame{frameSpectrum_[ch].Samples(),
                                 bandSignal_[ch].Samples(),
                                 bandStretch_[ch].Samples(),
                                 overlap_[ch].Samples(),
                                 BandMask.load(kRelaxed),
                                 firstFrame_,
                                 &stopRequested_};
            RunBandStage(*tables_, *fft_[ch], frame);
        }
    } catch (const std::bad_alloc&) {
        // Only a transform plan for unaligned arrays is made here, and the
        // run's arrays are aligned; without memory the frame keeps no band
        // content for this channel.
    }
}

bool EffectRun::MakeRoom(std::int32_t needed, const int* capacity, ZarevoResizeOutputFn resize) {
    if (*capacity < needed) {
        resize(2 * needed);
    }
    return *capacity >= needed;
}

void EffectRun::WriteHop(const Setting& setting, std::int32_t written, std::int32_t hopOut, ChannelBuffers* out) {
    const bool mono = ProcessMono.load(kRelaxed) != 0;
    const double apply = ApplyRatio.load(kRelaxed);
    const double share[2] = {ProcessLeft.load(kRelaxed) != 0 ? apply : 0.0,
                             ProcessRight.load(kRelaxed) != 0 ? apply : 0.0};
    const std::int32_t n = setting.frameLength;
    const std::int32_t half = setting.stretchedLength / 2;
    for (int ch = 0; ch < 2; ++ch) {
        const int source = mono ? 0 : ch;
        const double* processed = overlap_[source].Data();
        const double* dry = dryFrame_[source].Data();
        double* target = out->channel[ch] + written;  // engine-owned, read after resize
        const double a = share[ch];
        for (std::int32_t i = 0; i < hopOut; ++i) {
            const double position = static_cast<double>(i) * half / hopOut;
            const auto j = static_cast<std::int32_t>(position);
            const double f = position - j;
            double v = processed[j] * (1.0 - f) + processed[j + 1] * f;
            if (a < 1.0) {
                const double d = i < n ? dry[i] : 0.0;
                v = (1.0 - a) * d + a * v;
            }
            target[i] = v;
        }
    }
}

void EffectRun::ReleaseConsumed(std::int32_t consumed) {
    if (consumed <= 0) {
        return;
    }
    const std::int32_t kept = fifoCount_ - consumed;
    for (SampleBuffer& fifo : inputFifo_) {
        std::memmove(fifo.Data(), fifo.Data() + consumed, static_cast<std::size_t>(kept) * sizeof(double));
    }
    fifoCount_ = kept;
}

int EffectRun::Process(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                       ZarevoResizeOutputFn resize) {
    if (count < 0 || (count > 0 && (in == nullptr || in->channel[0] == nullptr || in->channel[1] == nullptr))) {
        count = 0;
    }
    Setting setting{};
    // A stretched frame that cannot be held gives back nothing rather than
    // fail later.
    if (!ReadSetting(sampleRate, setting)) {
        return 0;
    }
    frameLength_ = setting.frameLength;
    stretchedLength_ = setting.stretchedLength;

    std::int32_t consumed = 0;
    std::int32_t written = 0;
    try {
        if (!PrepareBuffers(setting) || !AppendInput(count, in)) {
            return 0;
        }
        const double amount = ReverbAmount.load(kRelaxed);
        const bool reverbBuilt = amount > ReverbThreshold;
        if (reverbBuilt) {
            reverb_.Build(reverbSpectrum_.Samples(), amount, *fft_[0]);
        }
        const std::int32_t n = setting.frameLength;
        const double hop = setting.Hop();
        while (fifoCount_ - consumed >= n) {
            const bool hopFits = hop >= 0.0 && hop <= static_cast<double>(MaxWritten - written);
            const std::int32_t hopOut = hopFits ? static_cast<std::int32_t>(hop) : 0;
            const bool room = hopFits && MakeRoom(written + hopOut, capacity, resize);
            // Rationale: a frame whose hop finds no room behind this call's
            // earlier hops waits in the queue for the next call, whose output
            // starts empty; its sound would otherwise be lost. A hop that fits
            // no output at all, or a queue beyond MaxWaiting, is processed and
            // dropped, so the queue cannot grow without end.
            const bool overfull = fifoCount_ - consumed > MaxWaiting;
            if (!room && written > 0 && !overfull) {
                break;
            }
            ProcessFrame(setting, consumed, reverbBuilt);
            consumed += n / 2;
            if (!room) {
                if (overfull) {
                    continue;
                }
                break;
            }
            WriteHop(setting, written, hopOut, out);
            written += hopOut;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory in a table: give back what was written so far.
    }
    ReleaseConsumed(consumed);
    return written;
}

EffectRun& StandardEffectRun() {
    static EffectRun run;
    return run;
}
