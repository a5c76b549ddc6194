// Choosing the reader for a source file.
#include "source_file.h"

#include <unistd.h>

#include <cstring>

#include "failure_log.h"
#include "regular_file.h"

namespace {

/// True when the file begins as RIFF "WAVE". Only such a file can be the own
/// reader's, so every other one goes straight to the decoder.
bool StartsAsRiffWave(const std::string& path) {
    const int descriptor = OpenRegularFileDescriptor(path);
    if (descriptor < 0) return false;
    char head[12];
    const bool riffWave = ::pread(descriptor, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
                          std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
    ::close(descriptor);
    return riffWave;
}

}  // namespace

bool SourceFile::Open(const std::string& path) {
    Close();
    active_.store(&wav_);
    const bool riffWave = path.empty() || StartsAsRiffWave(path);
    // A float or extensible WAV is refused by the own reader and taken by the
    // decoder: the reader's refusal is logged only when no reader takes it.
    std::string wavRefusal;
    if (riffWave && wav_.Open(path, &wavRefusal)) return true;
    if (path.empty()) return false;
    std::string whyNot;
    if (decoded_.Open(path, whyNot)) {
        active_.store(&decoded_);
        return true;
    }
    if (!wavRefusal.empty()) LogEngineFailure("%s", wavRefusal.c_str());
    // An empty reason: integer-PCM WAV, which only the own reader judges. It
    // has given its reason for a RIFF file; any other such file (big-endian
    // RIFX) it never saw.
    if (!whyNot.empty()) {
        LogEngineFailure("cannot open the source %s: %s", path.c_str(), whyNot.c_str());
    } else if (!riffWave) {
        LogEngineFailure("the source %s is integer PCM WAV that is not little-endian RIFF", path.c_str());
    }
    return false;
}

void SourceFile::Close() {
    wav_.Close();
    decoded_.Close();
}

bool SourceFile::IsSameFileAs(const std::string& path) const {
    return IsDecoded() ? decoded_.IsSameFileAs(path) : wav_.IsSameFileAs(path);
}
