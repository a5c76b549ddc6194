// Block production: fetch, convert, run the plug-in chain, encode.
#include "block_producer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "guarded_call.h"
#include "output_buffers.h"
#include "pcm_convert.h"

namespace {

constexpr int kSampleMargin = 100000;
constexpr int kPcmMargin = 4096;

/// Slowest and fastest chain speed taken from the plug-ins' answers: far
/// beyond any effect, near enough to keep every count in range.
constexpr double kSlowestSpeed = 1.0 / 4096;
constexpr double kFastestSpeed = 4096;

/// A plug-in's result, kept within what the output pair really holds.
int ClampToOutput(int frames) { return std::clamp(frames, 0, OutputCapacity); }

/// One guarded EffectEnt call into the plug-in at `position`; its result is
/// clamped into the output pair. -1 when the plug-in threw.
int RunPlugin(ZarevoEffectEntFn effect, std::size_t position, int sampleRate, int count, ChannelBuffers* input) {
    int frames = 0;
    const bool returned = GuardedPluginCall("EffectEnt", position, [&] {
        frames = effect(sampleRate, count, input, &OutputBuffers, &OutputCapacity, ResizeOutput);
    });
    return returned ? ClampToOutput(frames) : -1;
}

}  // namespace

std::int64_t WorkingFramesPerBlock(int sourceFrames, int outputRate, int sourceRate) {
    return static_cast<std::int64_t>(sourceFrames) * outputRate / sourceRate;
}

int SourceFramesPerBlock(int blockFrames, int outputRate, int sourceRate) {
    if (WorkingFramesPerBlock(blockFrames, outputRate, sourceRate) <= MaxWorkingFramesPerBlock) {
        return blockFrames;
    }
    // Rationale: the plug-ins take blocks of any length, so a shorter source
    // block gives the same sound from buffers of bounded size.
    const auto fitting = static_cast<int>(MaxWorkingFramesPerBlock * sourceRate / outputRate);
    return WorkingFramesPerBlock(fitting, outputRate, sourceRate) <= MaxWorkingFramesPerBlock ? fitting : 0;
}

void BlockProducer::StartJob(std::function<bool()> stopRequested) {
    end_.Start();
    prerollOutputLeft_ = 0;
    chainSpeed_ = 1.0;
    stopRequested_ = std::move(stopRequested);
    flushing_.store(false, std::memory_order_relaxed);
}

bool BlockProducer::ProduceBlock(BlockSource& source, int sourceFrames, const OutputFormat& format,
                                 const PluginEntryLists& plugins, PcmBlock& out) {
    const std::span<const ZarevoEffectEntFn> chain = plugins.process;
    failedPlugin_ = -1;
    bool dataLeft = source.Consumed() < source.DataSize();
    // A job without data has nothing to flush either.
    if (end_.Finished() || (!dataLeft && !end_.Flushing())) {
        return false;
    }
    const int workingFrames = static_cast<int>(WorkingFramesPerBlock(sourceFrames, format.rate, source.Rate()));
    blockFrames_ = workingFrames;
    inputLeft_.Use(workingFrames, kSampleMargin);
    inputRight_.Use(workingFrames, kSampleMargin);
    const int frameBytes = (format.bits / 8) * format.channels;
    const std::uint8_t silenceByte = format.bits == 8 ? 0x80 : 0x00;
    int frames = 0;
    bool hasFlush = false;
    const int realFrames = dataLeft ? FetchDataBlock(source, sourceFrames) : -1;
    // A source whose length shows only at its end (a decoded stream) can run
    // out exactly where a block ended: no data came, and the flush follows as
    // it does after any last data block.
    if (realFrames < 0 && dataLeft && !source.ReadFailed() && source.Consumed() > 0 &&
        source.Consumed() >= source.DataSize()) {
        if (stopRequested_ && stopRequested_()) {
            end_.EndWithoutFlush();
            return false;
        }
        dataLeft = false;
    }
    if (dataLeft) {
        const int chainFrames = realFrames < 0 ? -1 : RunChain(format.rate, chain);
        if (chainFrames < 0) {
            return false;  // no data left, or a plug-in threw
        }
        frames = EncodeChainOutput(chainFrames, 0, format);
        end_.CountDataBlock(workingFrames, realFrames, frames);
        // Rationale: the last data block and the first flush block come out
        // together, because where the data end in the output depends on the
        // chain's speed, which the first flush block shows free of the
        // samples the first block held back. A job stopped meanwhile is not
        // flushed: its plug-ins have been told to stop.
        if (source.Consumed() >= source.DataSize()) {
            if (stopRequested_ && stopRequested_()) {
                end_.EndWithoutFlush();
            } else {
                const int flushed = RunFlushBlock(format.rate, plugins);
                if (flushed < 0) {
                    return false;
                }
                const int flushFrames = EncodeChainOutput(flushed, frames, format);
                end_.CountFlushBlock(workingFrames, flushFrames);
                frames += flushFrames;
                hasFlush = true;
            }
        }
    } else {
        const int flushed = RunFlushBlock(format.rate, plugins);
        if (flushed < 0) {
            return false;
        }
        frames = EncodeChainOutput(flushed, 0, format);
        end_.CountFlushBlock(workingFrames, frames);
        hasFlush = true;
    }

    const EndOfData::Kept kept = end_.Keep(encoded_.Used(), frames, frameBytes, silenceByte, hasFlush);
    // A flush block that brought nothing more: the output has ended.
    if (!dataLeft && end_.Finished() && kept.frames == 0) {
        return false;
    }
    EmitKept(kept, frameBytes, silenceByte, out);
    return true;
}

bool BlockProducer::Preroll(BlockSource& source, int sourceFrames, const OutputFormat& format,
                            std::span<const ZarevoEffectEntFn> chain) {
    failedPlugin_ = -1;
    blockFrames_ = static_cast<int>(WorkingFramesPerBlock(sourceFrames, format.rate, source.Rate()));
    inputLeft_.Use(blockFrames_, kSampleMargin);
    inputRight_.Use(blockFrames_, kSampleMargin);
    const int realFrames = FetchDataBlock(source, sourceFrames);
    if (realFrames < 0) {
        return !source.ReadFailed();
    }
    prerollOutputLeft_ = std::llround(realFrames * chainSpeed_);
    return RunChain(format.rate, chain) >= 0;
}

bool BlockProducer::AskChainSpeed(int sampleRate, std::span<const ZarevoEffectSpeedFn> speeds) {
    failedPlugin_ = -1;
    double product = 1.0;
    bool allStated = true;
    for (std::size_t k = 0; k < speeds.size(); ++k) {
        double speed = 1.0;
        if (speeds[k] != nullptr && !GuardedPluginCall("EffectSpeed", k, [&] { speed = speeds[k](sampleRate); })) {
            failedPlugin_ = static_cast<int>(k);
            return false;
        }
        const bool usable = speeds[k] != nullptr && std::isfinite(speed) && speed > 0.0;
        product *= usable ? speed : 1.0;
        allStated = allStated && usable;
    }
    chainSpeed_ = std::clamp(product, kSlowestSpeed, kFastestSpeed);
    if (allStated) {
        end_.SetSpeed(chainSpeed_);
    }
    return true;
}

int BlockProducer::RunFlushBlock(int sampleRate, const PluginEntryLists& plugins) {
    if (!end_.Flushing()) {
        const std::int64_t tail = ChainTail(sampleRate, plugins.tail);
        if (tail < 0) {
            return -1;
        }
        end_.DeclareTail(tail);
    }
    flushing_.store(true, std::memory_order_relaxed);
    std::fill_n(inputLeft_.Data(), blockFrames_, 0.0);
    std::fill_n(inputRight_.Data(), blockFrames_, 0.0);
    return RunChain(sampleRate, plugins.process);
}

std::int64_t BlockProducer::ChainTail(int sampleRate, std::span<const ZarevoEffectTailFn> tails) {
    // Rationale: each plug-in counts its tail in its own output; the sum is
    // the longest the chain can ring on, as long as no later plug-in slows
    // the sound down, and the end is trimmed to the last sound anyway.
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < tails.size(); ++k) {
        if (tails[k] == nullptr) {
            continue;
        }
        int frames = 0;
        if (!GuardedPluginCall("EffectTail", k, [&] { frames = tails[k](sampleRate); })) {
            failedPlugin_ = static_cast<int>(k);
            return -1;
        }
        sum += std::max(frames, 0);
    }
    return sum;
}

int BlockProducer::EncodeChainOutput(int frames, int at, const OutputFormat& format) {
    // Keep the block's byte length within an int.
    const int frameBytes = (format.bits / 8) * format.channels;
    frames = std::clamp(frames, 0, std::max(0, (INT_MAX - kPcmMargin) / frameBytes - at));
    const int offset = frameBytes * at;
    encoded_.Use(offset + frameBytes * frames, kPcmMargin);
    const auto count = static_cast<std::size_t>(frames);
    WorkingToPcm({OutputBuffers.channel[0], count}, {OutputBuffers.channel[1], count}, frames, format.channels,
                 format.bits, encoded_.Used().subspan(static_cast<std::size_t>(offset)));
    return frames;
}

int BlockProducer::FetchDataBlock(BlockSource& source, int sourceFrames) {
    const std::int64_t before = source.Consumed();
    if (!source.FetchBlock(sourceFrames, raw_)) {
        return -1;
    }
    const int workingFrames = blockFrames_;
    PcmToWorking(source.Channels(), source.Bits(), sourceFrames, raw_.Used(), workingFrames, inputLeft_.Used(),
                 inputRight_.Used());
    // Working frame i holds source frame i x F / E, so it comes from data
    // when i x F < real x E: that is ceil(real x E / F) frames.
    const std::int64_t unitsPerFrame = source.UnitsPerFrame();
    const std::int64_t realSource = (source.Consumed() - before + unitsPerFrame - 1) / unitsPerFrame;
    const std::int64_t real = (realSource * workingFrames + sourceFrames - 1) / sourceFrames;
    return static_cast<int>(std::min<std::int64_t>(real, workingFrames));
}

void BlockProducer::EmitKept(const EndOfData::Kept& kept, int frameBytes, std::uint8_t silenceByte, PcmBlock& out) {
    // Silence held back from earlier blocks goes first, as far as an int
    // length allows (only an absurdly long silent tail could exceed it).
    const int maxFrames = (INT_MAX - kPcmMargin) / frameBytes;
    const int silentFrames = static_cast<int>(std::min<std::int64_t>(kept.leadingSilence, maxFrames - kept.frames));
    const int length = frameBytes * (silentFrames + kept.frames);
    if (out.length != length || length == 0) {
        out.bytes.resize(static_cast<std::size_t>(length) + kPcmMargin);
        out.length = length;
    }
    const auto silentBytes = static_cast<std::size_t>(frameBytes) * static_cast<std::size_t>(silentFrames);
    std::fill_n(out.bytes.begin(), silentBytes, silenceByte);
    std::copy_n(encoded_.Data(), static_cast<std::size_t>(frameBytes) * static_cast<std::size_t>(kept.frames),
                out.bytes.begin() + static_cast<std::ptrdiff_t>(silentBytes));
}

int BlockProducer::RunChain(int sampleRate, std::span<const ZarevoEffectEntFn> chain) {
    const int workingFrames = blockFrames_;
    if (chain.empty()) {
        ResizeOutput(workingFrames);
        const int frames = ClampToOutput(workingFrames);
        std::copy_n(inputLeft_.Data(), frames, OutputBuffers.channel[0]);
        std::copy_n(inputRight_.Data(), frames, OutputBuffers.channel[1]);
        return DropPrerollOutput(frames);
    }
    ChannelBuffers input = {{inputLeft_.Data(), inputRight_.Data()}};
    int frames = RunPlugin(chain[0], 0, sampleRate, workingFrames, &input);
    for (std::size_t k = 1; k < chain.size() && frames >= 0; ++k) {
        chainFrames_ = frames;
        chainLeft_.Use(frames, kSampleMargin);
        chainRight_.Use(frames, kSampleMargin);
        std::copy_n(OutputBuffers.channel[0], frames, chainLeft_.Data());
        std::copy_n(OutputBuffers.channel[1], frames, chainRight_.Data());
        ChannelBuffers between = {{chainLeft_.Data(), chainRight_.Data()}};
        frames = RunPlugin(chain[k], k, sampleRate, frames, &between);
        if (frames < 0) {
            failedPlugin_ = static_cast<int>(k);
        }
    }
    if (frames < 0 && failedPlugin_ < 0) {
        failedPlugin_ = 0;  // the first plug-in threw
    }
    return DropPrerollOutput(frames);
}

int BlockProducer::DropPrerollOutput(int frames) {
    const auto dropped = static_cast<int>(std::clamp<std::int64_t>(prerollOutputLeft_, 0, std::max(frames, 0)));
    if (dropped == 0) {
        return frames;
    }
    prerollOutputLeft_ -= dropped;
    for (double* channel : OutputBuffers.channel) {
        std::copy(channel + dropped, channel + frames, channel);
    }
    return frames - dropped;
}

void BlockProducer::Release() {
    raw_.Release();
    encoded_.Release();
    inputLeft_.Release();
    inputRight_.Release();
    chainLeft_.Release();
    chainRight_.Release();
}
