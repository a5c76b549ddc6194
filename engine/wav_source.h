// The source WAV file: the header walk that finds and checks the "fmt " and
// "data" chunks, and the block fetch that reads the sample data block by
// block. Usable on its own (tests, the fuzz target) without a worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "block_source.h"
#include "grow_buffer.h"

/// Widest source frame accepted, in bytes (256 channels of 32 bits): bounds
/// the raw block at 64 MiB.
inline constexpr int MaxSourceFrameBytes = 1024;

class WavSource : public BlockSource {
public:
    /// Closes any open source, then opens `path` and walks its header. True
    /// when the file is RIFF "WAVE" with exactly one "fmt " chunk of integer
    /// PCM (tag 1, at least 16 bytes of body) and one "data" chunk, 1 or more
    /// channels, a rate above 0 and 8, 16, 24 or 32 bits per sample. The data
    /// size is the declared size (unsigned 32-bit) clamped to the bytes the
    /// file holds after the data offset. Consumed is not touched. On failure
    /// the source is closed. A refused header is logged, or, when
    /// `headerRefusal` is given, only stored there (for a caller that tries
    /// another reader next and logs it only if that one refuses too).
    bool Open(const std::string& path, std::string* headerRefusal = nullptr);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    int Channels() const override { return channels_; }
    int Rate() const override { return rate_; }
    int Bits() const override { return bits_; }
    /// Bytes of one interleaved source frame.
    int FrameBytes() const { return (bits_ / 8) * channels_; }
    std::int64_t DataOffset() const { return dataOffset_; }
    /// wFormatTag of the "fmt " chunk the last Open found, refused or not;
    /// 0 when it found none.
    int FormatTag() const { return formatTag_; }

    /// [any thread] Bytes of the data body, and bytes fetched so far.
    std::int64_t DataSize() const override { return dataSize_.load(std::memory_order_relaxed); }
    std::int64_t Consumed() const override { return consumed_.load(std::memory_order_relaxed); }
    int UnitsPerFrame() const override { return FrameBytes(); }
    /// Starts the next job at the beginning of the data.
    void ResetConsumed() override {
        consumed_.store(0, std::memory_order_relaxed);
        readFailed_ = false;
    }

    /// Jumps straight to `frame`: the data are read in place.
    bool SeekToFrame(std::int64_t frame) override;

    /// Fetches the next block of `frames` frames into `raw` (grown with a
    /// margin of 1000000 bytes, used count = frames x FrameBytes()). Bytes past
    /// the end of the data are silence (0x80 for 8 bits, 0 otherwise). False
    /// when all data have been consumed, or when the file no longer delivers
    /// them (truncated or replaced while a job reads it, or a read error):
    /// then ReadFailed() is true and the reason is logged.
    bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) override;
    /// True when a fetch of the current job failed to read the data.
    bool ReadFailed() const override { return readFailed_; }

    /// True when `path` names an existing file that is the open source
    /// (same device and inode, whatever the name).
    bool IsSameFileAs(const std::string& path) const;

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool WalkChunks(std::int64_t& declaredDataSize);

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string path_;  // for the failure log
    bool readFailed_ = false;
    int channels_ = 0;
    int rate_ = 0;
    int bits_ = 0;
    int formatTag_ = 0;
    std::int64_t dataOffset_ = 0;
    std::atomic<std::int64_t> dataSize_{0};
    std::atomic<std::int64_t> consumed_{0};
};
