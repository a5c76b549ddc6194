// libsndfile's encoders over a descriptor, through its virtual I/O.
#include "sndfile_encoder.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int FormatOf(OutputKind kind, int bits) {
    switch (kind) {
    case OutputKind::Flac: return SF_FORMAT_FLAC | (bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
    case OutputKind::Vorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case OutputKind::Opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case OutputKind::Mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case OutputKind::Wav: break;
    }
    return 0;
}

}  // namespace

void SndfileEncoder::Abandon() {
    if (!file_) return;
    if (writeError_ == 0) writeError_ = ECANCELED;  // refuses every write from now on
    sf_close(file_);
    file_ = nullptr;
}

std::int64_t SndfileEncoder::Length(void* user) {
    struct stat status {};
    return ::fstat(static_cast<SndfileEncoder*>(user)->fd_, &status) == 0 ? status.st_size : -1;
}

std::int64_t SndfileEncoder::Seek(std::int64_t offset, int whence, void* user) {
    auto* self = static_cast<SndfileEncoder*>(user);
    std::int64_t target = offset;
    if (whence == SEEK_CUR) target += self->offset_;
    if (whence == SEEK_END) target += Length(user);
    if (target < 0) return -1;
    self->offset_ = target;
    return target;
}

std::int64_t SndfileEncoder::Read(void* into, std::int64_t count, void* user) {
    auto* self = static_cast<SndfileEncoder*>(user);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(self->fd_, static_cast<char*>(into) + done, static_cast<std::size_t>(count - done),
                                    self->offset_ + done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    self->offset_ += done;
    return done;
}

std::int64_t SndfileEncoder::Write(const void* from, std::int64_t count, void* user) {
    auto* self = static_cast<SndfileEncoder*>(user);
    std::int64_t done = 0;
    // After one failed write nothing more is written: the save has failed.
    while (done < count && self->writeError_ == 0) {
        const ssize_t wrote = ::pwrite(self->fd_, static_cast<const char*>(from) + done,
                                       static_cast<std::size_t>(count - done), self->offset_ + done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) self->writeError_ = wrote < 0 ? errno : EIO;
        if (wrote > 0) done += wrote;
    }
    self->offset_ += done;
    return done;
}

std::int64_t SndfileEncoder::Tell(void* user) { return static_cast<SndfileEncoder*>(user)->offset_; }

bool SndfileEncoder::Failed(const char* what, std::string& why) {
    why = std::string("cannot ") + what + ": " + (writeError_ != 0 ? std::strerror(writeError_) : sf_strerror(file_));
    return false;
}

bool SndfileEncoder::Begin(int fd, OutputKind kind, int channels, int rate, int bits, int quality, std::string& why) {
    fd_ = fd;
    offset_ = 0;
    writeError_ = 0;
    channels_ = channels;
    bits_ = bits;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = FormatOf(kind, bits);
    static SF_VIRTUAL_IO io = {Length, Seek, Read, Write, Tell};
    file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
    if (!file_) return Failed("start the encoder", why);
    if (kind != OutputKind::Flac) {
        // libsndfile counts compression from 0 (best sound) to 1 (smallest file).
        double level = 1.0 - static_cast<double>(quality) / MaxEncoderQuality;
        sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    }
    if (kind == OutputKind::Mp3) {
        int mode = SF_BITRATE_MODE_VARIABLE;
        sf_command(file_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    return writeError_ == 0 || Failed("write the header", why);
}

bool SndfileEncoder::Encode(std::span<const std::uint8_t> pcm, std::string& why) {
    const std::size_t bytesPerSample = bits_ == 8 ? 1 : 2;
    const std::size_t count = pcm.size() / bytesPerSample;
    if (samples_.size() < count) samples_.resize(count);
    // Left-justified in 32 bits, which every format takes back exactly.
    // Rationale: not shorts, whose stereo MP3 path in libsndfile 1.2.0
    // copies half of each block and encodes the rest as garbage.
    for (std::size_t i = 0; i < count; ++i) {
        const int value =
            bits_ == 8 ? (pcm[i] - 128) * 256 : static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        samples_[i] = static_cast<int>(static_cast<std::uint32_t>(value) << 16);
    }
    const auto frames = static_cast<sf_count_t>(count / static_cast<std::size_t>(channels_));
    if (sf_writef_int(file_, samples_.data(), frames) != frames || writeError_ != 0) {
        return Failed("encode into", why);
    }
    return true;
}

bool SndfileEncoder::Finish(std::string& why) {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0 || writeError_ != 0) {
        why =
            std::string("cannot finish: ") + (writeError_ != 0 ? std::strerror(writeError_) : sf_error_number(closed));
        return false;
    }
    return true;
}
