// The output WAV file: a temporary file beside the output, the header, the
// appended blocks with their sizes patched, and the rename that makes it the
// output.
#include "wav_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "failure_log.h"

namespace {

constexpr off_t kRiffSizeOffset = 4;
constexpr off_t kDataSizeOffset = 40;

WavWriterSeams Seams;

void PutLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutLe32(std::uint8_t* at, std::uint32_t value) {
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

/// Writes all of `bytes` at `offset`; false with errno set when it cannot.
bool WriteAllAt(int fd, const std::uint8_t* bytes, std::size_t count, off_t offset) {
    while (count > 0) {
        const ssize_t written = ::pwrite(fd, bytes, count, offset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

/// The file a save replaces: the output path itself, or the target of a
/// symbolic link there, so that saving through a link keeps the link.
std::string ResolveOutput(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* target = ::realpath(path.c_str(), nullptr)) {
            std::string resolved = target;
            std::free(target);
            return resolved;
        }
    }
    return path;
}

/// Most bytes of the output's name that go into the temporary file's name:
/// with the dot before it and the ".<pid>-<serial>.part" after it (at most
/// 27 bytes), the temporary name stays within the 255 bytes a file name may
/// have, however long the output's own name is.
constexpr std::size_t kTemporaryNameStemBytes = 255 - 28;

/// The start of `name`, at most kTemporaryNameStemBytes long, not cut inside
/// a UTF-8 character (so a long Japanese name still reads as text).
std::string TemporaryNameStem(const std::string& name) {
    if (name.size() <= kTemporaryNameStemBytes) {
        return name;
    }
    std::size_t length = kTemporaryNameStemBytes;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    return name.substr(0, length);
}

/// Creates a new, empty file beside `output` with the usual permissions
/// (0666 less the umask); -1 with errno set when it cannot.
int CreateTemporaryBeside(const std::string& output, std::string& temporaryPath) {
    const std::size_t slash = output.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    const std::string name = TemporaryNameStem(slash == std::string::npos ? output : output.substr(slash + 1));
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                        std::to_string(serial.fetch_add(1)) + ".part";
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

void SetWavWriterSeams(const WavWriterSeams& seams) { Seams = seams; }

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Begin(const std::string& path, int channels, int rate, int bits) {
    Discard();
    dataBytes_ = 0;
    status_ = WriteStatus::Written;
    seams_ = Seams;
    frameBytes_ = std::max(1, (bits / 8) * channels);
    if (path.empty()) {
        LogEngineFailure("no output file given");
        return false;
    }
    outputPath_ = ResolveOutput(path);
    struct stat existing {};
    const bool replacing = ::stat(outputPath_.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) {
        LogEngineFailure("the output %s exists and is not a regular file", path.c_str());
        return false;
    }
    fd_ = CreateTemporaryBeside(outputPath_, temporaryPath_);
    if (fd_ < 0) {
        LogEngineFailure("cannot create a file beside the output %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    phase_.store(kWriting);
    if (replacing) {
        // The new file takes the place of the old one with its permissions,
        // and with its owner where that is allowed: only a privileged process
        // may give a file away, so a refused owner change is no failure.
        if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
            LogEngineFailure("cannot give %s the owner of %s: %s", temporaryPath_.c_str(), path.c_str(),
                             std::strerror(errno));
        }
        if (::fchmod(fd_, existing.st_mode & 07777) != 0) {
            LogEngineFailure("cannot give %s the permissions of %s: %s", temporaryPath_.c_str(), path.c_str(),
                             std::strerror(errno));
        }
    }

    const std::uint32_t blockAlign = static_cast<std::uint32_t>((bits / 8) * channels) & 0xFFFF;
    std::array<std::uint8_t, WavHeaderBytes> header{};
    std::memcpy(header.data(), "RIFF", 4);
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    PutLe32(header.data() + 16, 16);
    PutLe16(header.data() + 20, 1);
    PutLe16(header.data() + 22, static_cast<std::uint32_t>(channels));
    PutLe32(header.data() + 24, static_cast<std::uint32_t>(rate));
    PutLe32(header.data() + 28, static_cast<std::uint32_t>(rate) * blockAlign);
    PutLe16(header.data() + 32, blockAlign);
    PutLe16(header.data() + 34, static_cast<std::uint32_t>(bits));
    std::memcpy(header.data() + 36, "data", 4);
    if (!WriteAllAt(fd_, header.data(), header.size(), 0) || !PatchSizes()) {
        LogEngineFailure("cannot write the header of %s: %s", temporaryPath_.c_str(), std::strerror(errno));
        Discard();
        return false;
    }
    return true;
}

WriteStatus WavWriter::Fail(int error, const char* what) {
    LogEngineFailure("cannot %s %s: %s", what, temporaryPath_.c_str(), std::strerror(error));
    status_ = error == ENOSPC || error == EDQUOT ? WriteStatus::DiskFull : WriteStatus::Failed;
    return status_;
}

WriteStatus WavWriter::Append(std::span<const std::uint8_t> bytes) {
    if (status_ != WriteStatus::Written) {
        return status_;
    }
    if (fd_ < 0 || phase_.load() != kWriting) {
        status_ = WriteStatus::Failed;
        return status_;
    }
    // Stop at the last whole frame the size fields can describe.
    std::size_t count = bytes.size();
    const std::int64_t room = seams_.dataLimit - dataBytes_;
    bool limited = false;
    if (static_cast<std::int64_t>(count) > room) {
        count = static_cast<std::size_t>(room - room % frameBytes_);
        limited = true;
    }
    std::size_t allowed = count;
    if (seams_.failAfter >= 0 && dataBytes_ + static_cast<std::int64_t>(count) > seams_.failAfter) {
        allowed = static_cast<std::size_t>(std::max<std::int64_t>(0, seams_.failAfter - dataBytes_));
    }
    if (!WriteAllAt(fd_, bytes.data(), allowed, WavHeaderBytes + dataBytes_)) {
        return Fail(errno, "write to");
    }
    if (allowed < count) {
        return Fail(seams_.failError, "write to");
    }
    dataBytes_ += static_cast<std::int64_t>(count);
    if (!PatchSizes()) {
        return Fail(errno, "patch the sizes of");
    }
    if (limited) {
        LogEngineFailure("the output %s reached the WAV size limit at %lld data bytes", outputPath_.c_str(),
                         static_cast<long long>(dataBytes_));
        status_ = WriteStatus::SizeLimit;
    }
    return status_;
}

bool WavWriter::PatchSizes() {
    std::uint8_t size[4];
    PutLe32(size, static_cast<std::uint32_t>(dataBytes_ + WavHeaderBytes - 8));
    if (!WriteAllAt(fd_, size, sizeof size, kRiffSizeOffset)) {
        return false;
    }
    PutLe32(size, static_cast<std::uint32_t>(dataBytes_));
    return WriteAllAt(fd_, size, sizeof size, kDataSizeOffset);
}

void WavWriter::CloseFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool WavWriter::Publish() {
    if (fd_ < 0) {
        return false;
    }
    // The data reach the disk before the name does, so a crash cannot leave
    // an empty file where the old output was.
    if (::fdatasync(fd_) != 0 && errno != EINVAL) {
        Fail(errno, "flush");
        Discard();
        return false;
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        Fail(errno, "close");
        Discard();
        return false;
    }
    int expected = kWriting;
    if (!phase_.compare_exchange_strong(expected, kPublished)) {
        return expected == kPublished;  // already made the output when the worker was abandoned
    }
    if (::rename(temporaryPath_.c_str(), outputPath_.c_str()) != 0) {
        LogEngineFailure("cannot rename %s to %s: %s", temporaryPath_.c_str(), outputPath_.c_str(),
                         std::strerror(errno));
        ::unlink(temporaryPath_.c_str());
        return false;
    }
    return true;
}

void WavWriter::Discard() {
    CloseFile();
    int expected = kWriting;
    if (phase_.compare_exchange_strong(expected, kDiscarded)) {
        ::unlink(temporaryPath_.c_str());
    }
}

void WavWriter::PublishAbandoned() {
    int expected = kWriting;
    if (phase_.compare_exchange_strong(expected, kPublished) &&
        ::rename(temporaryPath_.c_str(), outputPath_.c_str()) != 0) {
        LogEngineFailure("cannot rename %s to %s: %s", temporaryPath_.c_str(), outputPath_.c_str(),
                         std::strerror(errno));
    }
}
