// The save format chosen in its dialog reaches the next save job: the file the
// window writes afterwards has the chosen rate, channel count and width, as
// libsndfile reads it.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app_test_support.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "save_format_dialog.h"

TEST(SettingsNextJob, SaveAfterChoosingMono8Bit11025WritesThatFormat) {
    apptest::ScratchFolder plugins;
    apptest::ScratchFolder files;
    apptest::MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);

    CSaveFormatDialog dialog(window.get());
    dialog.LoadFrom(window->Format());
    dialog.show();
    for (int id : {IDC_SAVE_MONO, IDC_SAVE_8BIT, IDC_SAVE_RATE_11025}) {
        static_cast<QRadioButton*>(dialog.Control(id))->click();
    }
    dialog.StoreInto(window->Format());
    dialog.close();

    const QString source = files.File("source.wav");
    const QString output = files.File("output.wav");
    apptest::WriteTestWav(source, 44100, 2, 16, 20000, [](long, int channel) { return channel == 0 ? 0.5 : 0.25; });
    static_cast<QLineEdit*>(window->Control(IDC_SOURCE_PATH))->setText(source);
    static_cast<QLineEdit*>(window->Control(IDC_OUTPUT_PATH))->setText(output);
    static_cast<QPushButton*>(window->Control(IDC_SAVE))->click();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));

    SF_INFO info{};
    SNDFILE* file = sf_open(output.toUtf8().constData(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.samplerate, 11025);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_U8);
    // The source's 20000 frames at a quarter of its rate.
    EXPECT_EQ(info.frames, 5000);
    double first = 0.0;
    ASSERT_EQ(sf_read_double(file, &first, 1), 1);
    // The mono mix is the mean of the two channels: (0.5 + 0.25) / 2.
    EXPECT_NEAR(first, 0.375, 1.0 / 128);
    sf_close(file);
}
