// Reading output files back with libsndfile, an independent WAV reader.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

struct SndfileContents {
    bool opened = false;
    SF_INFO info{};
    std::vector<short> samples;  ///< interleaved; 8-bit data arrive as (byte - 128) x 256
};

SndfileContents ReadWithSndfile(const std::string& path);
