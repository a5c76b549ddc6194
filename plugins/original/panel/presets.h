// The five presets of the parameter panel. Each sets all eight values of the
// parameter block; the panel stores one when its button is pressed.
#pragma once

#include <cstdint>
#include <span>

namespace parampanel {

/// One preset: the button that selects it and the eight values it stores.
struct ParameterPreset {
    int buttonId;
    double pitchOctaves;
    double speedExponent;
    double reverbAmount;
    double applyRatio;
    std::int32_t bandMask;
    std::int32_t processMono;
    std::int32_t processLeft;
    std::int32_t processRight;
};

/// The five presets: C+F chord, fast listening, telephone, heavy bass, reset.
std::span<const ParameterPreset> ParameterPresets();

/// Writes the preset's eight values into the parameter block, one after another.
void StorePreset(const ParameterPreset& preset);

}  // namespace parampanel
