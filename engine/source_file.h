// The job's source file, whatever its format: integer-PCM RIFF/WAVE goes to
// the engine's own reader (with its rules and mends), every other file to the
// FFmpeg decoder. Block production and progress read the one that took it.
#pragma once

#include <atomic>
#include <string>

#include "block_source.h"
#include "decoded_source.h"
#include "wav_source.h"

class SourceFile : public BlockSource {
public:
    /// Closes any open source, then opens `path`: a file that begins as RIFF
    /// "WAVE" first with the own reader, then (like every other file)
    /// through the decoder, except integer PCM (tag 1) in RIFF, so that a WAV
    /// the own reader refuses stays refused. The reason for a refusal is
    /// logged on stderr in one line.
    bool Open(const std::string& path);
    void Close();
    /// True when the decoder took the open source.
    bool IsDecoded() const { return &Active() == &decoded_; }
    /// True when `path` names an existing file that is the open source.
    bool IsSameFileAs(const std::string& path) const;

    int Channels() const override { return Active().Channels(); }
    int Rate() const override { return Active().Rate(); }
    int Bits() const override { return Active().Bits(); }
    /// [any thread] Bytes for the own reader, frames for decoded sources.
    std::int64_t DataSize() const override { return Active().DataSize(); }
    std::int64_t Consumed() const override { return Active().Consumed(); }
    int UnitsPerFrame() const override { return Active().UnitsPerFrame(); }
    void ResetConsumed() override { Active().ResetConsumed(); }
    bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) override { return Active().FetchBlock(frames, raw); }
    bool SeekToFrame(std::int64_t frame) override { return Active().SeekToFrame(frame); }
    bool ReadFailed() const override { return Active().ReadFailed(); }
    std::int64_t StatedLengthFrames() const override { return Active().StatedLengthFrames(); }

    /// [any thread] The progress of the running job as a part of a whole:
    /// bytes of a WAV's data, or, for a decoded file (whose length in frames
    /// shows only at its end), where its decoding has reached in the file.
    std::int64_t ProgressDone() const;
    std::int64_t ProgressWhole() const;

private:
    BlockSource& Active() const { return *active_.load(); }

    WavSource wav_;
    DecodedSource decoded_;
    // Read by the window's progress display while the worker opens; both
    // readers live as long as this object, so either is always safe to ask.
    std::atomic<BlockSource*> active_{&wav_};
};
