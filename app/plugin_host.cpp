// Loading the effect plug-ins with dlopen, checking their entry points, and
// ending them in order at shut-down.
#include "plugin_host.h"

#include <dlfcn.h>

#include <cstdio>

#include "plugin_scan.h"

namespace {

constexpr const char* kProcessingEntries[] = {"EffectStop", "Constructer", "Destructer", "EffectEnt"};

void ReportSkipped(const std::string& path, const char* reason) {
    std::fprintf(stderr, "ZarevoPlusApp: plug-in %s skipped: %s\n", path.c_str(), reason);
}

/// The first processing entry point `module` lacks, or null when it has all four.
const char* MissingProcessingEntry(void* module) {
    for (const char* name : kProcessingEntries) {
        if (!dlsym(module, name)) return name;
    }
    return nullptr;
}

}  // namespace

PluginHost::~PluginHost() {
    EndDialogs();
    Unload();
}

void PluginHost::LoadFrom(const std::string& folder, QWidget* parent) {
    for (const std::string& path : FindPluginFiles(folder)) {
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* reason = dlerror();
            ReportSkipped(path, reason ? reason : "cannot be loaded");
            continue;
        }
        auto startDialog = reinterpret_cast<ZarevoStartDialogFn>(dlsym(module, "Start_Dialog"));
        if (!startDialog) {
            ReportSkipped(path, "it exports no Start_Dialog");
            dlclose(module);
            continue;
        }
        // Rationale: the engine calls every processing entry of every module;
        // a library without one of them would be called through a null pointer.
        if (const char* missing = MissingProcessingEntry(module)) {
            const std::string reason = std::string("it exports no ") + missing;
            ReportSkipped(path, reason.c_str());
            dlclose(module);
            continue;
        }
        Plugin plugin;
        plugin.path = path;
        plugin.startDialog = startDialog;
        plugin.endDialog = reinterpret_cast<ZarevoEndDialogFn>(dlsym(module, "End_Dialog"));
        modules_.push_back(module);
        plugins_.push_back(plugin);
        plugins_.back().page = static_cast<QWidget*>(startDialog(parent));
    }
}

void PluginHost::EndDialogs() {
    if (dialogsEnded_) return;
    dialogsEnded_ = true;
    for (Plugin& plugin : plugins_) {
        if (plugin.endDialog) plugin.endDialog();
    }
    for (Plugin& plugin : plugins_) {
        delete plugin.page.data();
    }
}

void PluginHost::Unload() {
    for (void* module : modules_) {
        if (module) dlclose(module);
    }
    modules_.clear();
}
