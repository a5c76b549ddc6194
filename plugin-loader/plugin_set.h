// The loaded effect plug-ins of one program: the libraries of a folder, kept
// in chain order with their panel entry points and their parameter
// description. The window and the renderer load through this one class, so
// both keep the same plug-ins in the same order.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "description_copy.h"
#include "zarevo_plugin.h"

struct LoadedPlugin {
    std::string path;
    std::string caption;  ///< the file name without "Zarevo_" and the extension
    void* module = nullptr;
    ZarevoStartDialogFn startDialog = nullptr;
    ZarevoEndDialogFn endDialog = nullptr;  ///< null: the library has none
    /// Null when the library does not describe its parameters, or describes
    /// them in a way that cannot be used. Otherwise the description in this
    /// program's layout, whatever version the plug-in was built for; it
    /// points into `descriptionCopy`.
    const ZarevoParameterDescription* description = nullptr;
    std::shared_ptr<const DescriptionCopy> descriptionCopy;
};

class PluginSet {
public:
    /// Called for each kept plug-in right after it is loaded; false takes it
    /// out of the set again (see Abandon).
    using LoadedHook = std::function<bool(const LoadedPlugin& plugin)>;

    PluginSet() = default;
    ~PluginSet();  ///< unloads what is still loaded
    PluginSet(const PluginSet&) = delete;
    PluginSet& operator=(const PluginSet&) = delete;

    /// Loads every "Zarevo_*.so" of `folder` in byte-wise order of the names.
    /// A name that is not a regular file (after links), a library that cannot
    /// be loaded, lacks Start_Dialog, or lacks one of
    /// the four processing entry points is unloaded and skipped, with its
    /// path and the reason on stderr. Call once.
    void LoadFrom(const std::string& folder, const LoadedHook& onLoaded = {});

    std::size_t Count() const { return plugins_.size(); }
    const LoadedPlugin& At(std::size_t index) const { return plugins_[index]; }
    /// The dlopen handles of the kept plug-ins, in chain order.
    const std::vector<void*>& Modules() const { return modules_; }

    /// Takes plug-in `index` out of the set. Its library stays loaded until
    /// the process ends: code it has run (a panel half made before it threw)
    /// may still be reached.
    void Abandon(std::size_t index);
    /// Unloads every library in chain order and empties the set.
    void Unload();

private:
    std::vector<LoadedPlugin> plugins_;
    std::vector<void*> modules_;
};

/// Writes "<program>: plug-in <path> skipped: <reason>" to stderr, one line.
void ReportPluginSkipped(const std::string& path, const std::string& reason);

/// Empty when the description can be read and used as the plug-in interface
/// says; otherwise the first fault found.
std::string DescriptionFault(const ZarevoParameterDescription& description);
