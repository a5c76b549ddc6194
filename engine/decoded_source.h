// A source file decoded by libsndfile: float and extensible WAV, FLAC, Ogg
// Vorbis, Opus, MP3, AIFF, W64, RF64, CAF and whatever else it reads, except
// integer-PCM WAV, which belongs to the engine's own reader alone. Blocks are
// handed on as 32-bit integer PCM, so a lossless file reaches the plug-ins
// with exactly the values of the WAV it was made from.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "block_source.h"

struct sf_private_tag;  // libsndfile's SNDFILE

class DecodedSource : public BlockSource {
public:
    DecodedSource() = default;
    ~DecodedSource() override;
    DecodedSource(const DecodedSource&) = delete;
    DecodedSource& operator=(const DecodedSource&) = delete;

    /// Closes any open source, then opens `path` (a regular file only, so a
    /// FIFO or a device never blocks) with libsndfile. Refuses what it cannot
    /// decode, integer-PCM WAV (RIFF or RIFX), more than MaxSourceFrameBytes / 4
    /// channels and a rate of 0. Consumed is not touched. `whyNot` receives
    /// the reason of a refusal; it is empty for integer-PCM WAV, which is
    /// the own reader's to judge.
    bool Open(const std::string& path, std::string& whyNot);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    int Channels() const override { return channels_; }
    int Rate() const override { return rate_; }
    /// Blocks hold 32-bit integer PCM whatever the file's own encoding.
    int Bits() const override { return 32; }
    /// [any thread] Frames of the whole source and frames fetched so far. A
    /// file that does not state its length (an Ogg stream cut short) counts
    /// as very long until its decoder reaches the end.
    std::int64_t DataSize() const override { return dataSize_.load(std::memory_order_relaxed); }
    std::int64_t Consumed() const override { return consumed_.load(std::memory_order_relaxed); }
    int UnitsPerFrame() const override { return 1; }
    void ResetConsumed() override;
    /// Decodes the next block; samples are rounded to 32 bits and clipped to
    /// full scale (a float file louder than 1.0 clips instead of wrapping), a
    /// NaN is silence. When the decoder delivers less than the stated length
    /// the data end there: as a read failure when the length was exact, as
    /// the natural end when it was unknown or an MP3 estimate that was close.
    bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) override;
    bool ReadFailed() const override { return readFailed_; }

    /// True when `path` names an existing file that is the open source.
    bool IsSameFileAs(const std::string& path) const;

private:
    /// Decodes up to `frames` frames as 32-bit PCM into `into`; returns the
    /// frames the decoder delivered.
    std::int64_t Decode(std::int64_t frames, std::uint8_t* into);
    /// The decoder stopped at frame `end`, before the stated length: the data
    /// end there. False (and ReadFailed) when that is damage, not the end.
    bool EndEarly(std::int64_t end);

    sf_private_tag* file_ = nullptr;
    int descriptor_ = -1;
    std::string path_;  // for the log line of a read failure
    int channels_ = 0;
    int rate_ = 0;
    bool lengthKnown_ = false;
    bool lengthEstimated_ = false;  // MP3 without exact length information
    std::int64_t position_ = 0;     // frames the decoder has delivered
    bool readFailed_ = false;
    std::vector<double> chunk_;  // one decode step, channels interleaved
    std::atomic<std::int64_t> dataSize_{0};
    std::atomic<std::int64_t> consumed_{0};
};
