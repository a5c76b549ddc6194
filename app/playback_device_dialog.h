// "再生デバイスの設定": the modal dialog that edits a copy of the playback
// settings: the sound device (automatic or one listed device) and the rate,
// channels and bits per sample the processed sound is played with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format_dialog.h"
#include "output_settings.h"

/// Control ids of the playback device dialog.
enum PlaybackDeviceControl : int {
    IDC_PLAY_AUTOMATIC = 1030,
    IDC_PLAY_DEVICE_LIST = 1031,
    IDC_PLAY_RATE_44100 = 1032,
    IDC_PLAY_RATE_22050 = 1033,
    IDC_PLAY_RATE_11025 = 1034,
    IDC_PLAY_RATE_CUSTOM = 1035,
    IDC_PLAY_CUSTOM_RATE = 1036,
    IDC_PLAY_MONO = 1037,
    IDC_PLAY_STEREO = 1038,
    IDC_PLAY_8BIT = 1039,
    IDC_PLAY_16BIT = 1040,
};

/// Lists the names of the playback devices, in device order.
using DeviceNameSource = std::function<std::vector<std::string>()>;

/// The playback device dialog. The caller sets the fields (or LoadFrom a
/// record), runs it, and on OK takes the fields back (StoreInto). Every change
/// of a control's state (the automatic box, the list selection, a radio
/// button, the custom-rate text) is copied into the fields at once, so OK
/// reads nothing more.
class CPlaybackDeviceDialog : public CFormatDialog {
    Q_OBJECT
public:
    /// `listDevices` is asked for the device names each time the dialog is
    /// initialised (the program passes WaveOutDeviceNames).
    explicit CPlaybackDeviceDialog(DeviceNameSource listDevices, QWidget* parent = nullptr);
    ~CPlaybackDeviceDialog() override;

    std::int32_t automatic = 1;    ///< 1 while the automatic box is ticked
    std::int32_t deviceIndex = 0;  ///< position of the selected device; -1 for none
    /// The device names found by the last initialisation, in list order.
    std::vector<std::string> DeviceCaps;

    /// Sets the fields from `settings`: automatic when its device is -1, and
    /// the list position of its device (0 when it has none).
    void LoadFrom(const PlaybackSettings& settings);
    /// Writes the fields back: the device is -1 when automatic, else the
    /// list position.
    void StoreInto(PlaybackSettings& settings) const;

    /// The custom-rate field only for a custom rate; the list only while the
    /// automatic box is clear.
    void ApplyEnableRules() override;

protected:
    /// Fills the device list afresh and shows the device fields.
    void ShowOwnControls() override;
    void ReadOwnControls() override;

private:
    void EnumerateDevices();

    DeviceNameSource listDevices_;
};

/// Runs the playback device dialog modally over `parent` with the devices of
/// `listDevices`; on OK writes it back into `settings` and returns true.
bool RunPlaybackDeviceDialog(QWidget* parent, PlaybackSettings& settings, DeviceNameSource listDevices);
