// Choosing the chain and resolving presets and parameter settings by name.
#include "render_plugins.h"

#include <exception>

#include "parameter_text.h"

namespace {

/// Joins `items` with ", ", or gives `none` when there are none.
std::string JoinOrNone(const std::vector<std::string>& items, const char* none) {
    if (items.empty()) return none;
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

/// Splits "CAPTION.NAME" at its last "." (names have none; captions may).
bool SplitQualifiedName(const std::string& text, std::string& caption, std::string& name) {
    const std::size_t dot = text.rfind('.');
    if (dot == std::string::npos) return false;
    caption = text.substr(0, dot);
    name = text.substr(dot + 1);
    return true;
}

}  // namespace

bool RenderPlugins::Choose(const PluginSet& loaded, const RenderOptions& options, std::string& error) {
    if (!ChoosePlugins(loaded, options, error)) return false;
    for (const std::string& preset : options.presets) {
        if (!AddPreset(preset, error)) return false;
    }
    for (const std::string& setting : options.settings) {
        if (!AddSetting(setting, error)) return false;
    }
    return true;
}

bool RenderPlugins::ChoosePlugins(const PluginSet& loaded, const RenderOptions& options, std::string& error) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < loaded.Count(); ++i) found.push_back(loaded.At(i).caption);
    std::vector<bool> wanted(loaded.Count(), !options.pluginsGiven);
    if (options.pluginsGiven && options.plugins != "none") {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = options.plugins.find(',', start);
            const std::string caption = options.plugins.substr(start, comma - start);
            bool known = false;
            for (std::size_t i = 0; i < found.size(); ++i) {
                if (found[i] == caption) wanted[i] = known = true;
            }
            if (!known) {
                error =
                    "--plugins: no plug-in '" + caption + "' (found: " + JoinOrNone(found, "none") + "; or give none)";
                return false;
            }
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    // Rationale: the chain keeps the loaded order whatever order --plugins
    // names them in, so a render matches the window's save.
    for (std::size_t i = 0; i < loaded.Count(); ++i) {
        if (wanted[i]) chain_.push_back(&loaded.At(i));
    }
    return true;
}

const LoadedPlugin* RenderPlugins::Find(const std::string& caption) const {
    for (const LoadedPlugin* plugin : chain_) {
        if (plugin->caption == caption) return plugin;
    }
    return nullptr;
}

bool RenderPlugins::AddPreset(const std::string& text, std::string& error) {
    std::vector<std::string> valid;
    std::vector<std::pair<const LoadedPlugin*, const ZarevoPreset*>> matches;
    std::string caption;
    std::string name;
    const bool qualified = SplitQualifiedName(text, caption, name);
    for (const LoadedPlugin* plugin : chain_) {
        const ZarevoParameterDescription* description = plugin->description;
        for (int i = 0; description && i < description->presetCount; ++i) {
            const ZarevoPreset& preset = description->presets[i];
            valid.push_back(plugin->caption + "." + preset.name);
            const bool matches_text =
                qualified ? caption == plugin->caption && name == preset.name : text == preset.name;
            if (matches_text) matches.emplace_back(plugin, &preset);
        }
    }
    if (matches.size() != 1) {
        error = matches.empty() ? "--preset: no preset '" + text +
                                      "' in the plug-ins used (valid: " + JoinOrNone(valid, "none") + ")"
                                : "--preset: several plug-ins have '" + text + "'; give it as CAPTION." + text;
        return false;
    }
    const auto [plugin, preset] = matches.front();
    for (int i = 0; i < plugin->description->parameterCount; ++i) {
        assignments_.push_back({plugin, &plugin->description->parameters[i], preset->values[i]});
    }
    return true;
}

bool RenderPlugins::AddSetting(const std::string& text, std::string& error) {
    const std::size_t equals = text.find('=');
    std::string caption;
    std::string name;
    if (equals == std::string::npos || !SplitQualifiedName(text.substr(0, equals), caption, name)) {
        error = "--set takes CAPTION.NAME=VALUE, not '" + text + "' (see --list)";
        return false;
    }
    const LoadedPlugin* plugin = Find(caption);
    const ZarevoParameter* parameter = plugin ? FindParameter(plugin->description, name) : nullptr;
    if (parameter == nullptr) {
        std::vector<std::string> valid;
        for (const LoadedPlugin* used : chain_) {
            for (int i = 0; used->description && i < used->description->parameterCount; ++i) {
                valid.push_back(used->caption + "." + used->description->parameters[i].name);
            }
        }
        error = "--set: no parameter '" + text.substr(0, equals) +
                "' in the plug-ins used (valid: " + JoinOrNone(valid, "none") + ")";
        return false;
    }
    const std::optional<double> value =
        ParseParameterValue(*parameter, std::string_view(text).substr(equals + 1), error);
    if (!value) {
        error = "--set " + text + ": " + error;
        return false;
    }
    assignments_.push_back({plugin, parameter, *value});
    return true;
}

std::string RenderPlugins::Listing() const {
    std::string lines;
    for (const LoadedPlugin* plugin : chain_) {
        const ZarevoParameterDescription* description = plugin->description;
        for (int i = 0; description && i < description->parameterCount; ++i) {
            const ZarevoParameter& parameter = description->parameters[i];
            lines += plugin->caption + "." + parameter.name + "\t" +
                     FormatParameterValue(parameter, parameter.defaultValue) + "\t" +
                     FormatParameterValue(parameter, parameter.minimum) + "\t" +
                     FormatParameterValue(parameter, parameter.maximum) + "\t" + OneLine(parameter.description) + "\n";
        }
    }
    return lines;
}

bool RenderPlugins::Apply(std::string& error) const {
    for (const Assignment& assignment : assignments_) {
        try {
            assignment.parameter->set(assignment.value);
        } catch (...) {
            error = "plug-in " + assignment.plugin->caption + " failed to take " + assignment.parameter->name;
            return false;
        }
    }
    return true;
}

std::vector<void*> RenderPlugins::Modules() const {
    std::vector<void*> modules;
    for (const LoadedPlugin* plugin : chain_) modules.push_back(plugin->module);
    return modules;
}

std::string RenderPlugins::Caption(std::size_t index) const {
    return index < chain_.size() ? chain_[index]->caption : "?";
}
