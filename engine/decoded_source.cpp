// Sources decoded by libsndfile, fetched block by block as 32-bit PCM.
#include "decoded_source.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "failure_log.h"
#include "regular_file.h"
#include "wav_source.h"

namespace {

/// Frames decoded per libsndfile call: bounds the decode buffer (8 MiB at the
/// widest frame) independently of the block length.
constexpr std::int64_t kChunkFrames = 4096;
constexpr int kRawMargin = 1000000;

/// Length counted for a file that does not state it. Small enough that the
/// progress arithmetic (consumed x 100) cannot overflow.
constexpr std::int64_t kUnknownLength = std::numeric_limits<std::int64_t>::max() / 1000;

/// An MP3's length is exact only when its encoder wrote it down; otherwise
/// libsndfile estimates it from the file size. A shortfall of up to this many
/// frames (two MPEG frames of 1152) is the estimate's error, not damage.
constexpr std::int64_t kMpegLengthTolerance = 2 * 1152;

/// Integer PCM in RIFF/RIFX: the engine's own reader takes these or refuses
/// them by its own rules, and a file it refuses must stay refused.
bool IsIntegerPcmWav(int format) {
    if ((format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV) return false;
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32: return true;
    default: return false;
    }
}

/// x x 2^31 rounded, clipped to the 32-bit range; NaN is 0. Exact for every
/// value an integer sample of up to 32 bits gives (v / 2^(bits-1)), so a
/// 16-bit v becomes v x 65536 and converts back to exactly v / 32768.
std::int32_t ToPcm32(double x) {
    if (std::isnan(x)) return 0;
    const double scaled = std::nearbyint(x * 2147483648.0);
    if (scaled >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (scaled <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(scaled);
}

// libsndfile reads through these over the engine's own descriptor. Rationale:
// sf_open_fd closes a descriptor it was told to leave open when the open
// fails, and closing it again could close another thread's file; this way
// the descriptor has exactly one owner.
int DescriptorOf(void* user) { return *static_cast<const int*>(user); }

sf_count_t VirtualLength(void* user) {
    struct stat status {};
    return ::fstat(DescriptorOf(user), &status) == 0 ? status.st_size : -1;
}

sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
    return ::lseek(DescriptorOf(user), offset, whence);
}

sf_count_t VirtualRead(void* into, sf_count_t count, void* user) {
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::read(DescriptorOf(user), static_cast<char*>(into) + done, static_cast<std::size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

sf_count_t VirtualWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t VirtualTell(void* user) { return ::lseek(DescriptorOf(user), 0, SEEK_CUR); }

SF_VIRTUAL_IO descriptorIo = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};

void StoreLe32(std::int32_t value, std::uint8_t* at) {
    const auto bits = static_cast<std::uint32_t>(value);
    at[0] = static_cast<std::uint8_t>(bits);
    at[1] = static_cast<std::uint8_t>(bits >> 8);
    at[2] = static_cast<std::uint8_t>(bits >> 16);
    at[3] = static_cast<std::uint8_t>(bits >> 24);
}

}  // namespace

DecodedSource::~DecodedSource() { Close(); }

void DecodedSource::Close() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}

bool DecodedSource::Open(const std::string& path, std::string& whyNot) {
    Close();
    readFailed_ = false;
    descriptor_ = OpenRegularFileDescriptor(path);
    if (descriptor_ < 0) {
        whyNot = std::string("cannot open: ") + std::strerror(errno);  // EINVAL: not a regular file
        return false;
    }
    SF_INFO info{};
    file_ = sf_open_virtual(&descriptorIo, SFM_READ, &info, &descriptor_);
    if (!file_) {
        whyNot = sf_strerror(nullptr);
        Close();
        return false;
    }
    bool refused = true;
    if (IsIntegerPcmWav(info.format)) {
        whyNot.clear();  // the own reader's to judge, and it has
    } else if (info.channels < 1 || info.channels * 4 > MaxSourceFrameBytes) {
        whyNot = "unsupported channel count " + std::to_string(info.channels);
    } else if (info.samplerate <= 0) {
        whyNot = "no usable sample rate";
    } else {
        refused = false;
    }
    if (refused) {
        Close();
        return false;
    }
    sf_command(file_, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    path_ = path;
    channels_ = info.channels;
    rate_ = info.samplerate;
    lengthKnown_ = info.frames >= 0 && info.frames < kUnknownLength;
    lengthEstimated_ = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    dataSize_.store(lengthKnown_ ? info.frames : kUnknownLength, std::memory_order_relaxed);
    position_ = 0;
    chunk_.assign(static_cast<std::size_t>(kChunkFrames * channels_), 0.0);
    return true;
}

void DecodedSource::ResetConsumed() {
    consumed_.store(0, std::memory_order_relaxed);
    readFailed_ = false;
}

std::int64_t DecodedSource::Decode(std::int64_t frames, std::uint8_t* into) {
    std::int64_t done = 0;
    while (done < frames) {
        const std::int64_t ask = std::min(kChunkFrames, frames - done);
        const sf_count_t got = sf_readf_double(file_, chunk_.data(), ask);
        if (got <= 0) break;
        const auto samples = static_cast<std::size_t>(got * channels_);
        for (std::size_t i = 0; i < samples; ++i) {
            StoreLe32(ToPcm32(chunk_[i]), into + 4 * i);
        }
        into += 4 * samples;
        done += got;
        if (got < ask) break;
    }
    position_ += done;
    return done;
}

bool DecodedSource::FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) {
    const std::int64_t consumed = Consumed();
    if (!file_ || consumed >= DataSize()) return false;
    const int frameBytes = 4 * channels_;
    const int requested = frameBytes * frames;
    const std::int64_t wanted = std::min<std::int64_t>(frames, DataSize() - consumed);
    raw.Use(requested, kRawMargin);
    // A new job starts again at the beginning of the data.
    if (position_ != consumed) {
        position_ = sf_seek(file_, consumed, SEEK_SET) == consumed ? consumed : -1;
    }
    const std::int64_t got = position_ == consumed ? Decode(wanted, raw.Data()) : 0;
    if (got < wanted && !EndEarly(consumed + got)) {
        consumed_.store(consumed + got, std::memory_order_relaxed);
        return false;
    }
    std::fill(raw.Data() + got * frameBytes, raw.Data() + requested, std::uint8_t{0});
    consumed_.store(consumed + got, std::memory_order_relaxed);
    return got > 0;
}

bool DecodedSource::EndEarly(std::int64_t end) {
    const bool natural = !lengthKnown_ || (lengthEstimated_ && DataSize() - end <= kMpegLengthTolerance);
    if (!natural) {
        readFailed_ = true;
        LogEngineFailure("cannot decode the source %s past frame %lld of %lld: %s", path_.c_str(),
                         static_cast<long long>(end), static_cast<long long>(DataSize()), sf_strerror(file_));
    }
    // Either way nothing further is fetched.
    dataSize_.store(end, std::memory_order_relaxed);
    return natural;
}

bool DecodedSource::IsSameFileAs(const std::string& path) const { return DescriptorIsFile(descriptor_, path); }
