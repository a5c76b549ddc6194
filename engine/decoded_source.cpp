// Sources decoded by FFmpeg, fetched block by block as 32-bit PCM.
#include "decoded_source.h"

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

constexpr int kRawMargin = 1000000;

/// Length counted until the decoder reaches the end. Small enough that the
/// progress arithmetic (consumed x 100) cannot overflow.
constexpr std::int64_t kUnknownLength = std::numeric_limits<std::int64_t>::max() / 1000;

/// How far the decoded sound may fall short of the length a header states
/// before that counts as a cut file: a few codec frames of priming and
/// padding (Vorbis's 2048-sample blocks, AAC's and Opus's priming) are no
/// damage. Trade-off: a file cut within this many frames of its end passes
/// as whole.
constexpr std::int64_t kStatedLengthTolerance = 8192;

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
    input_.Close();
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    pending_.clear();
    pendingAt_ = 0;
}

bool DecodedSource::Open(const std::string& path, std::string& whyNot) {
    Close();
    readFailed_ = false;
    descriptor_ = OpenRegularFileDescriptor(path);
    if (descriptor_ < 0) {
        whyNot = std::string("cannot open: ") + std::strerror(errno);  // EINVAL: not a regular file
        return false;
    }
    path_ = path;
    if (!Restart(whyNot)) {
        Close();
        return false;
    }
    if (input_.Channels() * 4 > MaxSourceFrameBytes) {
        whyNot = "unsupported channel count " + std::to_string(input_.Channels());
        Close();
        return false;
    }
    return true;
}

bool DecodedSource::Restart(std::string& why) {
    pending_.clear();
    pendingAt_ = 0;
    delivered_ = 0;
    dataSize_.store(kUnknownLength, std::memory_order_relaxed);
    return input_.Open(descriptor_, path_, why);
}

void DecodedSource::ResetConsumed() {
    consumed_.store(0, std::memory_order_relaxed);
    readFailed_ = false;
}

bool DecodedSource::FetchBlock(int frames, GrowBuffer<std::uint8_t>& raw) {
    const std::int64_t consumed = Consumed();
    if (!IsOpen() || consumed >= DataSize()) return false;
    std::string why;
    // A new job starts again at the beginning of the data.
    if (delivered_ != consumed && (consumed != 0 || !Restart(why))) {
        EndAt(consumed, true, why.empty() ? "cannot go back to the start" : why);
        return false;
    }
    const int channels = Channels();
    const int frameBytes = 4 * channels;
    raw.Use(frameBytes * frames, kRawMargin);
    std::int64_t got = 0;
    FfmpegInput::Step step = FfmpegInput::Step::Sound;
    while (got < frames) {
        if (pendingAt_ == pending_.size()) {
            pending_.clear();
            pendingAt_ = 0;
            step = input_.Next(pending_, why);
            if (step != FfmpegInput::Step::Sound) break;
            continue;
        }
        const auto available = static_cast<std::int64_t>(pending_.size() - pendingAt_) / channels;
        const std::int64_t take = std::min(available, frames - got);
        std::uint8_t* into = raw.Data() + got * frameBytes;
        for (std::int64_t i = 0; i < take * channels; ++i) StoreLe32(ToPcm32(pending_[pendingAt_++]), into + 4 * i);
        got += take;
    }
    delivered_ += got;
    const std::int64_t end = consumed + got;
    if (step == FfmpegInput::Step::End) {
        const std::int64_t stated = input_.StatedFrames();
        if (stated >= 0 && end + kStatedLengthTolerance < stated) {
            step = FfmpegInput::Step::Failed;
            why = "it holds " + std::to_string(end) + " of the " + std::to_string(stated) + " frames its header states";
        }
    }
    if (step == FfmpegInput::Step::Failed) {
        EndAt(end, true, why);
        return false;
    }
    if (step == FfmpegInput::Step::End) EndAt(end, false, why);
    consumed_.store(end, std::memory_order_relaxed);
    if (got == 0) return false;
    std::fill(raw.Data() + got * frameBytes, raw.Data() + frameBytes * frames, std::uint8_t{0});
    return true;
}

void DecodedSource::EndAt(std::int64_t end, bool failed, const std::string& why) {
    if (failed) {
        readFailed_ = true;
        LogEngineFailure("cannot decode the source %s past frame %lld: %s", path_.c_str(), static_cast<long long>(end),
                         why.c_str());
        consumed_.store(end, std::memory_order_relaxed);
    }
    // Either way nothing further is fetched.
    dataSize_.store(end, std::memory_order_relaxed);
}

std::int64_t DecodedSource::StatedLengthFrames() const {
    const std::int64_t stated = input_.StatedFrames();
    return DataSize() == kUnknownLength && stated >= 0 ? stated : DataSize();
}

bool DecodedSource::IsSameFileAs(const std::string& path) const { return DescriptorIsFile(descriptor_, path); }
