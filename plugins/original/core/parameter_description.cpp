// The parameter block and the presets as a description table. Ranges are the
// ones the panel's sliders offer; the band mask takes any 32-bit pattern.
#include "parameter_description.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "parameter_presets.h"

namespace {

template <std::atomic<double>& Value>
double GetReal() {
    return Value.load(kRelaxed);
}
template <std::atomic<double>& Value>
void SetReal(double value) {
    if (std::isfinite(value)) Value.store(value, kRelaxed);
}
template <std::atomic<std::int32_t>& Value>
double GetInteger() {
    return Value.load(kRelaxed);
}
template <std::atomic<std::int32_t>& Value>
void SetInteger(double value) {
    // Rationale: the host checks the range, but a value that does not fit
    // would be undefined to convert, so it is dropped here too.
    if (value >= INT32_MIN && value <= INT32_MAX) Value.store(static_cast<std::int32_t>(value), kRelaxed);
}

constexpr int kParameterCount = 8;

constexpr ZarevoParameter kParameters[kParameterCount] = {
    {"PitchOctaves", "pitch shift in octaves (0.4166666: C up to F)", ZAREVO_PARAMETER_REAL, -1.0, 1.0,
     kInitialParameters.pitchOctaves, GetReal<PitchOctaves>, SetReal<PitchOctaves>},
    {"SpeedExponent", "speed as a power of two (-1: half, 1: double speed)", ZAREVO_PARAMETER_REAL, -1.0, 1.0,
     kInitialParameters.speedExponent, GetReal<SpeedExponent>, SetReal<SpeedExponent>},
    {"ReverbAmount", "strength of the little reverb (none up to 0.005)", ZAREVO_PARAMETER_REAL, 0.0, 1.0,
     kInitialParameters.reverbAmount, GetReal<ReverbAmount>, SetReal<ReverbAmount>},
    {"ApplyRatio", "share of the processed sound, the rest is the dry sound", ZAREVO_PARAMETER_REAL, 0.0, 1.0,
     kInitialParameters.applyRatio, GetReal<ApplyRatio>, SetReal<ApplyRatio>},
    {"BandMask", "octave bands kept: bit 0 86 Hz ... bit 8 22050 Hz, -1 all", ZAREVO_PARAMETER_INTEGER, INT32_MIN,
     INT32_MAX, kInitialParameters.bandMask, GetInteger<BandMask>, SetInteger<BandMask>},
    {"ProcessMono", "process the left channel only and send it to both", ZAREVO_PARAMETER_SWITCH, 0, 1,
     kInitialParameters.processMono, GetInteger<ProcessMono>, SetInteger<ProcessMono>},
    {"ProcessLeft", "process the left channel (0: pass it through)", ZAREVO_PARAMETER_SWITCH, 0, 1,
     kInitialParameters.processLeft, GetInteger<ProcessLeft>, SetInteger<ProcessLeft>},
    {"ProcessRight", "process the right channel (0: pass it through)", ZAREVO_PARAMETER_SWITCH, 0, 1,
     kInitialParameters.processRight, GetInteger<ProcessRight>, SetInteger<ProcessRight>},
};

/// A preset's values in the order of kParameters.
constexpr std::array<double, kParameterCount> InParameterOrder(const ParameterValues& v) {
    return {v.pitchOctaves,
            v.speedExponent,
            v.reverbAmount,
            v.applyRatio,
            static_cast<double>(v.bandMask),
            static_cast<double>(v.processMono),
            static_cast<double>(v.processLeft),
            static_cast<double>(v.processRight)};
}

constexpr std::size_t kPresetCount = std::size(kStandardPresets);

constexpr auto kPresetValues = [] {
    std::array<std::array<double, kParameterCount>, kPresetCount> rows{};
    for (std::size_t i = 0; i < kPresetCount; ++i) rows[i] = InParameterOrder(kStandardPresets[i].values);
    return rows;
}();

constexpr auto kPresets = [] {
    std::array<ZarevoPreset, kPresetCount> presets{};
    for (std::size_t i = 0; i < kPresetCount; ++i) {
        presets[i] = {kStandardPresets[i].name, kStandardPresets[i].description, kPresetValues[i].data()};
    }
    return presets;
}();

constexpr ZarevoParameterDescription kDescription{
    ZAREVO_PLUGIN_API_VERSION, kParameterCount,         kParameters,         static_cast<int>(kPresetCount),
    kPresets.data(),           sizeof(ZarevoParameter), sizeof(ZarevoPreset)};

}  // namespace

const ZarevoParameterDescription* DescribeParameterBlock() noexcept { return &kDescription; }
