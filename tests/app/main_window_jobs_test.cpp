// Playing and saving through the window as a user does: the failure messages,
// a whole save, an interrupted save, the buttons while jobs run, Japanese file
// names, and closing the window in the middle of a job.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QRegularExpression>
#include <cmath>
#include <chrono>
#include <memory>
#include <thread>

#include "app_test_support.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "wave_file.h"

namespace {

using apptest::MessageRecorder;
using apptest::ScratchFolder;

QPushButton* Button(CMainDialog& window, int id) { return qobject_cast<QPushButton*>(window.Control(id)); }
void SetField(CMainDialog& window, int id, const QString& text) {
    qobject_cast<QLineEdit*>(window.Control(id))->setText(text);
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr long kBlock = 65536;

/// A stereo 16-bit source at 22050 Hz (the default save rate): left 0.25,
/// right -0.5, so every frame is known exactly.
void WriteConstantSource(const QString& path, long frames) {
    apptest::WriteTestWav(path, 22050, 2, 16, frames, [](long, int channel) { return channel == 0 ? 0.25 : -0.5; });
}

/// A long mono 8-bit source; with the slow test plug-in each block takes 40 ms.
void WriteLongSource(const QString& path, long blocks) {
    apptest::WriteTestWav(path, 22050, 1, 8, blocks * kBlock, [](long frame, int) { return (frame % 100) / 200.0; });
}

/// The whole percentage in a running job's button text, or -1 if the text is not one.
int PercentIn(const QString& text, const char* format) {
    const QStringList parts = QString::fromUtf8(format).split(QStringLiteral("%1"));
    const QString pattern = QRegularExpression::escape(parts.value(0)) + QStringLiteral("(\\d+)") +
                            QRegularExpression::escape(parts.value(1));
    const QRegularExpressionMatch match = QRegularExpression(u'^' + pattern + u'$').match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void ExpectIdleControls(CMainDialog& window) {
    EXPECT_EQ(window.CurrentJobState(), JOB_IDLE);
    EXPECT_EQ(Button(window, IDC_PLAY)->text(), Text(mainwindow::kPlay));
    EXPECT_EQ(Button(window, IDC_SAVE)->text(), Text(mainwindow::kSave));
    for (int id : {IDC_SOURCE_PATH, IDC_BROWSE_SOURCE, IDC_PLAY, IDC_PLAYBACK_SETTINGS, IDC_OUTPUT_PATH,
                   IDC_BROWSE_OUTPUT, IDC_SAVE, IDC_SAVE_FORMAT}) {
        EXPECT_TRUE(window.Control(id)->isEnabled()) << id;
    }
}

}  // namespace

/// A window without plug-ins, with a folder for its files.
struct IdleWindow : ::testing::Test {
    ScratchFolder plugins;
    ScratchFolder files;
    MessageRecorder messages;
    std::unique_ptr<CMainDialog> window = apptest::OpenWindow(plugins.Path(), messages);
};

TEST(WindowJobs, EmptySourceFailsToOpenForPlayAndSave) {
    ScratchFolder plugins;
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    Button(*window, IDC_PLAY)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kOpenPlayFailed)});
    ExpectIdleControls(*window);
    messages.Clear();
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kOpenSaveFailed)});
    ExpectIdleControls(*window);
}

TEST_F(IdleWindow, SourceWithoutOutputPathFailsToStartSave) {
    WriteConstantSource(files.File("source.wav"), 1000);
    SetField(*window, IDC_SOURCE_PATH, files.File("source.wav"));
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kStartSaveFailed)});
    ExpectIdleControls(*window);
}

TEST_F(IdleWindow, SavingOverTheSourceIsRefusedAndKeepsIt) {
    const QString source = files.File("source.wav");
    WriteConstantSource(source, 1000);
    SetField(*window, IDC_SOURCE_PATH, source);
    SetField(*window, IDC_OUTPUT_PATH, source);
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kStartSaveFailed)});
    const apptest::WavContents kept = apptest::ReadTestWav(source);
    ASSERT_TRUE(kept.opened);
    EXPECT_EQ(kept.frames, 1000);
    ExpectIdleControls(*window);
}

TEST_F(IdleWindow, WholeSaveEndsInConversionFinishedWithValidFile) {
    // Japanese names in both fields, as typed or dropped.
    const QString source = files.File("入力の音声.wav");
    const QString output = files.File("保存した音声.wav");
    WriteConstantSource(source, 30000);
    SetField(*window, IDC_SOURCE_PATH, source);
    SetField(*window, IDC_OUTPUT_PATH, output);
    Button(*window, IDC_SAVE)->click();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kConversionFinished)});
    ExpectIdleControls(*window);

    const apptest::WavContents saved = apptest::ReadTestWav(output);
    ASSERT_TRUE(saved.opened);
    EXPECT_EQ(saved.rate, 22050);
    EXPECT_EQ(saved.channels, 2);
    // The source's 30000 frames, without the silence that pads its block.
    ASSERT_EQ(saved.frames, 30000);
    EXPECT_NEAR(saved.samples[0], 0.25, 1e-4);
    EXPECT_NEAR(saved.samples[1], -0.5, 1e-4);
    EXPECT_NEAR(saved.samples[2 * 29999], 0.25, 1e-4);
    EXPECT_NEAR(saved.samples.back(), -0.5, 1e-4);
}

TEST_F(IdleWindow, ARateTheOutputsFormatCannotHoldIsRefusedBeforeTheSave) {
    const QString source = files.File("source.wav");
    WriteConstantSource(source, 1000);
    SetField(*window, IDC_SOURCE_PATH, source);
    // 22050 Hz, the default, is no Opus rate: refused before anything is written.
    SetField(*window, IDC_OUTPUT_PATH, files.File("song.opus"));
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kRateNotHeldFormat)
                                                .arg(QStringLiteral("Opus"), QStringLiteral("22050"),
                                                     QStringLiteral("8000, 12000, 16000, 24000, 48000"))});
    EXPECT_EQ(QDir(QString::fromStdString(files.Path().string())).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("source.wav")});
    ExpectIdleControls(*window);
}

TEST(WindowJobs, InterruptDuringSaveLeavesShorterValidFile) {
    ScratchFolder plugins;
    ScratchFolder files;
    apptest::LinkTestPlugins(plugins.Path(), {"Zarevo_slow.so"});
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    const long blocks = 60;
    WriteLongSource(files.File("long.wav"), blocks);
    SetField(*window, IDC_SOURCE_PATH, files.File("long.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    Button(*window, IDC_SAVE)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_SAVING);
    const int startPercent = PercentIn(Button(*window, IDC_SAVE)->text(), mainwindow::kInterruptSaveFormat);
    EXPECT_GE(startPercent, 0);
    // While saving only the interrupt button stays enabled.
    EXPECT_TRUE(Button(*window, IDC_SAVE)->isEnabled());
    for (int id : {IDC_PLAY, IDC_SOURCE_PATH, IDC_BROWSE_SOURCE, IDC_PLAYBACK_SETTINGS, IDC_OUTPUT_PATH,
                   IDC_BROWSE_OUTPUT, IDC_SAVE_FORMAT}) {
        EXPECT_FALSE(window->Control(id)->isEnabled()) << id;
    }
    // The one-second timer brings the progress into the button text.
    ASSERT_TRUE(apptest::WaitUntil(
        [&] { return PercentIn(Button(*window, IDC_SAVE)->text(), mainwindow::kInterruptSaveFormat) > startPercent; },
        3000));
    EXPECT_LT(PercentIn(Button(*window, IDC_SAVE)->text(), mainwindow::kInterruptSaveFormat), 100);

    EXPECT_TRUE(messages.Texts().isEmpty());

    // A file dropped meanwhile changes the field only; the job keeps its paths.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(files.File("次の曲.wav"))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(static_cast<QLineEdit*>(window->Control(IDC_SOURCE_PATH))->text(), files.File("次の曲.wav"));
    EXPECT_EQ(window->CurrentJobState(), JOB_SAVING);

    Button(*window, IDC_SAVE)->click();  // Interrupt
    ExpectIdleControls(*window);
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kConversionInterrupted)});

    const apptest::WavContents saved = apptest::ReadTestWav(files.File("out.wav"));
    ASSERT_TRUE(saved.opened);
    EXPECT_GT(saved.frames, 0);
    EXPECT_LT(saved.frames, blocks * kBlock);
    EXPECT_EQ(saved.frames % kBlock, 0);  // whole blocks only
    EXPECT_EQ(std::filesystem::file_size(files.Path() / "out.wav"),
              44u + static_cast<std::uintmax_t>(saved.frames) * 4);
}

TEST_F(IdleWindow, PlayingShowsProgressAndEndsByItself) {
    // One block of a 192 kHz source lasts a third of a second.
    apptest::WriteTestWav(files.File("short.wav"), 192000, 1, 16, 20000, [](long, int) { return 0.1; });
    SetField(*window, IDC_SOURCE_PATH, files.File("short.wav"));
    Button(*window, IDC_PLAY)->click();
    ASSERT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING);
    EXPECT_GE(PercentIn(Button(*window, IDC_PLAY)->text(), mainwindow::kStopPlayFormat), 0);
    EXPECT_FALSE(Button(*window, IDC_SAVE)->isEnabled());
    EXPECT_FALSE(window->Control(IDC_SOURCE_PATH)->isEnabled());

    ASSERT_TRUE(apptest::WaitUntil([&] { return window->CurrentJobState() == JOB_IDLE; }));
    ExpectIdleControls(*window);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(IdleWindow, SecondPressStopsPlayback) {
    WriteLongSource(files.File("long.wav"), 8);
    SetField(*window, IDC_SOURCE_PATH, files.File("long.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("never.wav"));
    Button(*window, IDC_PLAY)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING);

    EXPECT_FALSE(Button(*window, IDC_SAVE)->isEnabled());
    EXPECT_TRUE(Button(*window, IDC_PLAY)->isEnabled());

    Button(*window, IDC_PLAY)->click();
    ExpectIdleControls(*window);
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
    EXPECT_FALSE(std::filesystem::exists(files.Path() / "never.wav"));
}

TEST(WindowJobs, ClosingDuringSaveStopsTheJobFirstAndAsksNothing) {
    ScratchFolder plugins;
    ScratchFolder files;
    apptest::LinkTestPlugins(plugins.Path(), {"Zarevo_slow.so"});
    const auto log = apptest::StartPluginLog(files.Path());
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    WriteLongSource(files.File("long.wav"), 60);
    SetField(*window, IDC_SOURCE_PATH, files.File("long.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    Button(*window, IDC_SAVE)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_SAVING);

    window.reset();
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
    // Stop, then the job's end, then the panel, in that order.
    const std::vector<std::string> calls = apptest::ReadPluginLog(log);
    const std::vector<std::string> expected = {"slow Start_Dialog", "slow Constructer", "slow EffectStop",
                                               "slow Destructer",   "slow End_Dialog",  "slow panel_destroyed"};
    EXPECT_EQ(calls, expected);
    const apptest::WavContents saved = apptest::ReadTestWav(files.File("out.wav"));
    ASSERT_TRUE(saved.opened);
    EXPECT_LT(saved.frames, 60 * kBlock);
    EXPECT_EQ(saved.frames % kBlock, 0);
}

TEST_F(IdleWindow, StopMeetingPlaybacksOwnEndIsNoFailure) {
    apptest::WriteTestWav(files.File("short.wav"), 192000, 1, 16, 20000, [](long, int) { return 0.1; });
    SetField(*window, IDC_SOURCE_PATH, files.File("short.wav"));
    Button(*window, IDC_PLAY)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING);
    // Playback ends on the worker while the window handles no events, so its
    // end message waits in the queue when Stop is pressed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (window->Engine()->State() != WS_IDLE && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(window->Engine()->State(), WS_IDLE);
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING) << "the end message was handled before Stop";
    Button(*window, IDC_PLAY)->click();
    ExpectIdleControls(*window);
    // The end message that was on its way finds the window idle and says nothing.
    apptest::WaitUntil([] { return false; }, 200);
    ExpectIdleControls(*window);
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
}

TEST_F(IdleWindow, InterruptMeetingTheSavesOwnEndReportsCompletion) {
    WriteConstantSource(files.File("in.wav"), 1000);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    Button(*window, IDC_SAVE)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_SAVING);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the one-block save is done by now
    Button(*window, IDC_SAVE)->click();
    ExpectIdleControls(*window);
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kConversionFinished)});
    EXPECT_EQ(apptest::ReadTestWav(files.File("out.wav")).frames, 1000);
}
