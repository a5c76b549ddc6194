// The vocal cancel block loop. The switch and the stop flag are atomics
// because the window thread writes them while the worker runs this loop;
// relaxed order is enough, only the latest value matters.
#include "vocal_cancel.h"

#include <algorithm>

extern "C" {
std::atomic<std::int32_t> VocalCancel{0};
}
std::atomic<std::int32_t> StopRequested{0};

int ProcessVocalCancelBlock(int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                            ZarevoResizeOutputFn resize) noexcept {
    // A negative count has no samples; the result is never negative.
    if (count <= 0) return 0;

    // Ask for exactly what this block needs; the engine keeps the size.
    if (*capacity < count) resize(count);
    // Rationale: should the engine fail to enlarge its arrays, write (and
    // report) only what fits rather than run past their end.
    const int length = std::min(count, *capacity);

    // Read once, so a whole block is either cancelled or passed through.
    const bool cancel = VocalCancel.load(std::memory_order_relaxed) != 0;
    int i = 0;
    if (cancel) {
        for (; i < length; ++i) {
            // Polled before every sample, so a stop takes effect at once.
            if (StopRequested.load(std::memory_order_relaxed) != 0) break;
            // Not halved: the engine clips to full scale when it encodes.
            const double difference = in->channel[0][i] - in->channel[1][i];
            out->channel[0][i] = difference;
            out->channel[1][i] = difference;
        }
    }
    // The rest of the block (all of it with vocal cancel off) passes through
    // unchanged. Rationale: a stopped save still writes the block in
    // progress, so every sample of it must be the sound itself, and the full
    // count keeps the interrupted file as long as the source read so far.
    for (; i < length; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return length;
}
