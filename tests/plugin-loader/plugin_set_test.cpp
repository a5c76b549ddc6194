// Loading plug-ins: which files the scan finds and in what order, which
// libraries the set keeps or skips (and says so on stderr), plug-ins taken
// out by the loading program, and the parameter descriptions and their checks.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "parameter_text.h"
#include "plugin_scan.h"
#include "plugin_set.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path) { std::ofstream(path).put('x'); }

/// Copies a built test plug-in under `name`: each copy loads as its own module.
void CopyTestPlugin(const char* built, const fs::path& folder, const std::string& name) {
    fs::copy_file(fs::path(ZAREVO_TEST_PLUGIN_DIR) / built, folder / name);
}

std::vector<std::string> Captions(const PluginSet& set) {
    std::vector<std::string> captions;
    for (std::size_t i = 0; i < set.Count(); ++i) captions.push_back(set.At(i).caption);
    return captions;
}

bool IsStillLoaded(const fs::path& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

std::vector<std::string> ParameterNames(const ZarevoParameterDescription* description) {
    std::vector<std::string> names;
    for (int i = 0; description && i < description->parameterCount; ++i)
        names.push_back(description->parameters[i].name);
    return names;
}

std::vector<std::string> PresetNames(const ZarevoParameterDescription* description) {
    std::vector<std::string> names;
    for (int i = 0; description && i < description->presetCount; ++i) names.push_back(description->presets[i].name);
    return names;
}

#if ZAREVO_HAVE_SHIPPED_PLUGINS
/// A value other than the default that the parameter accepts.
double ChangedValue(const ZarevoParameter& parameter) {
    switch (parameter.kind) {
    case ZAREVO_PARAMETER_SWITCH: return 1.0 - parameter.defaultValue;
    case ZAREVO_PARAMETER_INTEGER: return 56.0;
    default: return 0.25;
    }
}
#endif

}  // namespace

TEST(PluginCaption, DropsFolderPrefixAndExtension) {
    EXPECT_EQ(PluginCaption("/opt/zarevo/Zarevo_original.so"), "original");
    EXPECT_EQ(PluginCaption("/opt/zarevo/Zarevo_sample.so"), "sample");
    // Only the last dot starts the extension; dots in folder names do not count.
    EXPECT_EQ(PluginCaption("/a.b/Zarevo_x.y.so"), "x.y");
    EXPECT_EQ(PluginCaption("/tmp/Zarevo_エコー.so"), "エコー");
}

TEST(PluginScan, FindsOnlyMatchingNamesInByteOrder) {
    TempDir folder;
    for (const char* name : {"Zarevo_b.so", "Zarevo_a.so", "Zarevo_Z.so", "Zarevo_a_x.so", "zarevo_c.so",
                             "Zarevo_d.so.1", "libZarevo_e.so", "Zarevo_.txt"}) {
        Touch(folder.Folder() / name);
    }
    const std::string base = folder.Folder().string() + "/";
    const std::vector<std::string> expected = {base + "Zarevo_Z.so", base + "Zarevo_a.so", base + "Zarevo_a_x.so",
                                               base + "Zarevo_b.so"};
    EXPECT_EQ(FindPluginFiles(folder.Folder().string()), expected);
    // A trailing "/" on the folder gives the same paths.
    EXPECT_EQ(FindPluginFiles(base), expected);
    EXPECT_TRUE(FindPluginFiles("/nonexistent/zarevo/folder").empty());
}

TEST(PluginScan, ProgramFolderIsWhereTheTestRuns) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / "plugin_loader_plugin_set_test"));
}

TEST(PluginSet, KeepsByteOrderAndSkipsUnusableLibrariesWithAReason) {
    TempDir folder;
    // Copied in reverse, so the directory's own order cannot pass for sorting.
    for (const char* name : {"Zarevo_b.so", "Zarevo_a.so", "Zarevo_Z.so"})
        CopyTestPlugin("passthrough.so", folder.Folder(), name);
    CopyTestPlugin("missing_stop.so", folder.Folder(), "Zarevo_a_nostop.so");
    Touch(folder.Folder() / "Zarevo_broken.so");

    PluginSet set;
    testing::internal::CaptureStderr();
    set.LoadFrom(folder.Folder().string());
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(Captions(set), (std::vector<std::string>{"Z", "a", "b"}));
    ASSERT_EQ(set.Modules().size(), 3u);
    EXPECT_EQ(std::set<void*>(set.Modules().begin(), set.Modules().end()).size(), 3u) << "one module per file";
    for (std::size_t i = 0; i < set.Count(); ++i) {
        EXPECT_EQ(set.At(i).module, set.Modules()[i]);
        EXPECT_NE(set.At(i).startDialog, nullptr);
        EXPECT_NE(set.At(i).endDialog, nullptr);
        // A plug-in of the first interface version loads without a description.
        EXPECT_EQ(set.At(i).description, nullptr);
    }
    EXPECT_NE(errors.find("Zarevo_a_nostop.so skipped: it exports no EffectStop\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Zarevo_broken.so skipped: "), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;

    set.Unload();
    EXPECT_TRUE(set.Modules().empty());
    EXPECT_FALSE(IsStillLoaded(folder.Folder() / "Zarevo_a.so"));
}

TEST(PluginSet, NamesThatAreNotRegularFilesAreSkippedWithoutBeingOpened) {
    TempDir folder;
    CopyTestPlugin("passthrough.so", folder.Folder(), "Zarevo_a.so");
    const fs::path fifo = folder.Folder() / "Zarevo_fifo.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder.Folder() / "Zarevo_folder.so");
    // A write end opens without blocking only while someone reads: then the
    // loader is stuck in open(), and opening releases it with an empty file.
    std::atomic<bool> loaded{false};
    std::atomic<bool> readerWasWaiting{false};
    std::thread writer([&] {
        while (!loaded.load()) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                readerWasWaiting.store(true);
                close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    PluginSet set;
    testing::internal::CaptureStderr();
    set.LoadFrom(folder.Folder().string());
    const std::string errors = testing::internal::GetCapturedStderr();
    loaded.store(true);
    writer.join();

    EXPECT_FALSE(readerWasWaiting.load()) << "the FIFO was opened and would have hung the start";
    EXPECT_EQ(Captions(set), (std::vector<std::string>{"a"}));
    EXPECT_NE(errors.find("Zarevo_fifo.so skipped: it is not a regular file\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Zarevo_folder.so skipped: it is not a regular file\n"), std::string::npos) << errors;
}

TEST(PluginSet, RefusedByTheHookLeavesTheChainButStaysLoaded) {
    TempDir folder;
    for (const char* name : {"Zarevo_a.so", "Zarevo_b.so", "Zarevo_c.so"})
        CopyTestPlugin("passthrough.so", folder.Folder(), name);
    std::vector<std::string> seen;
    PluginSet set;
    set.LoadFrom(folder.Folder().string(), [&seen](const LoadedPlugin& plugin) {
        seen.push_back(plugin.caption);
        return plugin.caption != "b";
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Captions(set), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(set.Modules().size(), 2u);
    set.Unload();
    EXPECT_FALSE(IsStillLoaded(folder.Folder() / "Zarevo_a.so"));
    EXPECT_TRUE(IsStillLoaded(folder.Folder() / "Zarevo_b.so")) << "its code may still be referenced";
}

TEST(PluginSet, DescribedParametersOfTheExampleAndTheShippedPlugins) {
    TempDir folder;
    fs::copy_file(fs::path(ZAREVO_EXAMPLE_PLUGIN_DIR) / "Zarevo_volume.so", folder.Folder() / "Zarevo_volume.so");
#if ZAREVO_HAVE_SHIPPED_PLUGINS
    for (const char* name : {"Zarevo_original.so", "Zarevo_sample.so"}) {
        fs::create_symlink(fs::path(ZAREVO_PLUGIN_OUTPUT_DIR) / name, folder.Folder() / name);
    }
#endif
    PluginSet set;
    testing::internal::CaptureStderr();
    set.LoadFrom(folder.Folder().string());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "every description is usable";
    const LoadedPlugin& volume = set.At(set.Count() - 1);
    ASSERT_EQ(volume.caption, "volume");
    EXPECT_EQ(ParameterNames(volume.description), std::vector<std::string>{"Gain"});
    EXPECT_EQ(PresetNames(volume.description), (std::vector<std::string>{"half", "unity"}));
#if ZAREVO_HAVE_SHIPPED_PLUGINS
    ASSERT_EQ(Captions(set), (std::vector<std::string>{"original", "sample", "volume"}));
    const ZarevoParameterDescription* original = set.At(0).description;
    EXPECT_EQ(ParameterNames(original),
              (std::vector<std::string>{"PitchOctaves", "SpeedExponent", "ReverbAmount", "ApplyRatio", "BandMask",
                                        "ProcessMono", "ProcessLeft", "ProcessRight"}));
    EXPECT_EQ(PresetNames(original),
              (std::vector<std::string>{"chord-cf", "fast-listen", "telephone", "bass-boost", "reset"}));
    EXPECT_EQ(ParameterNames(set.At(1).description), std::vector<std::string>{"VocalCancel"});

    // Each parameter's get and set reach the variable the effect reads, and
    // every default is the value the library starts with.
    void* module = set.At(0).module;
    for (int i = 0; i < original->parameterCount; ++i) {
        const ZarevoParameter& parameter = original->parameters[i];
        SCOPED_TRACE(parameter.name);
        EXPECT_EQ(parameter.get(), parameter.defaultValue);
        void* variable = dlsym(module, parameter.name);
        ASSERT_NE(variable, nullptr);
        const double changed = ChangedValue(parameter);
        parameter.set(changed);
        const double stored = parameter.kind == ZAREVO_PARAMETER_REAL
                                  ? static_cast<std::atomic<double>*>(variable)->load()
                                  : static_cast<std::atomic<std::int32_t>*>(variable)->load();
        EXPECT_EQ(stored, changed);
        EXPECT_EQ(parameter.get(), changed);
    }
    // The "reset" preset holds the defaults.
    const ZarevoPreset* reset = FindPreset(original, "reset");
    ASSERT_NE(reset, nullptr);
    for (int i = 0; i < original->parameterCount; ++i) {
        EXPECT_EQ(reset->values[i], original->parameters[i].defaultValue) << original->parameters[i].name;
        original->parameters[i].set(reset->values[i]);
    }
    EXPECT_EQ(FindPreset(original, "chord-cf")->values[0], 0.4166666);
#endif
}

namespace {

double Zero() { return 0.0; }
void Ignore(double) {}

/// A usable description that one test case at a time spoils.
struct DescriptionUnderTest {
    ZarevoParameter parameters[3] = {
        {"Level", "a level", ZAREVO_PARAMETER_REAL, -1.0, 1.0, 0.0, Zero, Ignore},
        {"Bits", nullptr, ZAREVO_PARAMETER_INTEGER, 0, 255, 3, Zero, Ignore},
        {"On", "a switch", ZAREVO_PARAMETER_SWITCH, 0, 1, 1, Zero, Ignore},
    };
    double presetValues[3] = {0.5, 7, 0};
    ZarevoPreset presets[1] = {{"some-preset", nullptr, presetValues}};
    // Version 2, whose description ends before the struct sizes: left 0
    // here, they must not be read.
    ZarevoParameterDescription description{2, 3, parameters, 1, presets, 0, 0};
};

}  // namespace

TEST(ParameterDescription, EveryFaultOfAForeignTableIsFound) {
    EXPECT_EQ(DescriptionFault(DescriptionUnderTest{}.description), "");
    const std::vector<std::pair<const char*, void (*)(DescriptionUnderTest&)>> spoilers = {
        {"version 1", [](DescriptionUnderTest& d) { d.description.version = 1; }},
        {"negative count", [](DescriptionUnderTest& d) { d.description.parameterCount = -1; }},
        {"missing table", [](DescriptionUnderTest& d) { d.description.parameters = nullptr; }},
        {"null name", [](DescriptionUnderTest& d) { d.parameters[1].name = nullptr; }},
        {"name with a space", [](DescriptionUnderTest& d) { d.parameters[1].name = "Two words"; }},
        {"repeated name", [](DescriptionUnderTest& d) { d.parameters[2].name = "Level"; }},
        {"unknown kind", [](DescriptionUnderTest& d) { d.parameters[0].kind = 7; }},
        {"reversed range", [](DescriptionUnderTest& d) { d.parameters[0].minimum = 2.0; }},
        {"endless range", [](DescriptionUnderTest& d) { d.parameters[0].maximum = INFINITY; }},
        {"default outside", [](DescriptionUnderTest& d) { d.parameters[0].defaultValue = 1.5; }},
        {"integer range beyond 32 bits", [](DescriptionUnderTest& d) { d.parameters[1].maximum = 1e10; }},
        {"fractional integer default", [](DescriptionUnderTest& d) { d.parameters[1].defaultValue = 2.5; }},
        {"switch up to 2", [](DescriptionUnderTest& d) { d.parameters[2].maximum = 2; }},
        {"no set", [](DescriptionUnderTest& d) { d.parameters[2].set = nullptr; }},
        {"no get", [](DescriptionUnderTest& d) { d.parameters[2].get = nullptr; }},
        {"preset without values", [](DescriptionUnderTest& d) { d.presets[0].values = nullptr; }},
        {"preset value outside", [](DescriptionUnderTest& d) { d.presetValues[1] = 256; }},
        {"preset switch at one half", [](DescriptionUnderTest& d) { d.presetValues[2] = 0.5; }},
        {"preset name with a dot", [](DescriptionUnderTest& d) { d.presets[0].name = "a.b"; }},
    };
    for (const auto& [what, spoil] : spoilers) {
        DescriptionUnderTest spoiled;
        spoil(spoiled);
        EXPECT_NE(DescriptionFault(spoiled.description), "") << what;
    }
}

TEST(ParameterDescription, ALaterLayoutIsReadByItsStructSizesAndAnUnreadableOneRefused) {
    // A later version's structs, each grown by fields this program does not know.
    struct LaterParameter {
        ZarevoParameter known;
        double later[3];
    };
    struct LaterPreset {
        ZarevoPreset known;
        const char* later;
    };
    const double values[2] = {0.25, 1};
    const LaterParameter parameters[2] = {
        {{"Level", "a level", ZAREVO_PARAMETER_REAL, -1.0, 1.0, 0.0, Zero, Ignore}, {9, 9, 9}},
        {{"On", nullptr, ZAREVO_PARAMETER_SWITCH, 0, 1, 1, Zero, Ignore}, {}},
    };
    const LaterPreset presets[2] = {{{"first", nullptr, values}, "x"}, {{"second", "text", values}, nullptr}};
    const ZarevoParameterDescription later{
        4, 2, &parameters[0].known, 2, &presets[0].known, sizeof(LaterParameter), sizeof(LaterPreset)};
    EXPECT_EQ(DescriptionFault(later), "");
    DescriptionCopy copy;
    ASSERT_EQ(copy.ReadFrom(later), "");
    const ZarevoParameterDescription& read = copy.Description();
    ASSERT_EQ(read.parameterCount, 2);
    EXPECT_STREQ(read.parameters[1].name, "On");
    EXPECT_EQ(read.parameters[1].set, &Ignore);
    EXPECT_STREQ(read.presets[1].description, "text");
    // Smaller than this program's struct, misaligned, huge: refused.
    for (const int spoiledSize : {later.parameterSize - 40, later.parameterSize + 4, 1 << 20}) {
        ZarevoParameterDescription spoiled = later;
        spoiled.parameterSize = spoiledSize;
        EXPECT_NE(copy.ReadFrom(spoiled), "") << spoiledSize;
        EXPECT_EQ(copy.Description().parameterCount, 0);
    }
}
