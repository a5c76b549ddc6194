// Playing through a real PulseAudio server that each test starts itself,
// recording the sink's monitor: a played file arrives whole, from its first
// to its last sample, equal to what a save writes; a server that dies during
// a play ends the play with the device-lost message.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <memory>

#include "app_test_support.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "sound_server.h"
#include "wave_out.h"

namespace {

using apptest::MessageRecorder;
using apptest::ScratchFolder;

QPushButton* Button(CMainDialog& window, int id) { return static_cast<QPushButton*>(window.Control(id)); }
void SetField(CMainDialog& window, int id, const QString& text) {
    static_cast<QLineEdit*>(window.Control(id))->setText(text);
}

/// Stereo at the sink's own rate and width, so the server passes the
/// samples through unchanged; no frame is silent, so silence in a
/// recording is never part of the sound.
void WriteTone(const QString& path, long frames) {
    apptest::WriteTestWav(path, soundtest::kSinkRate, 2, 16, frames, [](long frame, int channel) {
        const double phase = 2 * M_PI * 441 * static_cast<double>(frame) / soundtest::kSinkRate;
        return channel == 0 ? 0.3 + 0.2 * std::sin(phase) : -0.25 + 0.1 * std::cos(phase);
    });
}

std::vector<std::int16_t> WithoutSilentFrames(const std::vector<std::int16_t>& samples) {
    std::vector<std::int16_t> kept;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        if (samples[i] != 0 || samples[i + 1] != 0) kept.insert(kept.end(), {samples[i], samples[i + 1]});
    }
    return kept;
}

class PulsePlayback : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<soundtest::PulseServer>(files_.Path() / "pulse");
        ASSERT_TRUE(server_->Ready()) << "pulseaudio did not start (scripts/install-deps.sh installs it)";
        server_->UseFromThisProcess();
        PrepareSoundServerBuffering();  // as the program does at start
        window_ = apptest::OpenWindow(plugins_.Path(), messages_);
        for (auto* format : {&window_->Playback().rateChoice, &window_->Format().rateChoice}) *format = RATE_44100;
        window_->Playback().channels = window_->Format().channels = 2;
        window_->Playback().bits = window_->Format().bits = 16;
    }
    void TearDown() override { window_.reset(); }

    ScratchFolder plugins_;
    ScratchFolder files_;
    MessageRecorder messages_;
    std::unique_ptr<soundtest::PulseServer> server_;
    std::unique_ptr<CMainDialog> window_;
};

}  // namespace

TEST_F(PulsePlayback, APlayedFileReachesTheSinkWholeAndEqualToTheSavedData) {
    WriteTone(files_.File("tone.wav"), 66150);  // 1.5 s
    SetField(*window_, IDC_SOURCE_PATH, files_.File("tone.wav"));
    SetField(*window_, IDC_OUTPUT_PATH, files_.File("saved.wav"));
    Button(*window_, IDC_SAVE)->click();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
    messages_.Clear();
    const apptest::WavContents saved = apptest::ReadTestWav(files_.File("saved.wav"));
    ASSERT_EQ(saved.frames, 66150);
    std::vector<std::int16_t> expected;
    for (double sample : saved.samples) expected.push_back(static_cast<std::int16_t>(std::lround(sample * 32768)));

    soundtest::MonitorRecorder recorder(*server_);
    Button(*window_, IDC_PLAY)->click();
    ASSERT_EQ(window_->CurrentJobState(), JOB_PLAYING);
    ASSERT_TRUE(apptest::WaitUntil([&] { return window_->CurrentJobState() == JOB_IDLE; }));
    apptest::WaitUntil([] { return false; }, 300);
    recorder.Stop();
    EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join(u'|').toStdString();

    // Every sample, in order, the last one included. (A gap while the
    // machine is busy only delays the sound; the script under scripts/
    // counts those.)
    const std::vector<std::int16_t> heard = WithoutSilentFrames(recorder.Samples());
    ASSERT_EQ(heard.size(), expected.size()) << "frames missing at the sink";
    EXPECT_TRUE(heard == expected);
}

TEST_F(PulsePlayback, AServerThatDiesDuringAPlayEndsItWithTheDeviceLostMessage) {
    WriteTone(files_.File("long.wav"), 10 * soundtest::kSinkRate);
    SetField(*window_, IDC_SOURCE_PATH, files_.File("long.wav"));
    soundtest::MonitorRecorder recorder(*server_);
    Button(*window_, IDC_PLAY)->click();
    ASSERT_EQ(window_->CurrentJobState(), JOB_PLAYING);
    ASSERT_TRUE(apptest::WaitUntil([&] {
        const std::vector<std::int16_t> samples = recorder.Samples();
        return soundtest::FirstSoundingFrame(samples) < samples.size() / 2;
    }));
    server_->Kill();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages_.Texts().isEmpty(); }, 5000)) << "the play never ended";
    EXPECT_EQ(messages_.Texts(), QStringList{QString::fromUtf8(messages::kDeviceLost)});
    EXPECT_EQ(window_->CurrentJobState(), JOB_IDLE);
    EXPECT_EQ(Button(*window_, IDC_PLAY)->text(), QString::fromUtf8(mainwindow::kPlay));
    EXPECT_TRUE(Button(*window_, IDC_SAVE)->isEnabled());
}
