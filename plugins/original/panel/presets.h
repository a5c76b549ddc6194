// The panel's five preset buttons and the preset each one stores. The values
// themselves live with the parameter block (parameter_presets.h), where the
// plug-in's parameter description reads them too.
#pragma once

#include <span>

namespace parampanel {

/// One preset button and the name of the preset it stores.
struct ParameterPreset {
    int buttonId;
    const char* presetName;
};

/// The five buttons: C+F chord, fast listening, telephone, heavy bass, reset.
std::span<const ParameterPreset> ParameterPresets();

/// Writes the button's preset into the parameter block, one value after another.
void StorePreset(const ParameterPreset& preset);

}  // namespace parampanel
