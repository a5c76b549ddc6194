// PCM to working samples and back, with sample-and-hold rate conversion.
#include "pcm_convert.h"

#include <cmath>
#include <cstddef>

namespace {

/// One little-endian integer sample of `bytesPerSample` bytes at `at`, as a
/// working value; widths other than 1 to 4 bytes give 0.
double DecodeSample(const std::uint8_t* at, int bytesPerSample) {
    switch (bytesPerSample) {
    case 1: return (static_cast<int>(at[0]) - 128) * (1.0 / 128.0);
    case 2: {
        const auto value = static_cast<std::int16_t>(at[0] | (at[1] << 8));
        return value * (1.0 / 32768.0);
    }
    case 3: {
        const std::uint32_t bits = static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                   (static_cast<std::uint32_t>(at[2]) << 16);
        const auto value = static_cast<std::int32_t>(bits << 8) >> 8;  // sign-extend 24 bits
        return value * (1.0 / 8388608.0);
    }
    case 4: {
        const std::uint32_t bits = static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                   (static_cast<std::uint32_t>(at[2]) << 16) |
                                   (static_cast<std::uint32_t>(at[3]) << 24);
        return static_cast<std::int32_t>(bits) * (1.0 / 2147483648.0);
    }
    default: return 0.0;
    }
}

/// floor(x x scale + 0.5) clamped to [low, high]; NaN gives 0.
int RoundHalfUp(double x, double scale, int low, int high) {
    const double k = std::floor(x * scale + 0.5);
    if (std::isnan(k)) {
        return 0;
    }
    if (k < low) {
        return low;
    }
    if (k > high) {
        return high;
    }
    return static_cast<int>(k);
}

}  // namespace

void PcmToWorking(int channels, int bits, int sourceFrames, std::span<const std::uint8_t> raw, int workingFrames,
                  std::span<double> left, std::span<double> right) {
    const int bytesPerSample = bits / 8;
    const bool decodable = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const int usedChannels = channels < 2 ? channels : 2;
    const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample) * static_cast<std::size_t>(channels);
    for (int i = 0; i < workingFrames; ++i) {
        const std::int64_t s = static_cast<std::int64_t>(i) * sourceFrames / workingFrames;
        double value[2] = {0.0, 0.0};
        if (decodable) {
            const std::uint8_t* frame = raw.data() + static_cast<std::size_t>(s) * frameBytes;
            for (int k = 0; k < usedChannels; ++k) {
                value[k] = DecodeSample(frame + k * bytesPerSample, bytesPerSample);
            }
        }
        left[static_cast<std::size_t>(i)] = value[0];
        right[static_cast<std::size_t>(i)] = usedChannels == 1 ? value[0] : value[1];
    }
}

void WorkingToPcm(std::span<const double> left, std::span<const double> right, int frames, int channels, int bits,
                  std::span<std::uint8_t> out) {
    if (bits != 8 && bits != 16) {
        return;
    }
    std::size_t position = 0;
    for (int i = 0; i < frames; ++i) {
        const auto index = static_cast<std::size_t>(i);
        for (int j = 0; j < channels; ++j) {
            const double x = channels == 1 ? (right[index] + left[index]) * 0.5 : (j == 0 ? left[index] : right[index]);
            if (bits == 8) {
                out[position++] = static_cast<std::uint8_t>(RoundHalfUp(x, 128.0, -128, 127) + 128);
            } else {
                const auto k = static_cast<std::uint16_t>(RoundHalfUp(x, 32768.0, -32768, 32767));
                out[position++] = static_cast<std::uint8_t>(k & 0xFF);
                out[position++] = static_cast<std::uint8_t>(k >> 8);
            }
        }
    }
}
