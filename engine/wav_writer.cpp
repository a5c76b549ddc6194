// The output WAV file: header, appended blocks, final size patch.
#include "wav_writer.h"

#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace {

constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;

void PutLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutLe32(std::uint8_t* at, std::uint32_t value) {
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

bool WriteAll(std::FILE* file, const void* bytes, std::size_t count) {
    return std::fwrite(bytes, 1, count, file) == count;
}

bool PatchLe32(std::FILE* file, long offset, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLe32(bytes, value);
    return fseeko(file, offset, SEEK_SET) == 0 && WriteAll(file, bytes, sizeof bytes);
}

}  // namespace

WavWriter::~WavWriter() = default;

bool WavWriter::Begin(const std::string& path, int channels, int rate, int bits) {
    file_.reset();
    dataBytes_ = 0;
    failed_ = false;
    if (path.empty()) {
        return false;
    }
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) {
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
    if (!WriteAll(file_.get(), header.data(), header.size()) || std::fflush(file_.get()) != 0) {
        file_.reset();
        return false;
    }
    return true;
}

bool WavWriter::Append(std::span<const std::uint8_t> bytes) {
    if (!file_ || failed_) {
        return false;
    }
    // Flushing each block surfaces a full disk at the block that met it.
    if (!WriteAll(file_.get(), bytes.data(), bytes.size()) || std::fflush(file_.get()) != 0) {
        failed_ = true;
        return false;
    }
    dataBytes_ += static_cast<std::int64_t>(bytes.size());
    return true;
}

bool WavWriter::Finish() {
    if (!file_) {
        return false;
    }
    std::FILE* file = file_.get();
    bool ok = !failed_;
    const std::int64_t fileLength = WavHeaderBytes + dataBytes_;
    if (failed_) {
        // Drop what a failed block left half-written, so the sizes match.
        std::clearerr(file);
        std::fflush(file);
        std::clearerr(file);
        if (ftruncate(fileno(file), static_cast<off_t>(fileLength)) != 0) {
            ok = false;
        }
    }
    ok = PatchLe32(file, kRiffSizeOffset, static_cast<std::uint32_t>(fileLength - 8)) && ok;
    ok = PatchLe32(file, kDataSizeOffset, static_cast<std::uint32_t>(dataBytes_)) && ok;
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file_.release()) == 0 && ok;
    return ok;
}
