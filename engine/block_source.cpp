// The generic seek of a block source: start again at the beginning and read
// forward. Slow for a long way into a long file, but right for any source,
// including one that cannot jump (a decoder without exact seeking).
#include "block_source.h"

#include <algorithm>

bool BlockSource::SeekToFrame(std::int64_t frame) {
    // Rationale: a block of this size keeps the scratch buffer small while
    // a far seek still needs only a few hundred reads per minute of sound.
    constexpr std::int64_t kDiscardFrames = 16384;
    ResetConsumed();
    GrowBuffer<std::uint8_t> scratch;
    while (NextFrame() < frame) {
        const auto step = static_cast<int>(std::min(kDiscardFrames, frame - NextFrame()));
        if (!FetchBlock(step, scratch)) {
            return !ReadFailed();
        }
    }
    return true;
}
