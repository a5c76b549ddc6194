// The layout of the standard plug-in's parameter panel: control ids and the
// control table in dialog units. The table is in keyboard tab order.
#pragma once

#include <array>
#include <span>

#include "dialog_table.h"

namespace parampanel {

/// Panel size in dialog units.
inline constexpr int kPanelWidth = 357;
inline constexpr int kPanelHeight = 146;

/// Control ids: a slider and an edit for each of the four values, the three
/// channel boxes and the five preset buttons.
inline constexpr int kPitchSlider = 1007;
inline constexpr int kPitchEdit = 1008;
/// The pitch in semitones and cents, beside the pitch edit.
inline constexpr int kPitchSemitones = 1025;
inline constexpr int kSpeedSlider = 1009;
inline constexpr int kSpeedEdit = 1010;
inline constexpr int kReverbSlider = 1023;
inline constexpr int kReverbEdit = 1024;
inline constexpr int kApplySlider = 1011;
inline constexpr int kApplyEdit = 1018;
inline constexpr int kMonoBox = 1002;
inline constexpr int kLeftBox = 1003;
inline constexpr int kRightBox = 1004;
inline constexpr int kChordButton = 1006;
inline constexpr int kFastListeningButton = 1022;
inline constexpr int kTelephoneButton = 1000;
inline constexpr int kHeavyBassButton = 1005;
inline constexpr int kResetButton = 1001;

/// The band check boxes, from 86 Hz up: element i switches bit i of BandMask.
inline constexpr std::array<int, 9> kBandBoxes{1012, 1013, 1014, 1015, 1016, 1017, 1019, 1020, 1021};
/// The band centre frequencies shown under the band boxes.
inline constexpr std::array<const char*, 9> kBandLabels{"86",   "172",  "344",   "689",  "1378",
                                                        "2756", "5512", "11025", "22050"};

/// Every control of the panel, in tab order.
std::span<const dialogkit::ControlSpec> ParameterPanelLayout();

}  // namespace parampanel
