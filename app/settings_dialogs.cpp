// The two settings dialogs as the main window runs them: the playback dialog
// lists the sound devices of the wave-out layer.
#include "settings_dialogs.h"

#include "playback_device_dialog.h"
#include "save_format_dialog.h"
#include "wave_out_devices.h"

bool EditPlaybackSettings(QWidget* parent, PlaybackSettings& settings) {
    return RunPlaybackDeviceDialog(parent, settings, &WaveOutDeviceNames);
}

bool EditSaveFormat(QWidget* parent, SaveFormat& format) {
    CSaveFormatDialog dialog(parent);
    return RunOnRecord(dialog, format);
}
