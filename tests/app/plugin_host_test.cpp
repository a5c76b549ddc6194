// The window's side of the plug-ins: a plug-in that throws from Start_Dialog
// gets no tab and no place in the chain, one that throws from End_Dialog does
// not keep the others from ending, and both only leave a line on stderr.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>

#include "app_test_support.h"
#include "main_dialog.h"

TEST(PluginHost, PanelEntriesThatThrowAreReportedAndSurvived) {
    apptest::ScratchFolder plugins;
    apptest::ScratchFolder files;
    apptest::LinkTestPlugins(plugins.Path(),
                             {"Zarevo_a.so", "Zarevo_throws_start.so", "Zarevo_b.so", "Zarevo_throws_end.so"},
                             {"Zarevo_a.so", "Zarevo_a_start.so", "Zarevo_b.so", "Zarevo_c.so"});
    const auto log = apptest::StartPluginLog(files.Path());
    apptest::MessageRecorder messages;

    testing::internal::CaptureStderr();
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    const std::string startErrors = testing::internal::GetCapturedStderr();
    QStringList captions;
    for (int i = 0; i < window->EffectTabs()->count(); ++i) captions << window->EffectTabs()->tabText(i);
    EXPECT_EQ(captions, (QStringList{"a", "b", "c"}));
    EXPECT_EQ(window->Plugins().Modules().size(), 3u);
    EXPECT_NE(startErrors.find("Zarevo_a_start.so skipped: Start_Dialog threw: panel refused\n"), std::string::npos)
        << startErrors;
    // The refused plug-in's half-made panel does not show over the window.
    window->show();
    int leftBehind = 0;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text() != QStringLiteral("left behind") || label == window->Plugins().Page(2)) continue;
        ++leftBehind;
        EXPECT_FALSE(label->isVisible());
    }
    EXPECT_EQ(leftBehind, 1);

    // Closing deletes the widget the refused plug-in left behind: its library
    // must still be loaded then.
    testing::internal::CaptureStderr();
    window.reset();
    const std::string endErrors = testing::internal::GetCapturedStderr();
    EXPECT_NE(endErrors.find("Zarevo_c.so: End_Dialog threw: panel will not go\n"), std::string::npos) << endErrors;
    const std::vector<std::string> calls = apptest::ReadPluginLog(log);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "b End_Dialog"), calls.end());
    EXPECT_TRUE(messages.Texts().isEmpty());
}
