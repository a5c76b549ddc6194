// Choosing the reader for a source file.
#include "source_file.h"

#include <unistd.h>

#include <cstring>

#include "failure_log.h"
#include "regular_file.h"

namespace {

/// What a file's first 12 bytes say it is.
enum class Head { RiffWave, RifxWave, Other };

/// Only a RIFF "WAVE" file can be the own reader's, so every other one goes
/// straight to the decoder.
Head HeadOf(const std::string& path) {
    const int descriptor = OpenRegularFileDescriptor(path);
    if (descriptor < 0) return Head::Other;
    char head[12];
    const bool whole = ::pread(descriptor, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head);
    ::close(descriptor);
    if (!whole || std::memcmp(head + 8, "WAVE", 4) != 0) return Head::Other;
    if (std::memcmp(head, "RIFF", 4) == 0) return Head::RiffWave;
    return std::memcmp(head, "RIFX", 4) == 0 ? Head::RifxWave : Head::Other;
}

}  // namespace

bool SourceFile::Open(const std::string& path) {
    Close();
    active_.store(&wav_);
    const Head head = path.empty() ? Head::RiffWave : HeadOf(path);
    const bool riffWave = head == Head::RiffWave;
    // A float or extensible WAV is refused by the own reader and taken by the
    // decoder: the reader's refusal is logged only when no reader takes it.
    std::string wavRefusal;
    if (riffWave && wav_.Open(path, &wavRefusal)) return true;
    if (path.empty()) return false;
    // Integer PCM (tag 1) in a RIFF file is the own reader's alone: a file it
    // refuses (12-bit samples, two "data" chunks) stays refused.
    if (riffWave && wav_.FormatTag() == 1) {
        if (!wavRefusal.empty()) LogEngineFailure("%s", wavRefusal.c_str());
        return false;
    }
    // Rationale: FFmpeg reads big-endian samples as little-endian ones, and
    // noise is worse than a refusal.
    if (head == Head::RifxWave) {
        LogEngineFailure("the source %s is a big-endian WAV (RIFX), which is not supported", path.c_str());
        return false;
    }
    std::string whyNot;
    if (decoded_.Open(path, whyNot)) {
        active_.store(&decoded_);
        return true;
    }
    LogEngineFailure("cannot open the source %s: %s", path.c_str(), whyNot.c_str());
    return false;
}

void SourceFile::Close() {
    wav_.Close();
    decoded_.Close();
}

std::int64_t SourceFile::ProgressDone() const { return IsDecoded() ? decoded_.BytesDecoded() : wav_.Consumed(); }

std::int64_t SourceFile::ProgressWhole() const { return IsDecoded() ? decoded_.FileBytes() : wav_.DataSize(); }

bool SourceFile::IsSameFileAs(const std::string& path) const {
    return IsDecoded() ? decoded_.IsSameFileAs(path) : wav_.IsSameFileAs(path);
}
