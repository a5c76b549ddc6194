// The plug-ins of one render: which of the loaded ones form the chain, and the
// presets and parameter values the command line gives them, checked against
// their descriptions before anything runs.
#pragma once

#include <string>
#include <vector>

#include "plugin_set.h"
#include "render_options.h"

class RenderPlugins {
public:
    /// Picks the chain from `loaded` (--plugins, in the loaded order) and
    /// resolves every --preset and --set. On a usage error the result is
    /// false and `error` is one line naming what is valid.
    bool Choose(const PluginSet& loaded, const RenderOptions& options, std::string& error);

    /// The --list lines of the chosen plug-ins, each ending in "\n".
    std::string Listing() const;

    /// Stores the presets, then the --set values, through the plug-ins' set
    /// functions. False with `error` when a plug-in throws.
    bool Apply(std::string& error) const;

    /// The dlopen handles of the chain, in order.
    std::vector<void*> Modules() const;
    /// The caption of chain position `index` ("?" when there is none).
    std::string Caption(std::size_t index) const;

private:
    struct Assignment {
        const LoadedPlugin* plugin;
        const ZarevoParameter* parameter;
        double value;
    };
    bool ChoosePlugins(const PluginSet& loaded, const RenderOptions& options, std::string& error);
    bool AddPreset(const std::string& text, std::string& error);
    bool AddSetting(const std::string& text, std::string& error);
    /// The chosen plug-in called `caption`, or null.
    const LoadedPlugin* Find(const std::string& caption) const;

    std::vector<const LoadedPlugin*> chain_;
    std::vector<Assignment> assignments_;  ///< presets first, then settings, each in given order
};
