// Tests of the playback device dialog: the device list and the automatic box,
// the stored device position, the format groups it shares with the save
// format dialog, and that only OK writes the settings back. The QApplication
// comes from the app tests' support.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "playback_device_dialog.h"
#include "save_format_dialog.h"

namespace {

using apptest::Focus;
using apptest::PressKey;

const std::vector<std::string> kThreeDevices{"Built-in Audio", "USB ヘッドホン", "HDMI 2"};

DeviceNameSource Devices(std::vector<std::string> names) {
    return [names] { return names; };
}

class PlaybackDeviceDialog : public ::testing::Test {
protected:
    static QAbstractButton* Button(const CPlaybackDeviceDialog& dialog, int id) {
        auto* button = qobject_cast<QAbstractButton*>(dialog.Control(id));
        EXPECT_NE(button, nullptr) << id;
        return button;
    }
    static QCheckBox* AutomaticBox(const CPlaybackDeviceDialog& dialog) {
        return qobject_cast<QCheckBox*>(dialog.Control(IDC_PLAY_AUTOMATIC));
    }
    static QComboBox* DeviceList(const CPlaybackDeviceDialog& dialog) {
        return qobject_cast<QComboBox*>(dialog.Control(IDC_PLAY_DEVICE_LIST));
    }
    static QLineEdit* CustomField(const CPlaybackDeviceDialog& dialog) {
        return qobject_cast<QLineEdit*>(dialog.Control(IDC_PLAY_CUSTOM_RATE));
    }
    static std::vector<int> CheckedRadios(const CPlaybackDeviceDialog& dialog) {
        return apptest::CheckedRadios(dialog, IDC_PLAY_RATE_44100, IDC_PLAY_16BIT);
    }
    /// Runs the dialog modally on `settings` with `names` as the devices,
    /// doing `act` on the open dialog, as button 1003 of the main window does.
    static bool EditWith(PlaybackSettings& settings, const std::vector<std::string>& names,
                         const std::function<void(CPlaybackDeviceDialog&)>& act) {
        return apptest::WithModalDialog<CPlaybackDeviceDialog>(
            [&] { return RunPlaybackDeviceDialog(nullptr, settings, Devices(names)); }, act);
    }
};

}  // namespace

TEST_F(PlaybackDeviceDialog, OpensWithTheDefaultsShown) {
    CPlaybackDeviceDialog dialog(Devices(kThreeDevices));
    dialog.LoadFrom(PlaybackSettings{});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("再生デバイスの設定"));
    EXPECT_EQ(CheckedRadios(dialog), (std::vector<int>{IDC_PLAY_RATE_22050, IDC_PLAY_STEREO, IDC_PLAY_16BIT}));
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("48000"));
    EXPECT_FALSE(CustomField(dialog)->isEnabled());
    EXPECT_TRUE(AutomaticBox(dialog)->isChecked());
    EXPECT_FALSE(DeviceList(dialog)->isEnabled());
    EXPECT_EQ(DeviceList(dialog)->currentIndex(), 0);
    EXPECT_EQ(dialog.automatic, 1);
    EXPECT_EQ(dialog.deviceIndex, 0);
}

TEST_F(PlaybackDeviceDialog, ListsTheDeviceNamesInOrderAtEveryOpening) {
    std::vector<std::string> names = kThreeDevices;
    int enumerations = 0;
    CPlaybackDeviceDialog dialog([&] {
        ++enumerations;
        return names;
    });
    dialog.show();
    EXPECT_EQ(enumerations, 1);
    EXPECT_EQ(dialog.DeviceCaps, kThreeDevices);
    ASSERT_EQ(DeviceList(dialog)->count(), 3);
    EXPECT_EQ(DeviceList(dialog)->itemText(1), QStringLiteral("USB ヘッドホン"));

    // A device unplugged between two runs is gone from the next list.
    dialog.hide();
    names.pop_back();
    dialog.show();
    EXPECT_EQ(enumerations, 2);
    EXPECT_EQ(dialog.DeviceCaps.size(), 2u);
    EXPECT_EQ(DeviceList(dialog)->count(), 2);
}

TEST_F(PlaybackDeviceDialog, InitialisationDoesNotReadItsOwnWrites) {
    // Writing the custom-rate text raises a change before the box and the list
    // are shown; were it read, automatic would become 0 and the index -1.
    CPlaybackDeviceDialog dialog(Devices(kThreeDevices));
    dialog.automatic = 1;
    dialog.deviceIndex = 2;
    dialog.customRate = 12345;
    dialog.show();
    EXPECT_EQ(dialog.automatic, 1);
    EXPECT_EQ(dialog.deviceIndex, 2);
    EXPECT_TRUE(AutomaticBox(dialog)->isChecked());
    EXPECT_EQ(DeviceList(dialog)->currentIndex(), 2);
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("12345"));
}

TEST_F(PlaybackDeviceDialog, ChosenDeviceIsStoredAndShownAgain) {
    PlaybackSettings settings;
    EXPECT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        AutomaticBox(dialog)->click();
        EXPECT_TRUE(DeviceList(dialog)->isEnabled());
        EXPECT_EQ(dialog.automatic, 0);
        DeviceList(dialog)->setCurrentIndex(2);
        EXPECT_EQ(dialog.deviceIndex, 2);
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.device, 2);

    EXPECT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        EXPECT_FALSE(AutomaticBox(dialog)->isChecked());
        EXPECT_TRUE(DeviceList(dialog)->isEnabled());
        EXPECT_EQ(DeviceList(dialog)->currentIndex(), 2);
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.device, 2);
}

TEST_F(PlaybackDeviceDialog, FirstDeviceIsAPositionNotAutomatic) {
    PlaybackSettings settings;
    settings.device = 0;
    EXPECT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        EXPECT_FALSE(AutomaticBox(dialog)->isChecked());
        EXPECT_EQ(DeviceList(dialog)->currentIndex(), 0);
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.device, 0);
}

TEST_F(PlaybackDeviceDialog, ClearingTheBoxWithAnEmptyListStoresAutomatic) {
    PlaybackSettings settings;
    EXPECT_TRUE(EditWith(settings, {}, [](CPlaybackDeviceDialog& dialog) {
        EXPECT_EQ(DeviceList(dialog)->count(), 0);
        AutomaticBox(dialog)->click();
        EXPECT_EQ(dialog.automatic, 0);
        EXPECT_EQ(dialog.deviceIndex, -1);
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.device, -1);

    EXPECT_FALSE(EditWith(settings, {}, [](CPlaybackDeviceDialog& dialog) {
        EXPECT_TRUE(AutomaticBox(dialog)->isChecked());
        EXPECT_FALSE(DeviceList(dialog)->isEnabled());
    }));
}

TEST_F(PlaybackDeviceDialog, StoredDeviceBeyondTheListSelectsNothing) {
    PlaybackSettings settings;
    settings.device = 5;
    CPlaybackDeviceDialog dialog(Devices(kThreeDevices));
    dialog.LoadFrom(settings);
    dialog.show();
    EXPECT_FALSE(AutomaticBox(dialog)->isChecked());
    EXPECT_EQ(DeviceList(dialog)->currentIndex(), -1);
    // Any click reads the empty selection.
    Button(dialog, IDC_PLAY_MONO)->click();
    EXPECT_EQ(dialog.deviceIndex, -1);
}

TEST_F(PlaybackDeviceDialog, TickingTheBoxAgainKeepsTheSelectionButStoresAutomatic) {
    PlaybackSettings settings;
    settings.device = 1;
    EXPECT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        AutomaticBox(dialog)->click();
        EXPECT_FALSE(DeviceList(dialog)->isEnabled());
        EXPECT_EQ(DeviceList(dialog)->currentIndex(), 1);
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.device, -1);
}

TEST_F(PlaybackDeviceDialog, CustomRateOf8000IsWhatTheNextPlayIsPreparedWith) {
    PlaybackSettings settings;
    settings.device = 1;
    EXPECT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        Button(dialog, IDC_PLAY_RATE_CUSTOM)->click();
        EXPECT_TRUE(CustomField(dialog)->isEnabled());
        CustomField(dialog)->selectAll();
        CustomField(dialog)->insert(QStringLiteral("8000"));
        Button(dialog, 1)->click();
    }));
    EXPECT_EQ(settings.rateChoice, RATE_CUSTOM);
    EXPECT_EQ(settings.customRate, 8000);
    EXPECT_EQ(ResolveRate(settings), 8000);
    EXPECT_EQ(settings.channels, 2);
    EXPECT_EQ(settings.bits, 16);
    EXPECT_EQ(settings.device, 1);
}

TEST_F(PlaybackDeviceDialog, AnotherRateDisablesTheCustomFieldKeepingItsText) {
    CPlaybackDeviceDialog dialog(Devices(kThreeDevices));
    dialog.show();
    Button(dialog, IDC_PLAY_RATE_CUSTOM)->click();
    CustomField(dialog)->setText(QStringLiteral("96000"));
    Button(dialog, IDC_PLAY_RATE_11025)->click();
    EXPECT_FALSE(CustomField(dialog)->isEnabled());
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("96000"));
    EXPECT_EQ(dialog.customRate, 96000);
    EXPECT_EQ(dialog.rateChoice, RATE_11025);
}

TEST_F(PlaybackDeviceDialog, LettersInTheCustomFieldGiveZero) {
    CPlaybackDeviceDialog dialog(Devices(kThreeDevices));
    dialog.show();
    Button(dialog, IDC_PLAY_RATE_CUSTOM)->click();
    CustomField(dialog)->selectAll();
    CustomField(dialog)->insert(QStringLiteral("kHz"));
    EXPECT_EQ(dialog.customRate, 0);
    EXPECT_EQ(ResolveRate(dialog.rateChoice, dialog.customRate), 0);
}

TEST_F(PlaybackDeviceDialog, CancelButtonEscapeAndCloseBoxChangeNothing) {
    const std::vector<std::function<void(CPlaybackDeviceDialog&)>> cancels{
        [](CPlaybackDeviceDialog& dialog) { Button(dialog, 2)->click(); },
        [](CPlaybackDeviceDialog& dialog) { PressKey(&dialog, Qt::Key_Escape); },
        [](CPlaybackDeviceDialog& dialog) { dialog.close(); },
    };
    for (const auto& cancel : cancels) {
        PlaybackSettings settings;
        bool closedByCancel = false;
        EXPECT_FALSE(EditWith(settings, kThreeDevices, [&](CPlaybackDeviceDialog& dialog) {
            AutomaticBox(dialog)->click();
            DeviceList(dialog)->setCurrentIndex(1);
            Button(dialog, IDC_PLAY_MONO)->click();
            Button(dialog, IDC_PLAY_8BIT)->click();
            Button(dialog, IDC_PLAY_RATE_CUSTOM)->click();
            CustomField(dialog)->setText(QStringLiteral("8000"));
            cancel(dialog);
            closedByCancel = !dialog.isVisible();
        }));
        EXPECT_TRUE(closedByCancel);
        const PlaybackSettings defaults;
        EXPECT_EQ(settings.channels, defaults.channels);
        EXPECT_EQ(settings.bits, defaults.bits);
        EXPECT_EQ(settings.rateChoice, defaults.rateChoice);
        EXPECT_EQ(settings.customRate, defaults.customRate);
        EXPECT_EQ(settings.device, defaults.device);
    }
}

TEST(SettingsDialogs, TheTwoDialogsShareNoState) {
    CPlaybackDeviceDialog playback(Devices(kThreeDevices));
    CSaveFormatDialog save;
    playback.show();
    save.show();
    qobject_cast<QAbstractButton*>(save.Control(IDC_SAVE_MONO))->click();
    qobject_cast<QAbstractButton*>(save.Control(IDC_SAVE_RATE_CUSTOM))->click();
    qobject_cast<QLineEdit*>(save.Control(IDC_SAVE_CUSTOM_RATE))->setText(QStringLiteral("8000"));
    EXPECT_EQ(save.channels, 1);
    EXPECT_EQ(playback.channels, 2);
    EXPECT_EQ(playback.rateChoice, RATE_22050);
    EXPECT_EQ(playback.customRate, 48000);
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(playback.Control(IDC_PLAY_STEREO))->isChecked());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(playback.Control(IDC_PLAY_CUSTOM_RATE))->isEnabled());

    PlaybackSettings playbackSettings;
    SaveFormat saveFormat;
    save.StoreInto(saveFormat);
    playback.StoreInto(playbackSettings);
    EXPECT_EQ(saveFormat.channels, 1);
    EXPECT_EQ(ResolveRate(saveFormat), 8000);
    EXPECT_EQ(playbackSettings.channels, 2);
    EXPECT_EQ(ResolveRate(playbackSettings), 22050);
}

// What the keyboard and accessibility actions change is what OK stores, as
// with clicks: Space on the automatic box, the arrow keys in the device list
// and in a radio group, radios set without a click, typed text.
TEST_F(PlaybackDeviceDialog, KeyboardAndAccessibilityChangesAreWhatOkStores) {
    PlaybackSettings settings;
    ASSERT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        Focus(AutomaticBox(dialog));
        QTest::keyClick(AutomaticBox(dialog), Qt::Key_Space);
        EXPECT_TRUE(DeviceList(dialog)->isEnabled());
        QTest::keyClick(DeviceList(dialog), Qt::Key_Down);
        QTest::keyClick(DeviceList(dialog), Qt::Key_Down);
        Button(dialog, IDC_PLAY_RATE_CUSTOM)->toggle();
        CustomField(dialog)->selectAll();
        QTest::keyClicks(CustomField(dialog), QStringLiteral("96000"));
        Button(dialog, IDC_PLAY_MONO)->setChecked(true);
        Focus(Button(dialog, IDC_PLAY_16BIT));
        QTest::keyClick(Button(dialog, IDC_PLAY_16BIT), Qt::Key_Up);
        dialog.accept();
    }));
    EXPECT_EQ(settings.device, 2);
    EXPECT_EQ(settings.rateChoice, RATE_CUSTOM);
    EXPECT_EQ(settings.customRate, 96000);
    EXPECT_EQ(settings.channels, 1);
    EXPECT_EQ(settings.bits, 8);

    // Ticking the box again through an accessibility action goes back to
    // the automatic device.
    ASSERT_TRUE(EditWith(settings, kThreeDevices, [](CPlaybackDeviceDialog& dialog) {
        AutomaticBox(dialog)->setChecked(true);
        EXPECT_FALSE(DeviceList(dialog)->isEnabled());
        dialog.accept();
    }));
    EXPECT_EQ(settings.device, -1);
}
