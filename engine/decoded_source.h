// A source file decoded by FFmpeg: every file but the integer-PCM WAV that the
// engine's own reader takes (float and extensible WAV, FLAC, Ogg, Opus, MP3,
// AAC and ALAC in .m4a, WMA, the sound of a video). The sound is decoded as it
// comes, so a file is as long as what it holds, not what its header states.
// Blocks are handed on as 32-bit integer PCM, so a lossless file reaches the
// plug-ins with exactly the values of the WAV it was made from.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "block_source.h"
#include "ffmpeg_input.h"

class DecodedSource : public BlockSource {
public:
    DecodedSource() = default;
    ~DecodedSource() override;
    DecodedSource(const DecodedSource&) = delete;
    DecodedSource& operator=(const DecodedSource&) = delete;

    /// Closes any open source, then opens `path` (a regular file only, so a
    /// FIFO or a device never blocks) with FFmpeg. Refuses a file without
    /// sound, one FFmpeg cannot read, and more than MaxSourceFrameBytes / 4
    /// channels. Consumed is not touched. `whyNot` receives the reason.
    bool Open(const std::string& path, std::string& whyNot);
    void Close();
    bool IsOpen() const { return descriptor_ >= 0; }

    int Channels() const override { return input_.Channels(); }
    int Rate() const override { return input_.Rate(); }
    /// Blocks hold 32-bit integer PCM whatever the file's own encoding.
    int Bits() const override { return 32; }
    /// [any thread] Frames of the whole source and frames fetched so far.
    /// The whole counts as very long until the decoder reaches the end.
    std::int64_t DataSize() const override { return dataSize_.load(std::memory_order_relaxed); }
    std::int64_t Consumed() const override { return consumed_.load(std::memory_order_relaxed); }
    int UnitsPerFrame() const override { return 1; }
    void ResetConsumed() override;
    /// Decodes the next block; samples are rounded to 32 bits and clipped to
    /// full scale (a float file louder than 1.0 clips instead of wrapping), a
    /// NaN is silence. The data end where the decoder ends. That end is a
    /// read failure when the file could not be read, was cut inside a packet,
    /// or holds clearly less than its header states exactly.
    bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) override;
    bool ReadFailed() const override { return readFailed_; }
    /// The frames the container states exactly (not a bit-rate estimate)
    /// until the decoder reaches the end, then the real length.
    std::int64_t StatedLengthFrames() const override;

    /// [any thread] The progress in bytes of the file: where the decoded
    /// sound has reached, and the file's size.
    std::int64_t BytesDecoded() const { return input_.Position(); }
    std::int64_t FileBytes() const { return input_.FileBytes(); }

    /// True when `path` names an existing file that is the open source.
    bool IsSameFileAs(const std::string& path) const;

private:
    /// Starts decoding again from the beginning, for a new job.
    bool Restart(std::string& why);
    /// Ends the data at frame `end`; a failure with `why` when `failed`.
    void EndAt(std::int64_t end, bool failed, const std::string& why);

    int descriptor_ = -1;
    std::string path_;
    FfmpegInput input_;
    std::vector<double> pending_;  // decoded, not yet fetched; channels interleaved
    std::size_t pendingAt_ = 0;
    std::int64_t delivered_ = 0;  // frames fetched since decoding began
    bool readFailed_ = false;
    std::atomic<std::int64_t> dataSize_{0};
    std::atomic<std::int64_t> consumed_{0};
};
