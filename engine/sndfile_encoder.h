// Encoding a save's PCM blocks as FLAC, Ogg Vorbis, Opus or MP3 with
// libsndfile, into a descriptor that the caller owns (the output file's). The
// encoder writes only through that descriptor, and every failed write is
// kept with its error, so a full disk ends the save as it does for WAV.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "output_kind.h"

struct sf_private_tag;  // libsndfile's SNDFILE

class SndfileEncoder {
public:
    SndfileEncoder() = default;
    /// Abandons an unfinished encoder.
    ~SndfileEncoder() { Abandon(); }
    SndfileEncoder(const SndfileEncoder&) = delete;
    SndfileEncoder& operator=(const SndfileEncoder&) = delete;

    /// Starts a file of `kind` (not Wav) on `fd`, an empty, seekable file
    /// open for reading and writing. FLAC keeps `bits` (8 or 16); the lossy
    /// formats encode at `quality` (MinEncoderQuality .. MaxEncoderQuality).
    /// False with `why` set when libsndfile refuses (a rate the format
    /// cannot hold) or the first write fails.
    bool Begin(int fd, OutputKind kind, int channels, int rate, int bits, int quality, std::string& why);
    /// Encodes whole frames of interleaved PCM as the job writes it: 8-bit
    /// unsigned or 16-bit signed little-endian, as given to Begin.
    bool Encode(std::span<const std::uint8_t> pcm, std::string& why);
    /// Writes what the encoder still holds and completes the file's header
    /// (FLAC's length, MP3's Xing frame). The file is then whole.
    bool Finish(std::string& why);
    /// Closes the encoder without writing anything more: the file stays as
    /// it stands (it is being dropped, or was published as it stood).
    void Abandon();
    /// The errno of the first failed write, 0 when none failed.
    int WriteError() const { return writeError_; }

private:
    static std::int64_t Length(void* user);
    static std::int64_t Seek(std::int64_t offset, int whence, void* user);
    static std::int64_t Read(void* into, std::int64_t count, void* user);
    static std::int64_t Write(const void* from, std::int64_t count, void* user);
    static std::int64_t Tell(void* user);
    bool Failed(const char* what, std::string& why);

    sf_private_tag* file_ = nullptr;
    int fd_ = -1;
    std::int64_t offset_ = 0;
    int writeError_ = 0;
    int channels_ = 0;
    int bits_ = 16;
    std::vector<int> samples_;  // one block converted for libsndfile
};
