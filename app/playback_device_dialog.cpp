// The playback device dialog: its control table, the device list, and its two
// algorithms, initialisation and ReadControls, over the shared format groups.
#include "playback_device_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QShowEvent>
#include <array>
#include <utility>

#include "dialog_table.h"

namespace {

using dialogkit::ControlKind;
using dialogkit::ControlSpec;
using dialogkit::kNoId;

constexpr std::array kPlaybackDeviceTable{
    ControlSpec{kNoId, ControlKind::GroupBox, 15, 10, 150, 70, "デバイスの選択"},
    ControlSpec{IDC_PLAY_AUTOMATIC, ControlKind::CheckBox, 20, 25, 135, 10,
                "自動 ( オーディオマッパ使用 )"},
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
    ControlSpec{1, ControlKind::DefaultButton, 205, 155, 50, 14, "OK"},
    ControlSpec{2, ControlKind::PushButton, 255, 155, 50, 14, "ｷｬﾝｾﾙ"},
};

constexpr FormatGroupIds kPlaybackGroupIds{
    IDC_PLAY_RATE_44100, IDC_PLAY_RATE_22050, IDC_PLAY_RATE_11025, IDC_PLAY_RATE_CUSTOM,
    IDC_PLAY_CUSTOM_RATE, IDC_PLAY_MONO, IDC_PLAY_STEREO, IDC_PLAY_8BIT, IDC_PLAY_16BIT,
};

}  // namespace

CPlaybackDeviceDialog::CPlaybackDeviceDialog(DeviceNameSource listDevices, QWidget* parent)
    : QDialog(parent), listDevices_(std::move(listDevices)) {
    setWindowTitle(QStringLiteral("再生デバイスの設定"));
    // Caption and close box only: no help button, no resizing.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    controls_ = dialogkit::BuildControls(this, kPlaybackDeviceTable);
    dialogkit::SetFixedDialogSize(this, 319, 185);
    groups_ = std::make_unique<CFormatGroups>(controls_, kPlaybackGroupIds);
    groups_->ConnectChanges(this, [this] { ReadControls(); });
    connect(static_cast<QCheckBox*>(Control(IDC_PLAY_AUTOMATIC)), &QCheckBox::clicked, this,
            [this] { ReadControls(); });
    connect(static_cast<QComboBox*>(Control(IDC_PLAY_DEVICE_LIST)),
            &QComboBox::currentIndexChanged, this, [this] { ReadControls(); });
    connect(static_cast<QPushButton*>(Control(1)), &QPushButton::clicked, this, &QDialog::accept);
    connect(static_cast<QPushButton*>(Control(2)), &QPushButton::clicked, this, &QDialog::reject);
}

CPlaybackDeviceDialog::~CPlaybackDeviceDialog() = default;

void CPlaybackDeviceDialog::LoadFrom(const PlaybackSettings& settings) {
    CopyFormatFrom(settings, *this);
    automatic = settings.device == -1 ? 1 : 0;
    deviceIndex = settings.device > 0 ? settings.device : 0;
}

void CPlaybackDeviceDialog::StoreInto(PlaybackSettings& settings) const {
    CopyFormatTo(*this, settings);
    settings.device = automatic == 1 ? -1 : deviceIndex;
}

QWidget* CPlaybackDeviceDialog::Control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void CPlaybackDeviceDialog::showEvent(QShowEvent* event) {
    // Every run of the dialog starts from the fields and lists the devices
    // afresh; a window manager's re-show does not.
    if (!event->spontaneous()) InitDialog();
    QDialog::showEvent(event);
}

void CPlaybackDeviceDialog::EnumerateDevices() {
    DeviceCaps.clear();
    if (listDevices_) DeviceCaps = listDevices_();
}

void CPlaybackDeviceDialog::InitDialog() {
    auto* list = static_cast<QComboBox*>(Control(IDC_PLAY_DEVICE_LIST));
    Updating = 1;
    groups_->Show(*this);
    EnumerateDevices();
    list->clear();
    for (const std::string& name : DeviceCaps) list->addItem(QString::fromStdString(name));
    // A position beyond the list (a device that has gone) selects nothing.
    list->setCurrentIndex(deviceIndex >= 0 && deviceIndex < list->count() ? deviceIndex : -1);
    static_cast<QCheckBox*>(Control(IDC_PLAY_AUTOMATIC))->setChecked(automatic != 0);
    Updating = 0;
    ApplyEnableRules();
}

void CPlaybackDeviceDialog::ReadControls() {
    if (Updating == 1) return;
    groups_->Read(*this);
    automatic = static_cast<QCheckBox*>(Control(IDC_PLAY_AUTOMATIC))->isChecked() ? 1 : 0;
    deviceIndex = static_cast<QComboBox*>(Control(IDC_PLAY_DEVICE_LIST))->currentIndex();
    ApplyEnableRules();
}

void CPlaybackDeviceDialog::ApplyEnableRules() {
    groups_->ApplyCustomRateRule(*this);
    Control(IDC_PLAY_DEVICE_LIST)->setEnabled(
        !static_cast<QCheckBox*>(Control(IDC_PLAY_AUTOMATIC))->isChecked());
}

bool RunPlaybackDeviceDialog(QWidget* parent, PlaybackSettings& settings,
                             DeviceNameSource listDevices) {
    CPlaybackDeviceDialog dialog(std::move(listDevices), parent);
    dialog.LoadFrom(settings);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.StoreInto(settings);
    return true;
}
