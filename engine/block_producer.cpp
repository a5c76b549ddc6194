// Block production: fetch, convert, run the plug-in chain, encode.
#include "block_producer.h"

#include <algorithm>
#include <climits>

#include "guarded_call.h"
#include "output_buffers.h"
#include "pcm_convert.h"

namespace {

constexpr int kSampleMargin = 100000;
constexpr int kPcmMargin = 4096;

/// A plug-in's result, kept within what the output pair really holds.
int ClampToOutput(int frames) {
    return std::clamp(frames, 0, OutputCapacity);
}

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

bool BlockProducer::ProduceBlock(WavSource& source, int sourceFrames, const OutputFormat& format,
                                 std::span<const ZarevoEffectEntFn> chain, PcmBlock& out) {
    failedPlugin_ = -1;
    if (source.Consumed() >= source.DataSize()) {
        return false;
    }
    const int workingFrames = static_cast<int>(WorkingFramesPerBlock(sourceFrames, format.rate, source.Rate()));
    blockFrames_ = workingFrames;
    inputLeft_.Use(workingFrames, kSampleMargin);
    inputRight_.Use(workingFrames, kSampleMargin);
    if (!source.FetchBlock(sourceFrames, raw_)) {
        return false;
    }
    PcmToWorking(source.Channels(), source.Bits(), sourceFrames, raw_.Used(), workingFrames,
                 inputLeft_.Used(), inputRight_.Used());

    int frames = RunChain(format.rate, chain);
    if (frames < 0) {
        return false;
    }

    // Keep the block's byte length within an int.
    const int frameBytes = (format.bits / 8) * format.channels;
    frames = std::min(frames, (INT_MAX - kPcmMargin) / frameBytes);
    const int length = frameBytes * frames;
    if (out.length != length || length == 0) {
        out.bytes.resize(static_cast<std::size_t>(length) + kPcmMargin);
        out.length = length;
    }
    const auto count = static_cast<std::size_t>(frames);
    WorkingToPcm({OutputBuffers.channel[0], count}, {OutputBuffers.channel[1], count}, frames,
                 format.channels, format.bits, out.bytes);
    return true;
}

int BlockProducer::RunChain(int sampleRate, std::span<const ZarevoEffectEntFn> chain) {
    const int workingFrames = blockFrames_;
    if (chain.empty()) {
        ResizeOutput(workingFrames);
        const int frames = ClampToOutput(workingFrames);
        std::copy_n(inputLeft_.Data(), frames, OutputBuffers.channel[0]);
        std::copy_n(inputRight_.Data(), frames, OutputBuffers.channel[1]);
        return frames;
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
    return frames;
}

void BlockProducer::Release() {
    raw_.Release();
    inputLeft_.Release();
    inputRight_.Release();
    chainLeft_.Release();
    chainRight_.Release();
}
