// What block production reads: a source of interleaved integer PCM frames,
// fetched one block at a time. The engine's own RIFF reader and the
// FFmpeg decoder both provide it, so the conversion, the plug-in chain and
// the encoding behind them are the same for every kind of file.
#pragma once

#include <cstdint>

#include "grow_buffer.h"

class BlockSource {
public:
    virtual ~BlockSource() = default;

    virtual int Channels() const = 0;
    /// Frames per second; above 0 once open.
    virtual int Rate() const = 0;
    /// Width of one sample in the fetched blocks: 8, 16, 24 or 32.
    virtual int Bits() const = 0;

    /// [any thread] Progress of the running job: the whole data and what has
    /// been fetched so far, in the source's own unit (bytes or frames; only
    /// their ratio is shown).
    virtual std::int64_t DataSize() const = 0;
    virtual std::int64_t Consumed() const = 0;
    /// Units of DataSize and Consumed in one frame: the frame's bytes for a
    /// source counted in bytes, 1 for a source counted in frames.
    virtual int UnitsPerFrame() const = 0;
    /// Starts the next job at the beginning of the data.
    virtual void ResetConsumed() = 0;

    /// Fetches the next block of `frames` frames into `raw` as little-endian
    /// integer PCM of Bits() (used count = frames x Channels() x Bits() / 8);
    /// the part past the end of the data is silence. False, with `raw`
    /// untouched, when there is no further block.
    virtual bool FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) = 0;

    /// Moves the next fetch to source frame `frame` (clamped to the data),
    /// for a play that starts or continues inside the data. This default
    /// starts again at the beginning and fetches and discards up to there,
    /// which every source can do; a source that can jump overrides it. False
    /// when the source could not be read up to there.
    virtual bool SeekToFrame(std::int64_t frame);
    /// Frames of the whole data and the frame the next fetch begins with.
    std::int64_t LengthFrames() const { return DataSize() / UnitsPerFrame(); }
    std::int64_t NextFrame() const { return Consumed() / UnitsPerFrame(); }
    /// The length to show and to end a whole-source loop at: LengthFrames(),
    /// or, while a source learns its real length only at its end, the length
    /// its container states reliably. Never decides how much is fetched.
    virtual std::int64_t StatedLengthFrames() const { return LengthFrames(); }

    /// True when the data ended early because the source could not be read
    /// to its end (a damaged or shrinking file): the job failed, it did not
    /// complete.
    virtual bool ReadFailed() const { return false; }
};
