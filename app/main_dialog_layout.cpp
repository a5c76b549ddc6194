// The main window's table of controls, in dialog units.
#include "main_dialog_layout.h"

namespace mainwindow {

namespace {

using dialogkit::ControlKind;
using dialogkit::kNoId;

constexpr char kBrowse[] = "参照";
constexpr char kDetails[] = "詳細";
constexpr char kArrow[] = "↓";

constexpr dialogkit::ControlSpec kControls[] = {
    {kNoId, ControlKind::Label, 10, 5, 75, 10, kStepSource},
    {IDC_SOURCE_PATH, ControlKind::Edit, 90, 5, 255, 15, ""},
    {IDC_BROWSE_SOURCE, ControlKind::PushButton, 345, 5, 25, 15, kBrowse},
    {kNoId, ControlKind::Label, 165, 25, 10, 8, kArrow},
    {kNoId, ControlKind::Label, 10, 50, 25, 11, kStepEffects},
    {IDC_EFFECT_TABS, ControlKind::TabControl, 40, 35, 360, 165, ""},
    {kNoId, ControlKind::Label, 165, 205, 10, 8, kArrow},
    {kNoId, ControlKind::Label, 10, 220, 75, 11, kStepCheck},
    {IDC_PLAY, ControlKind::PushButton, 120, 215, 105, 20, kPlay},
    {IDC_PLAYBACK_SETTINGS, ControlKind::PushButton, 235, 220, 25, 15, kDetails},
    {kNoId, ControlKind::Label, 165, 260, 10, 8, kArrow},
    {kNoId, ControlKind::Label, 10, 270, 70, 10, kStepOutputName},
    {IDC_OUTPUT_PATH, ControlKind::Edit, 90, 270, 255, 15, ""},
    {IDC_BROWSE_OUTPUT, ControlKind::PushButton, 345, 270, 25, 15, kBrowse},
    {kNoId, ControlKind::Label, 165, 290, 10, 8, kArrow},
    {kNoId, ControlKind::Label, 10, 300, 70, 10, kStepSave},
    {IDC_SAVE, ControlKind::PushButton, 120, 300, 105, 20, kSave},
    {IDC_SAVE_FORMAT, ControlKind::PushButton, 235, 300, 25, 15, kDetails},
};

}  // namespace

std::span<const dialogkit::ControlSpec> Controls() { return kControls; }

}  // namespace mainwindow
