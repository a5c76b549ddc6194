// The output WAV file of a save job: a fixed 44-byte header, the blocks
// appended as they are produced, and the two sizes patched at the end. Every
// write is checked, so a full disk ends the job as interrupted, never as done.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

class WavWriter {
public:
    ~WavWriter();
    /// Creates `path` ("wb") and writes the header for integer PCM of the
    /// given format with both sizes 0. False when the file cannot be created
    /// or the header cannot be written (nothing is left open then).
    bool Begin(const std::string& path, int channels, int rate, int bits);
    /// Appends one block's bytes. False when they could not all be written;
    /// later appends then fail too.
    bool Append(std::span<const std::uint8_t> bytes);
    /// Cuts the file after the last wholly written block, patches the RIFF
    /// size (length - 8) and the data size (length - 44) and closes the file.
    /// False when any write of the job, the patch or the close failed.
    bool Finish();
    /// Bytes of sample data written so far (whole blocks only).
    std::int64_t DataBytes() const { return dataBytes_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::int64_t dataBytes_ = 0;
    bool failed_ = false;
};

/// Size of the header WavWriter writes before the samples.
inline constexpr int WavHeaderBytes = 44;
