// Test files as users have them, made with ffmpeg, lame and sox; and a whole
// source decoded through the engine's SourceFile, as a job fetches it, to
// check a decoder's length and sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Runs a shell command that makes a test file, its output silenced; true
/// when it succeeded.
bool RunTool(const std::string& command);

struct DecodedWhole {
    bool opened = false;
    bool readFailed = false;
    std::int64_t frames = 0;    ///< frames fetched, padding left out
    std::int64_t dataSize = 0;  ///< the source's DataSize at the end
    std::vector<double> rms;    ///< per channel, full scale 1.0
};

/// Opens `path` with SourceFile and fetches every block (32-bit PCM).
DecodedWhole DecodeWhole(const std::string& path);
