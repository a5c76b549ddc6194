// The source WAV file: header walk and block fetch.
#include "wav_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "failure_log.h"
#include "regular_file.h"

namespace {

std::uint32_t ReadLe32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::uint16_t ReadLe16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

bool ReadExactly(std::FILE* file, void* into, std::size_t bytes) { return std::fread(into, 1, bytes, file) == bytes; }

/// Bytes of the "fmt " body that hold the fields the engine takes.
constexpr std::uint32_t kFormatFieldBytes = 16;

/// The fields of an accepted "fmt " chunk.
struct FormatFields {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
};

}  // namespace

void WavSource::Close() { file_.reset(); }

bool WavSource::Open(const std::string& path, std::string* headerRefusal) {
    Close();
    path_ = path;
    readFailed_ = false;
    formatTag_ = 0;
    if (path.empty()) {
        LogEngineFailure("no source file given");
        return false;
    }
    file_.reset(OpenRegularFileStream(path));
    if (!file_) {
        LogEngineFailure("cannot open the source %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    std::int64_t declaredDataSize = 0;
    if (!WalkChunks(declaredDataSize)) {
        const std::string refusal =
            "the source " + path + " is not a WAV file of integer PCM with one \"fmt \" and one \"data\" chunk";
        if (headerRefusal) {
            *headerRefusal = refusal;
        } else {
            LogEngineFailure("%s", refusal.c_str());
        }
        Close();
        return false;
    }
    // A truncated recording, or a streaming writer's 0xFFFFFFFF, declares more
    // than the file holds: only what is really there is data.
    if (fseeko(file_.get(), 0, SEEK_END) != 0) {
        LogEngineFailure("cannot seek in the source %s: %s", path.c_str(), std::strerror(errno));
        Close();
        return false;
    }
    const std::int64_t fileLength = ftello(file_.get());
    const std::int64_t available = std::max<std::int64_t>(0, fileLength - dataOffset_);
    dataSize_.store(std::min(declaredDataSize, available), std::memory_order_relaxed);
    if (fseeko(file_.get(), dataOffset_, SEEK_SET) != 0) {
        LogEngineFailure("cannot seek in the source %s: %s", path.c_str(), std::strerror(errno));
        Close();
        return false;
    }
    return true;
}

bool WavSource::WalkChunks(std::int64_t& declaredDataSize) {
    std::FILE* file = file_.get();
    std::uint8_t riff[12];
    if (!ReadExactly(file, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return false;
    }
    FormatFields format;
    int formatChunks = 0;
    int dataChunks = 0;
    std::uint8_t header[8];
    while (ReadExactly(file, header, sizeof header)) {
        const std::uint32_t bodySize = ReadLe32(header + 4);
        std::int64_t skip = bodySize;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            ++formatChunks;
            std::uint8_t body[kFormatFieldBytes];
            // A body too short for the fields would leave them unset.
            if (bodySize < kFormatFieldBytes || !ReadExactly(file, body, sizeof body)) {
                return false;
            }
            format.formatTag = ReadLe16(body);
            formatTag_ = format.formatTag;
            format.channels = ReadLe16(body + 2);
            format.rate = ReadLe32(body + 4);
            format.bits = ReadLe16(body + 14);
            skip = bodySize - kFormatFieldBytes;  // the rest, by its declared size
        } else if (std::memcmp(header, "data", 4) == 0) {
            ++dataChunks;
            dataOffset_ = ftello(file);
            declaredDataSize = bodySize;
        }
        if (formatChunks > 1 || dataChunks > 1) {
            return false;
        }
        if (fseeko(file, skip, SEEK_CUR) != 0) {
            break;
        }
        // RIFF pads an odd body with one byte. No chunk id starts with a zero
        // byte, so a zero here is the pad; anything else is the next id of a
        // writer that left the pad out.
        if (bodySize % 2 == 1) {
            const int pad = std::fgetc(file);
            if (pad != 0 && pad != EOF) {
                std::ungetc(pad, file);
            }
        }
    }
    if (formatChunks != 1 || dataChunks != 1 || format.formatTag != 1) {
        return false;
    }
    // Refused rather than misread: no channels or a width below 8 bits would
    // make blocks of 0 bytes (a job that never ends), a rate of 0 divides by
    // zero, and widths other than whole 8/16/24/32-bit integers cannot be
    // decoded.
    const bool widthDecodable = format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32;
    if (format.channels == 0 || format.rate == 0 || format.rate > 0x7FFFFFFF || !widthDecodable ||
        (format.bits / 8) * format.channels > MaxSourceFrameBytes) {
        return false;
    }
    channels_ = format.channels;
    rate_ = static_cast<int>(format.rate);
    bits_ = format.bits;
    return true;
}

bool WavSource::FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) {
    constexpr int kRawMargin = 1000000;
    const std::int64_t consumed = Consumed();
    const std::int64_t dataSize = DataSize();
    if (!file_ || consumed >= dataSize) {
        return false;
    }
    const int requested = FrameBytes() * frames;
    const auto available = static_cast<int>(std::min<std::int64_t>(requested, dataSize - consumed));
    raw.Use(requested, kRawMargin);
    std::FILE* file = file_.get();
    const std::size_t wanted = static_cast<std::size_t>(available);
    errno = 0;
    if (fseeko(file, dataOffset_ + consumed, SEEK_SET) != 0 || std::fread(raw.Data(), 1, wanted, file) != wanted) {
        // The data size was checked against the file at open: a file that now
        // delivers less was cut or replaced while the job read it.
        const char* reason = std::ferror(file) || errno != 0 ? std::strerror(errno) : "the file ended early";
        LogEngineFailure("cannot read the source %s at byte %lld: %s", path_.c_str(),
                         static_cast<long long>(dataOffset_ + consumed), reason);
        std::clearerr(file);
        readFailed_ = true;
        return false;
    }
    consumed_.store(consumed + available, std::memory_order_relaxed);
    const std::uint8_t silence = bits_ == 8 ? 0x80 : 0x00;
    std::fill(raw.Data() + available, raw.Data() + requested, silence);
    return true;
}

bool WavSource::SeekToFrame(std::int64_t frame) {
    const std::int64_t bytes = std::clamp<std::int64_t>(frame, 0, INT64_MAX / MaxSourceFrameBytes) * FrameBytes();
    consumed_.store(std::min(bytes, DataSize()), std::memory_order_relaxed);
    readFailed_ = false;
    return IsOpen();
}

bool WavSource::IsSameFileAs(const std::string& path) const {
    return file_ && DescriptorIsFile(fileno(file_.get()), path);
}
