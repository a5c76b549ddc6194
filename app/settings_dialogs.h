// The two settings dialogs as the main window uses them: each edits a copy of
// its record and writes it back only on OK.
#pragma once

#include "output_settings.h"

class QWidget;

/// Runs "再生デバイスの設定" modally over `parent`. True (and `settings`
/// updated) when the user pressed OK.
bool EditPlaybackSettings(QWidget* parent, PlaybackSettings& settings);
/// Runs "保存フォーマットの設定" modally over `parent`. True (and `format`
/// updated) when the user pressed OK.
bool EditSaveFormat(QWidget* parent, SaveFormat& format);
