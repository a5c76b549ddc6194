// Loads the built Zarevo_sample.so next to the program, as the program does,
// and resolves its six entry points and its VocalCancel switch by name.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "zarevo_plugin.h"

struct SampleLibrary {
    void* handle = nullptr;
    ZarevoStartDialogFn startDialog = nullptr;
    ZarevoEndDialogFn endDialog = nullptr;
    ZarevoConstructerFn constructer = nullptr;
    ZarevoEffectEntFn effectEnt = nullptr;
    ZarevoEffectStopFn effectStop = nullptr;
    ZarevoDestructerFn destructer = nullptr;
    std::atomic<std::int32_t>* vocalCancel = nullptr;

    /// Loads the library once per process and resolves every name; any
    /// failure is a test failure.
    static const SampleLibrary& Get() {
        static const SampleLibrary library = Load();
        return library;
    }

private:
    template <class Fn>
    static Fn Resolve(void* handle, const char* name) {
        void* symbol = handle ? dlsym(handle, name) : nullptr;
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn>(symbol);
    }

    static SampleLibrary Load() {
        const std::string path = std::string(ZAREVO_PLUGIN_OUTPUT_DIR) + "/Zarevo_sample.so";
        SampleLibrary library;
        library.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(library.handle, nullptr) << path << ": " << dlerror();
        library.startDialog = Resolve<ZarevoStartDialogFn>(library.handle, "Start_Dialog");
        library.endDialog = Resolve<ZarevoEndDialogFn>(library.handle, "End_Dialog");
        library.constructer = Resolve<ZarevoConstructerFn>(library.handle, "Constructer");
        library.effectEnt = Resolve<ZarevoEffectEntFn>(library.handle, "EffectEnt");
        library.effectStop = Resolve<ZarevoEffectStopFn>(library.handle, "EffectStop");
        library.destructer = Resolve<ZarevoDestructerFn>(library.handle, "Destructer");
        library.vocalCancel = Resolve<std::atomic<std::int32_t>*>(library.handle, "VocalCancel");
        return library;
    }
};
