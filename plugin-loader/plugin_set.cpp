// Loading the effect plug-ins with dlopen, checking their entry points and
// their parameter description, and unloading them in order.
#include "plugin_set.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <set>
#include <string_view>

#include "description_copy.h"
#include "plugin_scan.h"

namespace {

constexpr const char* kProcessingEntries[] = {"EffectStop", "Constructer", "Destructer", "EffectEnt"};

/// The first processing entry point `module` lacks, or null when it has all four.
const char* MissingProcessingEntry(void* module) {
    for (const char* name : kProcessingEntries) {
        if (!dlsym(module, name)) return name;
    }
    return nullptr;
}

bool IsNameCharacter(char c, bool isPreset) {
    const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return alphanumeric || c == '_' || (isPreset && c == '-');
}

bool IsUsableName(const char* name, bool isPreset) {
    if (name == nullptr || *name == '\0') return false;
    for (const char* c = name; *c; ++c) {
        if (!IsNameCharacter(*c, isPreset)) return false;
    }
    return true;
}

bool IsWhole(double value) { return std::floor(value) == value; }

/// Whether `value` is one that `parameter` accepts.
bool Accepts(const ZarevoParameter& parameter, double value) {
    if (!std::isfinite(value) || value < parameter.minimum || value > parameter.maximum) return false;
    return parameter.kind == ZAREVO_PARAMETER_REAL || IsWhole(value);
}

std::string ParameterFault(const ZarevoParameter& parameter) {
    const std::string name = parameter.name;
    if (parameter.get == nullptr || parameter.set == nullptr) return "parameter " + name + " has no get or set";
    const bool finite = std::isfinite(parameter.minimum) && std::isfinite(parameter.maximum);
    switch (parameter.kind) {
    case ZAREVO_PARAMETER_REAL:
        if (!finite || parameter.minimum > parameter.maximum) return "parameter " + name + " has no usable range";
        break;
    case ZAREVO_PARAMETER_INTEGER:
        if (!finite || parameter.minimum > parameter.maximum || !IsWhole(parameter.minimum) ||
            !IsWhole(parameter.maximum) || parameter.minimum < INT32_MIN || parameter.maximum > INT32_MAX) {
            return "parameter " + name + " has no usable 32-bit range";
        }
        break;
    case ZAREVO_PARAMETER_SWITCH:
        if (parameter.minimum != 0.0 || parameter.maximum != 1.0) return "switch " + name + " is not 0 to 1";
        break;
    default: return "parameter " + name + " is of an unknown kind";
    }
    if (!Accepts(parameter, parameter.defaultValue)) return "the default of " + name + " is outside its range";
    return {};
}

/// Empty when the values of a description read into this program's layout
/// can be used; otherwise the first fault found.
std::string ContentFault(const ZarevoParameterDescription& description) {
    std::set<std::string_view> names;
    for (int i = 0; i < description.parameterCount; ++i) {
        const ZarevoParameter& parameter = description.parameters[i];
        if (!IsUsableName(parameter.name, false)) return "a parameter name is empty or not plain ASCII";
        if (!names.insert(parameter.name).second) return std::string("the name ") + parameter.name + " is repeated";
        if (std::string fault = ParameterFault(parameter); !fault.empty()) return fault;
    }
    std::set<std::string_view> presetNames;
    for (int p = 0; p < description.presetCount; ++p) {
        const ZarevoPreset& preset = description.presets[p];
        if (!IsUsableName(preset.name, true)) return "a preset name is empty or not plain ASCII";
        if (!presetNames.insert(preset.name).second) return std::string("the preset ") + preset.name + " is repeated";
        if (preset.values == nullptr && description.parameterCount > 0) {
            return std::string("the preset ") + preset.name + " has no values";
        }
        for (int i = 0; i < description.parameterCount; ++i) {
            if (!Accepts(description.parameters[i], preset.values[i])) {
                return std::string("the preset ") + preset.name + " gives " + description.parameters[i].name +
                       " a value outside its range";
            }
        }
    }
    return {};
}

/// Reads `description` into `copy`: empty when it can be read and used.
std::string ReadInto(const ZarevoParameterDescription& description, DescriptionCopy& copy) {
    std::string fault = copy.ReadFrom(description);
    return fault.empty() ? ContentFault(copy.Description()) : fault;
}

/// The plug-in's description in this program's layout, or null (with a line
/// on stderr) when it has none that can be read and used.
std::shared_ptr<const DescriptionCopy> ReadDescription(void* module, const std::string& path) {
    const auto describe = reinterpret_cast<ZarevoDescribeParametersFn>(dlsym(module, "Describe_Parameters"));
    if (describe == nullptr) return nullptr;
    const ZarevoParameterDescription* description = nullptr;
    std::string fault;
    try {
        description = describe();
    } catch (...) {
        fault = "Describe_Parameters threw";
    }
    if (description == nullptr && fault.empty()) return nullptr;  // nothing described
    auto copy = std::make_shared<DescriptionCopy>();
    if (description != nullptr) fault = ReadInto(*description, *copy);
    if (fault.empty()) return copy;
    std::fprintf(stderr, "%s: plug-in %s: parameter description ignored: %s\n", program_invocation_short_name,
                 path.c_str(), fault.c_str());
    return nullptr;
}

}  // namespace

std::string DescriptionFault(const ZarevoParameterDescription& description) {
    DescriptionCopy copy;
    return ReadInto(description, copy);
}

void ReportPluginSkipped(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "%s: plug-in %s skipped: %s\n", program_invocation_short_name, path.c_str(), reason.c_str());
}

PluginSet::~PluginSet() { Unload(); }

void PluginSet::LoadFrom(const std::string& folder, const LoadedHook& onLoaded) {
    for (const std::string& path : FindPluginFiles(folder)) {
        // Rationale: dlopen opens and reads the file without a time limit; a
        // FIFO or a terminal under a plug-in's name would hold the program's
        // start for ever.
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            ReportPluginSkipped(path, "it is not a regular file");
            continue;
        }
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* reason = dlerror();
            ReportPluginSkipped(path, reason ? reason : "cannot be loaded");
            continue;
        }
        const auto startDialog = reinterpret_cast<ZarevoStartDialogFn>(dlsym(module, "Start_Dialog"));
        if (!startDialog) {
            ReportPluginSkipped(path, "it exports no Start_Dialog");
            dlclose(module);
            continue;
        }
        // Rationale: the engine calls every processing entry of every module;
        // a library without one of them would be called through a null pointer.
        if (const char* missing = MissingProcessingEntry(module)) {
            ReportPluginSkipped(path, std::string("it exports no ") + missing);
            dlclose(module);
            continue;
        }
        LoadedPlugin plugin;
        plugin.path = path;
        plugin.caption = PluginCaption(path);
        plugin.module = module;
        plugin.startDialog = startDialog;
        plugin.endDialog = reinterpret_cast<ZarevoEndDialogFn>(dlsym(module, "End_Dialog"));
        plugin.descriptionCopy = ReadDescription(module, path);
        plugin.description = plugin.descriptionCopy ? &plugin.descriptionCopy->Description() : nullptr;
        plugins_.push_back(plugin);
        modules_.push_back(module);
        if (onLoaded && !onLoaded(plugins_.back())) Abandon(plugins_.size() - 1);
    }
}

void PluginSet::Abandon(std::size_t index) {
    if (index >= plugins_.size()) return;
    plugins_.erase(plugins_.begin() + static_cast<std::ptrdiff_t>(index));
    modules_.erase(modules_.begin() + static_cast<std::ptrdiff_t>(index));
}

void PluginSet::Unload() {
    for (void* module : modules_) {
        if (module) dlclose(module);
    }
    modules_.clear();
    plugins_.clear();
}
