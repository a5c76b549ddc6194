// Every message the program shows to the user, and the one function that shows
// them. Tests replace the sink to observe and answer the messages.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace messages {

inline constexpr char kNoPlaybackDevice[] =
    "音声の再生デバイスがインストール\nされていないみたいです。\n\n"
    "「保存」はできますが「再生」ができません。\n";
inline constexpr char kWritingInProgress[] = "書き込み中です";
inline constexpr char kPlayingInProgress[] = "再生中です";
inline constexpr char kStopPlayFailed[] = "StopPlayに失敗しました";
inline constexpr char kStopSaveFailed[] = "StopSaveに失敗しました";
inline constexpr char kOpenPlayFailed[] = "Open Play に失敗しました";
inline constexpr char kStartPlayFailed[] = "Start Play に失敗しました";
inline constexpr char kOpenSaveFailed[] = "Open Save に失敗しました";
inline constexpr char kStartSaveFailed[] = "Start Save に失敗しました";
inline constexpr char kConversionFinished[] = "変換終了";
inline constexpr char kConversionInterrupted[] = "変換が中断されました";
inline constexpr char kSourceReadFailed[] = "元のファイルを読み込めなくなったため、変換を中止しました";
inline constexpr char kOutputWriteFailed[] = "出力ファイルに書き込めなかったため、変換を中止しました";
inline constexpr char kDiskFull[] = "ディスクがいっぱいのため、変換を中止しました";
inline constexpr char kSizeLimitReached[] = "WAVファイルの大きさの上限(4GB)に達したため、そこまでを保存しました";
/// %1 is the plug-in's tab caption.
inline constexpr char kPluginFailedFormat[] = "プラグイン「%1」でエラーが起きたため、処理を中止しました";
/// %1 is the output format's name, %2 the chosen rate, %3 the rates it holds.
inline constexpr char kRateNotHeldFormat[] =
    "%1 のファイルは %2 Hz では保存できません。\n"
    "使えるサンプリングレート: %3 Hz\n\n"
    "保存の「詳細」でレートを選び直してください。";
inline constexpr char kDeviceLost[] = "サウンドデバイスが使えなくなったため、再生を停止しました";

/// The title of every message box: the program's name.
inline constexpr char kTitle[] = "ZarevoPlusApp";

}  // namespace messages

/// Receives a message instead of the message box; it must return once the
/// message counts as answered (there is only one answer: OK).
using MessageSink = std::function<void(QWidget* parent, const QString& text)>;

/// Routes every later ShowMessage to `sink`; an empty sink restores the
/// message box. Returns the sink that was in force.
MessageSink SetMessageSink(MessageSink sink);

/// Shows `text` (UTF-8) modally over `parent`: warning icon, one OK button,
/// the program's name as title.
void ShowMessage(QWidget* parent, const char* text);
/// The same for a text already composed (a format with its values filled in).
void ShowMessage(QWidget* parent, const QString& text);
