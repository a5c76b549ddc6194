// The main window's layout: its control ids, texts and the table of controls
// in dialog units, top to bottom along the five steps.
#pragma once

#include <span>

#include "dialog_table.h"

/// Control ids of the main window.
enum MainControlId : int {
    IDC_SOURCE_PATH = 1000,
    IDC_BROWSE_SOURCE = 1001,
    IDC_PLAY = 1002,
    IDC_PLAYBACK_SETTINGS = 1003,
    IDC_OUTPUT_PATH = 1004,
    IDC_BROWSE_OUTPUT = 1005,
    IDC_SAVE = 1006,
    IDC_SAVE_FORMAT = 1007,
    IDC_EFFECT_TABS = 1029,
};

namespace mainwindow {

inline constexpr int kWidthUnits = 409;
inline constexpr int kHeightUnits = 329;
/// Where the position row sits, under step 3, in dialog units.
inline constexpr int kPositionRowX = 10;
inline constexpr int kPositionRowY = 240;
inline constexpr int kPositionRowWidth = 390;
inline constexpr int kPositionRowHeight = 15;

/// The maker's web address, shown at the end of the title.
inline constexpr char kMakerAddress[] = "https://zarevoplus.example.org/";
inline constexpr char kTitlePrefix[] = "ZarevoPlus Version 1.0 - ";

inline constexpr char kStepSource[] = "1. Waveファイルを落とす";
inline constexpr char kStepEffects[] = "2. 処理";
inline constexpr char kStepCheck[] = "3. 確認";
inline constexpr char kStepOutputName[] = "4. 保存ファイル名確定";
inline constexpr char kStepSave[] = "5. ファイルに保存";

inline constexpr char kPlay[] = "再生";
inline constexpr char kSave[] = "保存";
/// Button texts while a job runs; %1 is the whole percentage. The ％ is the
/// full-width sign, plain text.
inline constexpr char kStopPlayFormat[] = "停止 (%1 ％再生)";
inline constexpr char kInterruptSaveFormat[] = "中断 (%1 ％完了)";

/// The controls, in tab order.
std::span<const dialogkit::ControlSpec> Controls();

}  // namespace mainwindow
