// The output WAV file of a save job: a fixed 44-byte header, the blocks
// appended as they are produced, and the two sizes patched after every block,
// so the file is a valid WAV up to its last whole block at every moment. It is
// written through OutputFile, which gives it the output's name only when the
// job keeps it: a failed save never harms a file that was there before, and a
// killed process leaves nothing behind. Every write is checked.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "output_file.h"
#include "output_sink.h"

/// Size of the header WavWriter writes before the samples.
inline constexpr int WavHeaderBytes = 44;

/// Most data bytes a WAV file can describe: its RIFF size (data + 36) is a
/// 32-bit field.
inline constexpr std::int64_t WavMaxDataBytes = 0xFFFFFFFFLL - 36;

/// Test seams shared by every writer of the process, read by Begin. Set them
/// only while no save runs.
struct WavWriterSeams {
    std::int64_t dataLimit = WavMaxDataBytes;  ///< data bytes at which SizeLimit stops a file
    std::int64_t failAfter = -1;               ///< data bytes after which writes fail (-1: never)
    int failError = 0;                         ///< the errno of such a failed write
};
void SetWavWriterSeams(const WavWriterSeams& seams);

class WavWriter : public OutputSink {
public:
    WavWriter() = default;
    /// Discards a file that was neither published nor discarded.
    ~WavWriter() override;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /// Creates the output file for `path` (see OutputFile::Create: refused
    /// paths, links, permissions) and writes the header for integer PCM of
    /// the given format with both sizes 0. False, with nothing left behind,
    /// on failure.
    bool Begin(const std::string& path, int channels, int rate, int bits) override;
    /// Appends one block of whole frames and patches the sizes. After any
    /// result but Written the file is closed to further data: later appends
    /// write nothing and repeat that result.
    WriteStatus Append(std::span<const std::uint8_t> bytes) override;
    /// Makes the file the output, synced to the disk (OutputFile::Publish).
    /// False, with nothing published and the output as it was, on failure.
    bool Publish() override;
    /// Drops the file; the output stays as it was.
    void Discard() override;
    /// [any thread] For a job whose worker will not come back (the program
    /// is ending while a plug-in holds it): the file as it stands, valid up
    /// to its last whole block, becomes the output. Later appends write
    /// nothing; the worker's own Publish or Discard then leaves it alone.
    void PublishAbandoned() override;
    /// [any thread] The same, dropping the file instead.
    void DiscardAbandoned() override;

    /// Bytes of sample data written so far.
    std::int64_t DataBytes() const { return dataBytes_; }
    /// A path to read the file as written so far (OutputFile::ReadablePath).
    std::string ReadablePath() const { return file_.ReadablePath(); }

private:
    WriteStatus Fail(int error, const char* what);
    bool PatchSizes();

    OutputFile file_;
    std::atomic<bool> abandoned_{false};  // set by the abandoning thread: no more appends
    WavWriterSeams seams_;
    int frameBytes_ = 1;
    std::int64_t dataBytes_ = 0;
    WriteStatus status_ = WriteStatus::Written;
};
