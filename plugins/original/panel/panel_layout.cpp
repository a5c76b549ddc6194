// The parameter panel's control table. Rows stand in keyboard tab order,
// which differs from the display order: the reverb pair follows the degree
// of application although it is shown above it.
#include "panel_layout.h"

namespace parampanel {

namespace {

using dialogkit::ControlKind;
using dialogkit::kNoId;

constexpr dialogkit::ControlSpec kLayout[] = {
    {kNoId, ControlKind::Label, 5, 10, 60, 10, "ピッチ(オクターブ)"},
    {kPitchSlider, ControlKind::Slider, 75, 5, 90, 15, nullptr},
    {kPitchEdit, ControlKind::Edit, 170, 5, 40, 15, nullptr},
    {kPitchSemitones, ControlKind::Label, 213, 8, 80, 10, nullptr},
    {kNoId, ControlKind::Label, 5, 30, 40, 11, "速さ (倍)"},
    {kSpeedSlider, ControlKind::Slider, 75, 25, 150, 15, nullptr},
    {kSpeedEdit, ControlKind::Edit, 230, 25, 40, 15, nullptr},
    {kNoId, ControlKind::Label, 5, 81, 45, 11, "帯域 (Hz)"},
    {kBandBoxes[0], ControlKind::CheckBox, 60, 79, 20, 10, nullptr},
    {kBandBoxes[1], ControlKind::CheckBox, 85, 79, 20, 10, nullptr},
    {kBandBoxes[2], ControlKind::CheckBox, 110, 79, 20, 10, nullptr},
    {kBandBoxes[3], ControlKind::CheckBox, 135, 79, 20, 10, nullptr},
    {kBandBoxes[4], ControlKind::CheckBox, 160, 79, 20, 10, nullptr},
    {kBandBoxes[5], ControlKind::CheckBox, 185, 79, 20, 10, nullptr},
    {kBandBoxes[6], ControlKind::CheckBox, 210, 79, 20, 10, nullptr},
    {kBandBoxes[7], ControlKind::CheckBox, 235, 79, 20, 10, nullptr},
    {kBandBoxes[8], ControlKind::CheckBox, 260, 79, 20, 10, nullptr},
    {kNoId, ControlKind::Label, 60, 89, 20, 8, kBandLabels[0]},
    {kNoId, ControlKind::Label, 85, 89, 20, 8, kBandLabels[1]},
    {kNoId, ControlKind::Label, 110, 89, 20, 8, kBandLabels[2]},
    {kNoId, ControlKind::Label, 135, 89, 20, 8, kBandLabels[3]},
    {kNoId, ControlKind::Label, 160, 89, 20, 8, kBandLabels[4]},
    {kNoId, ControlKind::Label, 185, 89, 20, 8, kBandLabels[5]},
    {kNoId, ControlKind::Label, 210, 89, 20, 8, kBandLabels[6]},
    {kNoId, ControlKind::Label, 235, 89, 20, 8, kBandLabels[7]},
    {kNoId, ControlKind::Label, 260, 89, 20, 8, kBandLabels[8]},
    {kNoId, ControlKind::Label, 5, 110, 40, 11, "適用度（％）"},
    {kApplySlider, ControlKind::Slider, 75, 105, 150, 15, nullptr},
    {kApplyEdit, ControlKind::Edit, 230, 105, 40, 15, nullptr},
    {kNoId, ControlKind::Label, 5, 50, 60, 11, "プチ残響音(？)"},
    {kReverbSlider, ControlKind::Slider, 75, 50, 150, 15, nullptr},
    {kReverbEdit, ControlKind::Edit, 230, 50, 40, 15, nullptr},
    {kNoId, ControlKind::Label, 5, 130, 55, 11, "処理チャンネル"},
    {kMonoBox, ControlKind::CheckBox, 65, 130, 40, 10, "モノラル"},
    {kLeftBox, ControlKind::CheckBox, 110, 130, 25, 10, "左"},
    {kRightBox, ControlKind::CheckBox, 140, 130, 30, 10, "右"},
    {kNoId, ControlKind::GroupBox, 295, 5, 55, 130, "プリセット"},
    {kTelephoneButton, ControlKind::PushButton, 300, 60, 40, 20, "電話の音"},
    {kResetButton, ControlKind::PushButton, 300, 105, 40, 20, "リセット"},
    {kHeavyBassButton, ControlKind::PushButton, 300, 80, 40, 20, "重低音強調"},
    {kChordButton, ControlKind::PushButton, 300, 20, 40, 20, "C+F 和音"},
    {kFastListeningButton, ControlKind::PushButton, 300, 40, 40, 20, "速聴き"},
};

}  // namespace

std::span<const dialogkit::ControlSpec> ParameterPanelLayout() { return kLayout; }

}  // namespace parampanel
