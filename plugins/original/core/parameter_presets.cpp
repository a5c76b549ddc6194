// Looking a preset up by its name.
#include "parameter_presets.h"

const NamedPreset* FindStandardPreset(std::string_view name) {
    for (const NamedPreset& preset : kStandardPresets) {
        if (name == preset.name) return &preset;
    }
    return nullptr;
}
