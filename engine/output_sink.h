// Where a save job's blocks go: the output file in the format its name gives.
// WAV (the engine's own writer) and the encoded formats (libsndfile) behind
// one interface, so the save job is the same for every format; the one
// place that picks a sink by the output's name is the save job's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

/// What became of one appended block.
enum class WriteStatus {
    Written,    ///< all of it
    SizeLimit,  ///< only the whole frames that still fit the WAV size fields
    DiskFull,   ///< nothing of it: no space left on the output's file system
    Failed,     ///< nothing of it: any other write error
};

class OutputSink {
public:
    virtual ~OutputSink() = default;

    /// Creates the output file for `path` (published only by Publish) and
    /// starts it for integer PCM of the given format. False, with the reason
    /// on stderr and nothing left behind, on failure.
    virtual bool Begin(const std::string& path, int channels, int rate, int bits) = 0;
    /// Appends one block of whole frames of interleaved PCM (8-bit unsigned
    /// or 16-bit signed little-endian). After any result but Written later
    /// appends write nothing and repeat that result.
    virtual WriteStatus Append(std::span<const std::uint8_t> bytes) = 0;
    /// Completes the file and makes it the output. False, with nothing
    /// published and the output as it was, on failure.
    virtual bool Publish() = 0;
    /// Drops the file; the output stays as it was.
    virtual void Discard() = 0;
    /// [any thread] For a job whose worker will not come back: the file as it
    /// stands becomes the output (PublishAbandoned) or is dropped
    /// (DiscardAbandoned); the worker's own Publish or Discard then leaves it
    /// alone.
    virtual void PublishAbandoned() = 0;
    virtual void DiscardAbandoned() = 0;
};
