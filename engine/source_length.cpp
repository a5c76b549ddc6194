// Reading a source's length through the job's own source readers.
#include "source_length.h"

#include "failure_log.h"
#include "source_file.h"

namespace {

/// Frames beyond any real recording (over eight years at 192 kHz): a decoder
/// that does not know the length reports far more.
constexpr std::int64_t kLongestKnownLength = std::int64_t{1} << 45;

}  // namespace

std::optional<SourceLength> ReadSourceLength(const std::string& path) {
    // The window reads the length while a path is typed: a refusal of a
    // half-typed path is no failure, and the job reports a real one itself.
    const QuietEngineLog quiet;
    SourceFile source;
    if (!source.Open(path)) {
        return std::nullopt;
    }
    SourceLength length;
    length.frames = source.StatedLengthFrames();
    length.rate = source.Rate();
    length.known = length.frames < kLongestKnownLength;
    return length;
}
