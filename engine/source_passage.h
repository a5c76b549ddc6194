// A passage of the source for a save: the source as it is, or only the
// frames between two times, after a pre-roll that warms the plug-ins up as a
// play's seek does. Block production reads the passage as if the source
// ended at the passage's end, so the output ends there through the chain.
#pragma once

#include <cstdint>

#include "block_source.h"

/// Source frames fed through the chain and thrown away before sound that
/// starts inside the data (a seek, a loop, a passage). Rationale: a quarter
/// second covers the fade-in and the analysis window of every effect
/// shipped, at the cost of a few milliseconds of work per move.
std::int64_t PrerollFrames(int sourceRate);

class SourcePassage : public BlockSource {
public:
    /// Reads `source`, which outlives this object.
    explicit SourcePassage(BlockSource& source) : source_(source) {}

    /// The passage in seconds of the source: from `start` to `end`, an `end`
    /// below 0 meaning the source's end. (0, -1), the default, is the whole
    /// source, read exactly as the source itself.
    void Set(double start, double end);
    /// Positions the source for the next job and returns the frames to feed
    /// as a pre-roll before the passage (0 for the whole source).
    std::int64_t StartJob(int maxPreroll);

    int Channels() const override { return source_.Channels(); }
    int Rate() const override { return source_.Rate(); }
    int Bits() const override { return source_.Bits(); }
    /// The source's data up to the passage's end.
    std::int64_t DataSize() const override;
    std::int64_t Consumed() const override { return source_.Consumed(); }
    int UnitsPerFrame() const override { return source_.UnitsPerFrame(); }
    void ResetConsumed() override { source_.ResetConsumed(); }
    bool SeekToFrame(std::int64_t frame) override { return source_.SeekToFrame(frame); }
    /// Fetches as the source does, with what lies past the passage's end as
    /// silence.
    bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) override;
    bool ReadFailed() const override { return source_.ReadFailed(); }

private:
    bool Whole() const { return start_ <= 0 && end_ < 0; }

    BlockSource& source_;
    double start_ = 0;
    double end_ = -1;
};
