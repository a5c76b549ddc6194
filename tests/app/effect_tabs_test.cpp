// The effect tabs: which libraries become tabs and in what order, the panel
// each tab shows, where the panels sit, the chain order of a save, and the
// order in which the plug-ins are ended at shut-down.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "playback_device_dialog.h"
#include "save_format_dialog.h"

namespace {

using apptest::MessageRecorder;
using apptest::ScratchFolder;

/// A plug-in folder, a folder for sound files, and the window opened on the
/// plug-ins, with every message it shows recorded.
class EffectTabs : public ::testing::Test {
protected:
    /// Opens the window on the built test plug-ins `builtNames`, linked under
    /// the names of `linkNames` when given.
    void OpenWith(const std::vector<std::string>& builtNames, const std::vector<std::string>& linkNames = {}) {
        apptest::LinkTestPlugins(plugins.Path(), builtNames, linkNames);
        window = apptest::OpenWindow(plugins.Path(), messages);
    }

    /// Opens the window on the two plug-ins the program ships.
    void OpenWithShippedPlugins() {
        for (const char* name : {"Zarevo_original.so", "Zarevo_sample.so"}) {
            const std::filesystem::path built = std::filesystem::path(ZAREVO_PLUGIN_OUTPUT_DIR) / name;
            ASSERT_TRUE(std::filesystem::exists(built)) << built;
            std::filesystem::create_symlink(built, plugins.Path() / name);
        }
        window = apptest::OpenWindow(plugins.Path(), messages);
    }

    QStringList TabCaptions() const {
        QStringList captions;
        for (int i = 0; i < window->EffectTabs()->count(); ++i) captions << window->EffectTabs()->tabText(i);
        return captions;
    }

    /// Names of the panels that are shown, in tab order.
    QStringList VisiblePanels() const {
        QStringList visible;
        for (std::size_t i = 0; i < window->Plugins().Count(); ++i) {
            QWidget* page = window->Plugins().Page(i);
            if (page && page->isVisible()) visible << page->objectName();
        }
        return visible;
    }

    /// Saves the sound file `source` of the files folder through the window
    /// as `output` there, expects the finished message within `timeoutMs`,
    /// and reads the saved file back.
    apptest::WavContents Save(const char* source, const char* output, int timeoutMs = 20000) {
        static_cast<QLineEdit*>(window->Control(IDC_SOURCE_PATH))->setText(files.File(source));
        static_cast<QLineEdit*>(window->Control(IDC_OUTPUT_PATH))->setText(files.File(output));
        static_cast<QPushButton*>(window->Control(IDC_SAVE))->click();
        EXPECT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }, timeoutMs));
        EXPECT_EQ(messages.Texts(), QStringList{QString::fromUtf8(messages::kConversionFinished)});
        return apptest::ReadTestWav(files.File(output));
    }

    /// Saves a stereo source of `level` everywhere through the plug-in chain
    /// and returns the first saved sample.
    double SaveThroughChain(double level) {
        apptest::WriteTestWav(files.File("in.wav"), 22050, 2, 16, 1000, [level](long, int) { return level; });
        const apptest::WavContents saved = Save("in.wav", "out.wav");
        EXPECT_TRUE(saved.opened);
        return saved.samples.empty() ? -99.0 : saved.samples[0];
    }

    ScratchFolder plugins;
    ScratchFolder files;
    MessageRecorder messages;
    std::unique_ptr<CMainDialog> window;
};

}  // namespace

TEST_F(EffectTabs, TabsFollowByteOrderOfFileNames) {
    // Linked in reverse, so the directory's own order cannot pass for sorting.
    OpenWith({"Zarevo_b.so", "Zarevo_a.so", "Zarevo_Z.so"});
    EXPECT_EQ(TabCaptions(), (QStringList{"Z", "a", "b"}));
    ASSERT_EQ(window->Plugins().Count(), 3u);
    EXPECT_EQ(window->Plugins().Modules().size(), 3u);
    EXPECT_EQ(window->EffectTabs()->currentIndex(), 0);
}

TEST_F(EffectTabs, EachTabShowsItsOwnPanelOnly) {
    OpenWith({"Zarevo_a.so", "Zarevo_b.so", "Zarevo_Z.so"});
    window->show();
    EXPECT_EQ(VisiblePanels(), QStringList{"panel_Z"});
    window->EffectTabs()->setCurrentIndex(2);
    EXPECT_EQ(VisiblePanels(), QStringList{"panel_b"});
    window->EffectTabs()->setCurrentIndex(1);
    EXPECT_EQ(VisiblePanels(), QStringList{"panel_a"});
    // Every panel is a child of the window itself, not of the tab control.
    for (std::size_t i = 0; i < window->Plugins().Count(); ++i) {
        EXPECT_EQ(window->Plugins().Page(i)->parentWidget(), window.get());
    }
}

TEST_F(EffectTabs, PanelsCoverThePageAreaBelowTheTabStrip) {
    OpenWith({"Zarevo_a.so", "Zarevo_b.so"});
    window->show();
    QApplication::processEvents();
    QTabWidget* tabs = window->EffectTabs();
    const QRect tabControl = tabs->geometry();
    const QRect strip(tabs->tabBar()->mapTo(window.get(), QPoint(0, 0)), tabs->tabBar()->size());
    for (std::size_t i = 0; i < window->Plugins().Count(); ++i) {
        const QRect panel = window->Plugins().Page(i)->geometry();
        SCOPED_TRACE(i);
        EXPECT_TRUE(tabControl.contains(panel)) << panel.x() << "," << panel.y();
        EXPECT_FALSE(panel.intersects(strip));
        // Most of the tab control is the panel's: nothing but the strip and the frame is left.
        EXPECT_GT(panel.height(), tabControl.height() - strip.height() - 12);
        EXPECT_GT(panel.width(), tabControl.width() - 12);
    }
    // Both panels sit in the very same place.
    EXPECT_EQ(window->Plugins().Page(0)->geometry(), window->Plugins().Page(1)->geometry());
}

TEST_F(EffectTabs, LibraryWithoutStartDialogIsSkippedBetweenValidOnes) {
    OpenWith({"Zarevo_a.so", "Zarevo_nostart.so", "Zarevo_b.so"},
             {"Zarevo_a.so", "Zarevo_a_nostart.so", "Zarevo_b.so"});
    EXPECT_EQ(TabCaptions(), (QStringList{"a", "b"}));
    ASSERT_EQ(window->Plugins().Count(), 2u);
    EXPECT_EQ(window->Plugins().Page(0)->objectName(), QStringLiteral("panel_a"));
    EXPECT_EQ(window->Plugins().Page(1)->objectName(), QStringLiteral("panel_b"));
    // The skipped library's EffectEnt (silence) takes no place in the chain:
    // silence + 0.25 through a, then doubled through b.
    EXPECT_NEAR(SaveThroughChain(0.0), 0.5, 1e-4);
}

TEST_F(EffectTabs, ChainRunsInTabOrder) {
    OpenWith({"Zarevo_a.so", "Zarevo_Z.so"});
    ASSERT_EQ(TabCaptions(), (QStringList{"Z", "a"}));
    // Z halves, then a adds 0.25: 0.5 -> 0.5; the other order would give 0.375.
    EXPECT_NEAR(SaveThroughChain(0.5), 0.5, 1e-4);
}

TEST_F(EffectTabs, LibraryLackingAProcessingEntryIsRefused) {
    OpenWith({"Zarevo_a.so", "Zarevo_noeffect.so"});
    EXPECT_EQ(TabCaptions(), QStringList{"a"});
    EXPECT_EQ(window->Plugins().Modules().size(), 1u);
    EXPECT_NEAR(SaveThroughChain(0.0), 0.25, 1e-4);
}

TEST_F(EffectTabs, NoPluginsLeaveTabsEmptyAndPassSoundThrough) {
    OpenWith({});
    EXPECT_EQ(window->EffectTabs()->count(), 0);
    EXPECT_NEAR(SaveThroughChain(0.5), 0.5, 1e-4);
}

TEST_F(EffectTabs, ShutDownEndsPanelsInOrderBeforeUnloading) {
    const auto log = apptest::StartPluginLog(files.Path());
    OpenWith({"Zarevo_a.so", "Zarevo_b.so", "Zarevo_noend.so"});
    ASSERT_EQ(TabCaptions(), (QStringList{"a", "b", "noend"}));
    window.reset();
    // The library without End_Dialog is kept, its call skipped, and its panel
    // deleted by the window while its code is still loaded.
    const std::vector<std::string> expected = {"a Start_Dialog",    "b Start_Dialog",       "noend Start_Dialog",
                                               "a End_Dialog",      "a panel_destroyed",    "b End_Dialog",
                                               "b panel_destroyed", "noend panel_destroyed"};
    EXPECT_EQ(apptest::ReadPluginLog(log), expected);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(EffectTabs, ShippedPluginsGiveOriginalThenSample) {
    OpenWithShippedPlugins();
    EXPECT_EQ(TabCaptions(), (QStringList{"original", "sample"}));
    EXPECT_EQ(window->EffectTabs()->currentIndex(), 0);
}

TEST_F(EffectTabs, SaveWithAPresetOfTheStandardPluginFinishes) {
    OpenWithShippedPlugins();
    ASSERT_EQ(window->Plugins().Count(), 2u);
    QWidget* original = window->Plugins().Page(0);
    ASSERT_NE(original, nullptr);
    QPushButton* preset = nullptr;
    for (QPushButton* button : original->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("速聴き")) preset = button;
    }
    ASSERT_NE(preset, nullptr);
    preset->click();
    // A 441 Hz tone, two blocks long, through the whole chain.
    apptest::WriteTestWav(files.File("tone.wav"), 22050, 2, 16, 2 * 65536,
                          [](long frame, int) { return 0.5 * std::sin(2 * M_PI * 441.0 * frame / 22050.0); });
    const apptest::WavContents saved = Save("tone.wav", "速聴き.wav", 60000);
    ASSERT_TRUE(saved.opened);
    EXPECT_EQ(saved.rate, 22050);
    EXPECT_EQ(saved.channels, 2);
    EXPECT_GT(saved.frames, 0);
    double energy = 0;
    for (double sample : saved.samples) energy += sample * sample;
    EXPECT_GT(energy, 0.0);  // the effect gives sound, not silence
}

// A screen reader finds every control of the window, of both shipped panels
// and of the two settings dialogs by a name: its text or its label's.
TEST_F(EffectTabs, NoControlLacksAnAccessibleName) {
    OpenWithShippedPlugins();
    ASSERT_EQ(window->Plugins().Count(), 2u);
    CSaveFormatDialog saveFormat;
    CPlaybackDeviceDialog playback([] { return std::vector<std::string>{"device"}; });
    std::vector<QWidget*> containers{window.get(), window->Plugins().Page(0), window->Plugins().Page(1), &saveFormat,
                                     &playback};
    int controls = 0;
    for (QWidget* container : containers) {
        ASSERT_NE(container, nullptr);
        for (QWidget* control : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const bool isControl = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                                   qobject_cast<QAbstractSlider*>(control) || qobject_cast<QComboBox*>(control) ||
                                   qobject_cast<QTabWidget*>(control);
            if (!isControl) continue;
            ++controls;
            EXPECT_FALSE(control->accessibleName().isEmpty())
                << control->metaObject()->className() << " " << control->objectName().toStdString() << " in "
                << container->windowTitle().toStdString();
        }
    }
    // 9 in the window, 25 in the standard panel, 1 in the sample panel, 11
    // and 13 in the dialogs: every control was looked at.
    EXPECT_EQ(controls, 9 + 25 + 1 + 11 + 13);
}
