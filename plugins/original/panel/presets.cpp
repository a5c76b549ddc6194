// Which preset each button of the panel stores.
#include "presets.h"

#include "panel_layout.h"
#include "parameter_presets.h"

namespace parampanel {

namespace {

constexpr ParameterPreset kButtons[] = {
    {kChordButton, "chord-cf"},      {kFastListeningButton, "fast-listen"},
    {kTelephoneButton, "telephone"}, {kHeavyBassButton, "bass-boost"},
    {kResetButton, "reset"},
};

}  // namespace

std::span<const ParameterPreset> ParameterPresets() { return kButtons; }

void StorePreset(const ParameterPreset& preset) {
    if (const NamedPreset* named = FindStandardPreset(preset.presetName)) StoreParameterValues(named->values);
}

}  // namespace parampanel
