// Tests of binding the processing entry points of plug-in modules by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "plugin_binding.h"
#include "support/test_env.h"

namespace {

TEST(PluginBinding, BindsTheFourEntryPointsOfEachModuleByNameInOrder) {
    TempDir dir;
    TestPlugin a("passthrough", &dir, "a");
    TestPlugin b("length_changer");
    const std::vector<void*> modules = {a.Handle(), b.Handle()};
    PluginEntryLists lists;
    ASSERT_TRUE(BindPluginEntries(modules, lists));
    ASSERT_EQ(lists.process.size(), 2u);
    for (std::size_t i = 0; i < modules.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<void*>(lists.stop[i]), dlsym(modules[i], "EffectStop"));
        EXPECT_EQ(reinterpret_cast<void*>(lists.constructer[i]), dlsym(modules[i], "Constructer"));
        EXPECT_EQ(reinterpret_cast<void*>(lists.destructer[i]), dlsym(modules[i], "Destructer"));
        EXPECT_EQ(reinterpret_cast<void*>(lists.process[i]), dlsym(modules[i], "EffectEnt"));
    }
    EXPECT_NE(lists.process[0], lists.process[1]);
}

TEST(PluginBinding, AModuleMissingAnEntryPointRefusesTheWholeList) {
    TestPlugin good("passthrough");
    TestPlugin lacking("missing_stop");
    PluginEntryLists lists;
    ASSERT_TRUE(BindPluginEntries(std::vector<void*>{good.Handle()}, lists));
    EXPECT_FALSE(BindPluginEntries(std::vector<void*>{good.Handle(), lacking.Handle()}, lists));
    EXPECT_TRUE(lists.stop.empty());
    EXPECT_TRUE(lists.constructer.empty());
    EXPECT_TRUE(lists.destructer.empty());
    EXPECT_TRUE(lists.process.empty());
}

TEST(PluginBinding, NoModulesGiveEmptyLists) {
    PluginEntryLists lists;
    EXPECT_TRUE(BindPluginEntries({}, lists));
    EXPECT_TRUE(lists.process.empty());
}

}  // namespace
