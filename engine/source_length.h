// The length of a source file, read before any job so the window can show
// it: opened with the same readers the jobs use, so the length is theirs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct SourceLength {
    std::int64_t frames = 0;
    int rate = 0;
    bool known = false;  ///< false for a stream that shows its length only at its end
    /// Milliseconds of `frame` at the source's rate.
    std::int64_t Milliseconds(std::int64_t frame) const { return rate > 0 ? frame * 1000 / rate : 0; }
    /// The frame at `milliseconds`.
    std::int64_t Frame(std::int64_t milliseconds) const { return milliseconds * rate / 1000; }
};

/// The length of `path`, or none when no reader takes the file.
std::optional<SourceLength> ReadSourceLength(const std::string& path);
