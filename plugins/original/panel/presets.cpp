// Preset values. "リセット" holds exactly the parameter block's initial values.
#include "presets.h"

#include "panel_layout.h"
#include "parameter_block.h"

namespace parampanel {

namespace {

constexpr std::int32_t kAllBands = -1;
constexpr std::int32_t kTelephoneBands = 0x38;  // 689, 1378 and 2756 Hz
constexpr std::int32_t kBassBands = 0x3;        // 86 and 172 Hz

constexpr ParameterPreset kPresets[] = {
    // Rationale: 0.4166666 octave, five semitones (C up to F), stored as this
    // decimal rather than 5/12; mixed 60 % shifted with 40 % unshifted.
    {kChordButton, 0.4166666, 0.0, 0.0, 0.6, kAllBands, 0, 1, 1},
    {kFastListeningButton, 0.0, 1.0, 0.0, 1.0, kAllBands, 1, 1, 1},
    {kTelephoneButton, 0.0, 0.0, 0.0, 1.0, kTelephoneBands, 0, 1, 1},
    {kHeavyBassButton, 0.0, 0.0, 0.0, 0.8, kBassBands, 0, 1, 1},
    {kResetButton, 0.0, 0.0, 0.0, 1.0, kAllBands, 0, 1, 1},
};

}  // namespace

std::span<const ParameterPreset> ParameterPresets() { return kPresets; }

void StorePreset(const ParameterPreset& preset) {
    constexpr auto relaxed = std::memory_order_relaxed;
    PitchOctaves.store(preset.pitchOctaves, relaxed);
    SpeedExponent.store(preset.speedExponent, relaxed);
    ReverbAmount.store(preset.reverbAmount, relaxed);
    ApplyRatio.store(preset.applyRatio, relaxed);
    BandMask.store(preset.bandMask, relaxed);
    ProcessMono.store(preset.processMono, relaxed);
    ProcessLeft.store(preset.processLeft, relaxed);
    ProcessRight.store(preset.processRight, relaxed);
}

}  // namespace parampanel
