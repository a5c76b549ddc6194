// The playback device dialog: its control table, the device list, and what
// its initialisation and ReadControls add to those of every format dialog.
#include "playback_device_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <array>
#include <utility>

#include "dialog_table.h"

namespace {

using dialogkit::ControlKind;
using dialogkit::ControlSpec;
using dialogkit::kNoId;

constexpr std::array kPlaybackDeviceTable{
    ControlSpec{kNoId, ControlKind::GroupBox, 15, 10, 150, 70, "デバイスの選択"},
    ControlSpec{IDC_PLAY_AUTOMATIC, ControlKind::CheckBox, 20, 25, 135, 10, "自動 ( オーディオマッパ使用 )"},
    ControlSpec{IDC_PLAY_DEVICE_LIST, ControlKind::DropDownList, 25, 45, 130, 120, nullptr},
    ControlSpec{kNoId, ControlKind::GroupBox, 15, 85, 150, 60, "レート"},
    ControlSpec{IDC_PLAY_RATE_44100, ControlKind::RadioFirst, 25, 100, 55, 10, "44100 Hz"},
    ControlSpec{IDC_PLAY_RATE_22050, ControlKind::Radio, 25, 115, 55, 10, "22050 Hz"},
    ControlSpec{IDC_PLAY_RATE_11025, ControlKind::Radio, 25, 130, 55, 10, "11025 Hz"},
    ControlSpec{IDC_PLAY_RATE_CUSTOM, ControlKind::Radio, 90, 100, 55, 10, "任意"},
    ControlSpec{IDC_PLAY_CUSTOM_RATE, ControlKind::Edit, 90, 120, 55, 15, ""},
    ControlSpec{kNoId, ControlKind::Label, 145, 125, 15, 10, "Hz"},
    ControlSpec{kNoId, ControlKind::GroupBox, 170, 85, 65, 60, "チャンネル数"},
    ControlSpec{IDC_PLAY_MONO, ControlKind::RadioFirst, 180, 105, 40, 10, "モノラル"},
    ControlSpec{IDC_PLAY_STEREO, ControlKind::Radio, 180, 121, 40, 10, "ステレオ"},
    ControlSpec{kNoId, ControlKind::GroupBox, 241, 85, 65, 60, "量子化"},
    ControlSpec{IDC_PLAY_8BIT, ControlKind::RadioFirst, 250, 105, 40, 10, "8bit"},
    ControlSpec{IDC_PLAY_16BIT, ControlKind::Radio, 250, 121, 40, 10, "16bit"},
    ControlSpec{dialogkit::kOkId, ControlKind::DefaultButton, 205, 155, 50, 14, "OK"},
    ControlSpec{dialogkit::kCancelId, ControlKind::PushButton, 255, 155, 50, 14, "ｷｬﾝｾﾙ"},
};

constexpr FormatGroupIds kPlaybackGroupIds{
    IDC_PLAY_RATE_44100, IDC_PLAY_RATE_22050, IDC_PLAY_RATE_11025, IDC_PLAY_RATE_CUSTOM, IDC_PLAY_CUSTOM_RATE,
    IDC_PLAY_MONO,       IDC_PLAY_STEREO,     IDC_PLAY_8BIT,       IDC_PLAY_16BIT,
};

}  // namespace

CPlaybackDeviceDialog::CPlaybackDeviceDialog(DeviceNameSource listDevices, QWidget* parent)
    : CFormatDialog(QStringLiteral("再生デバイスの設定"), kPlaybackDeviceTable, 319, 185, kPlaybackGroupIds, parent),
      listDevices_(std::move(listDevices)) {
    // The state-change signals, so that the keyboard and accessibility
    // actions count as a click does; ReadControls ignores the dialog's own
    // writes (Updating).
    connect(Get<QCheckBox>(IDC_PLAY_AUTOMATIC), &QCheckBox::toggled, this, [this] { ReadControls(); });
    connect(Get<QComboBox>(IDC_PLAY_DEVICE_LIST), &QComboBox::currentIndexChanged, this, [this] { ReadControls(); });
}

CPlaybackDeviceDialog::~CPlaybackDeviceDialog() = default;

void CPlaybackDeviceDialog::LoadFrom(const PlaybackSettings& settings) {
    CopyFormat(settings, *this);
    automatic = settings.device == -1 ? 1 : 0;
    deviceIndex = settings.device > 0 ? settings.device : 0;
}

void CPlaybackDeviceDialog::StoreInto(PlaybackSettings& settings) const {
    CopyFormat(*this, settings);
    settings.device = automatic == 1 ? -1 : deviceIndex;
}

void CPlaybackDeviceDialog::EnumerateDevices() {
    DeviceCaps.clear();
    if (listDevices_) DeviceCaps = listDevices_();
}

void CPlaybackDeviceDialog::ShowOwnControls() {
    auto* list = Get<QComboBox>(IDC_PLAY_DEVICE_LIST);
    EnumerateDevices();
    list->clear();
    for (const std::string& name : DeviceCaps) list->addItem(QString::fromStdString(name));
    // A position beyond the list (a device that has gone) selects nothing.
    list->setCurrentIndex(deviceIndex >= 0 && deviceIndex < list->count() ? deviceIndex : -1);
    Get<QCheckBox>(IDC_PLAY_AUTOMATIC)->setChecked(automatic != 0);
}

void CPlaybackDeviceDialog::ReadOwnControls() {
    automatic = Get<QCheckBox>(IDC_PLAY_AUTOMATIC)->isChecked() ? 1 : 0;
    deviceIndex = Get<QComboBox>(IDC_PLAY_DEVICE_LIST)->currentIndex();
}

void CPlaybackDeviceDialog::ApplyEnableRules() {
    CFormatDialog::ApplyEnableRules();
    Control(IDC_PLAY_DEVICE_LIST)->setEnabled(!Get<QCheckBox>(IDC_PLAY_AUTOMATIC)->isChecked());
}

bool RunPlaybackDeviceDialog(QWidget* parent, PlaybackSettings& settings, DeviceNameSource listDevices) {
    CPlaybackDeviceDialog dialog(std::move(listDevices), parent);
    return RunOnRecord(dialog, settings);
}
