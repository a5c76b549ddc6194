// The two output-format records of the main window and the rate choice they
// hold. They live only in memory: every start begins with these defaults.
#pragma once

#include <cstdint>

/// Which sample rate a record asks for.
enum RateChoice : std::int32_t {
    RATE_CUSTOM = -1,  ///< the record's customRate
    RATE_11025 = 0,
    RATE_22050 = 1,
    RATE_44100 = 2,
};

/// Output format and device for playing.
struct PlaybackSettings {
    std::int32_t channels = 2;        ///< 1 mono, 2 stereo
    std::int32_t customRate = 48000;  ///< Hz, used when rateChoice is RATE_CUSTOM
    std::int32_t rateChoice = RATE_22050;
    std::int32_t bits = 16;    ///< 8 or 16
    std::int32_t device = -1;  ///< -1 automatic, else the position in the device list
};

/// Output format for saving.
struct SaveFormat {
    std::int32_t channels = 2;
    std::int32_t customRate = 48000;
    std::int32_t rateChoice = RATE_22050;
    std::int32_t bits = 16;
};

/// The rate in Hz a choice stands for; any value outside RateChoice gives 0.
inline std::int32_t ResolveRate(std::int32_t rateChoice, std::int32_t customRate) {
    switch (rateChoice) {
    case RATE_11025: return 11025;
    case RATE_22050: return 22050;
    case RATE_44100: return 44100;
    case RATE_CUSTOM: return customRate;
    default: return 0;
    }
}
template <typename Record>
std::int32_t ResolveRate(const Record& record) {
    return ResolveRate(record.rateChoice, record.customRate);
}
