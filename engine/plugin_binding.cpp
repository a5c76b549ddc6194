// Binding the processing entry points of the plug-in modules by name.
#include "plugin_binding.h"

#include <dlfcn.h>

#include "failure_log.h"

namespace {

template <typename Function>
Function Lookup(void* module, const char* name) {
    return reinterpret_cast<Function>(dlsym(module, name));
}

}  // namespace

bool BindPluginEntries(std::span<void* const> modules, PluginEntryLists& lists) {
    lists = PluginEntryLists{};
    PluginEntryLists bound;
    for (void* module : modules) {
        // dlsym on a null handle would search the whole program's symbols
        // (RTLD_DEFAULT), binding whatever happens to carry those names.
        if (module == nullptr) {
            LogEngineFailure("job refused: plug-in module %zu is not loaded", bound.process.size());
            return false;
        }
        const auto stop = Lookup<ZarevoEffectStopFn>(module, "EffectStop");
        const auto constructer = Lookup<ZarevoConstructerFn>(module, "Constructer");
        const auto destructer = Lookup<ZarevoDestructerFn>(module, "Destructer");
        const auto process = Lookup<ZarevoEffectEntFn>(module, "EffectEnt");
        if (!stop || !constructer || !destructer || !process) {
            LogEngineFailure(
                "job refused: plug-in module %zu lacks one of EffectStop, Constructer, Destructer, EffectEnt",
                bound.process.size());
            return false;
        }
        bound.stop.push_back(stop);
        bound.constructer.push_back(constructer);
        bound.destructer.push_back(destructer);
        bound.process.push_back(process);
        bound.tail.push_back(Lookup<ZarevoEffectTailFn>(module, "EffectTail"));
        bound.speed.push_back(Lookup<ZarevoEffectSpeedFn>(module, "EffectSpeed"));
    }
    lists = std::move(bound);
    return true;
}
