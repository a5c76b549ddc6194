// The passage of the source a save reads.
#include "source_passage.h"

#include <algorithm>
#include <cmath>

std::int64_t PrerollFrames(int sourceRate) { return std::max(1, sourceRate / 4); }

namespace {

std::int64_t FrameAt(double seconds, int rate) { return std::llround(std::max(seconds, 0.0) * rate); }

}  // namespace

void SourcePassage::Set(double start, double end) {
    start_ = start;
    end_ = end;
}

std::int64_t SourcePassage::StartJob(int maxPreroll) {
    if (Whole()) {
        source_.ResetConsumed();
        return 0;
    }
    const std::int64_t start = std::min(FrameAt(start_, Rate()), source_.LengthFrames());
    const std::int64_t preroll = std::min({start, PrerollFrames(Rate()), std::int64_t{maxPreroll}});
    source_.SeekToFrame(start - preroll);
    return preroll;
}

std::int64_t SourcePassage::DataSize() const {
    if (end_ < 0) return source_.DataSize();
    return std::min(source_.DataSize(), FrameAt(end_, Rate()) * UnitsPerFrame());
}

bool SourcePassage::FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) {
    if (end_ < 0) return source_.FetchBlock(frames, raw);
    const std::int64_t left = (DataSize() - Consumed() + UnitsPerFrame() - 1) / UnitsPerFrame();
    if (left <= 0) return false;
    const int fetched = static_cast<int>(std::min<std::int64_t>(frames, left));
    if (!source_.FetchBlock(fetched, raw)) return false;
    if (fetched < frames) {
        const int frameBytes = (Bits() / 8) * Channels();
        const std::size_t used = raw.Used().size();
        raw.Use(frameBytes * frames, 0);
        std::fill(raw.Data() + used, raw.Data() + raw.Count(), Bits() == 8 ? std::uint8_t{0x80} : std::uint8_t{0});
    }
    return true;
}
