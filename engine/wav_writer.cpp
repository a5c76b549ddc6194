// The output WAV file: the header, the appended blocks with their sizes
// patched, written into the OutputFile that becomes the output when kept.
#include "wav_writer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

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

}  // namespace

void SetWavWriterSeams(const WavWriterSeams& seams) { Seams = seams; }

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Begin(const std::string& path, int channels, int rate, int bits) {
    Discard();
    dataBytes_ = 0;
    status_ = WriteStatus::Written;
    abandoned_.store(false);
    seams_ = Seams;
    frameBytes_ = std::max(1, (bits / 8) * channels);
    if (!file_.Create(path)) {
        return false;
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
    if (!WriteAllAt(file_.Descriptor(), header.data(), header.size(), 0) || !PatchSizes()) {
        LogEngineFailure("cannot write the header of %s: %s", path.c_str(), std::strerror(errno));
        Discard();
        return false;
    }
    return true;
}

WriteStatus WavWriter::Fail(int error, const char* what) {
    LogEngineFailure("cannot %s the new %s: %s", what, file_.OutputPath().c_str(), std::strerror(error));
    status_ = error == ENOSPC || error == EDQUOT ? WriteStatus::DiskFull : WriteStatus::Failed;
    return status_;
}

WriteStatus WavWriter::Append(std::span<const std::uint8_t> bytes) {
    if (status_ != WriteStatus::Written) {
        return status_;
    }
    if (file_.Descriptor() < 0 || abandoned_.load()) {
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
    if (!WriteAllAt(file_.Descriptor(), bytes.data(), allowed, WavHeaderBytes + dataBytes_)) {
        return Fail(errno, "write");
    }
    if (allowed < count) {
        return Fail(seams_.failError, "write");
    }
    dataBytes_ += static_cast<std::int64_t>(count);
    if (!PatchSizes()) {
        return Fail(errno, "patch the sizes of");
    }
    if (limited) {
        LogEngineFailure("the output %s reached the WAV size limit at %lld data bytes", file_.OutputPath().c_str(),
                         static_cast<long long>(dataBytes_));
        status_ = WriteStatus::SizeLimit;
    }
    return status_;
}

bool WavWriter::PatchSizes() {
    std::uint8_t size[4];
    PutLe32(size, static_cast<std::uint32_t>(dataBytes_ + WavHeaderBytes - 8));
    if (!WriteAllAt(file_.Descriptor(), size, sizeof size, kRiffSizeOffset)) {
        return false;
    }
    PutLe32(size, static_cast<std::uint32_t>(dataBytes_));
    return WriteAllAt(file_.Descriptor(), size, sizeof size, kDataSizeOffset);
}

bool WavWriter::Publish() { return file_.Publish(); }

void WavWriter::Discard() { file_.Discard(); }

void WavWriter::PublishAbandoned() {
    abandoned_.store(true);
    file_.PublishAbandoned();
}

void WavWriter::DiscardAbandoned() {
    abandoned_.store(true);
    file_.DiscardAbandoned();
}
