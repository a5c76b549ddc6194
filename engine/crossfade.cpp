// The linear crossfade on output PCM bytes.
#include "crossfade.h"

#include <algorithm>
#include <cmath>

namespace {

int ReadSample(const std::uint8_t* at, int bits) {
    if (bits == 8) return static_cast<int>(at[0]) - 128;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
}

void WriteSample(std::uint8_t* at, int bits, int value) {
    if (bits == 8) {
        at[0] = static_cast<std::uint8_t>(std::clamp(value, -128, 127) + 128);
        return;
    }
    const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(value, -32768, 32767)));
    at[0] = static_cast<std::uint8_t>(sample & 0xFF);
    at[1] = static_cast<std::uint8_t>(sample >> 8);
}

}  // namespace

int CrossfadeFrames(int rate) { return std::max(1, rate / 200); }

void CrossfadeInto(std::span<const std::uint8_t> fadingOut, std::span<std::uint8_t> into, int channels, int bits) {
    const int sampleBytes = bits / 8;
    const auto frameBytes = static_cast<std::size_t>(sampleBytes * channels);
    const std::size_t frames = std::min(fadingOut.size(), into.size()) / frameBytes;
    for (std::size_t i = 0; i < frames; ++i) {
        const double rising = static_cast<double>(i + 1) / static_cast<double>(frames + 1);
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = i * frameBytes + static_cast<std::size_t>(c * sampleBytes);
            const double mixed =
                ReadSample(&fadingOut[at], bits) * (1.0 - rising) + ReadSample(&into[at], bits) * rising;
            WriteSample(&into[at], bits, static_cast<int>(std::lround(mixed)));
        }
    }
}
