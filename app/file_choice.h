// Choosing the source or output WAV file with the platform's file dialog, and
// the folder it starts in. Tests replace the chooser to answer it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class FileChoiceKind {
    OpenSource,  ///< the file must exist
    SaveOutput,  ///< asks before overwriting an existing file
};

/// The folder a file dialog starts in for a field's text: the text up to and
/// including its last "/", or the whole text when it has none. No length limit.
QString FolderForFileDialog(const QString& fieldText);

/// Shows the dialog over `parent`, starting in `folder` (when not empty), and
/// returns the chosen full path, or an empty string when cancelled.
using FileChooser = std::function<QString(QWidget* parent, FileChoiceKind kind, const QString& folder)>;

/// Routes every later ChooseWaveFile to `chooser`; empty restores the dialog.
/// Returns the chooser that was in force.
FileChooser SetFileChooser(FileChooser chooser);

/// Asks for a WAV file: filters "waveファイル(*.wav)" and all files, default
/// suffix "wav".
QString ChooseWaveFile(QWidget* parent, FileChoiceKind kind, const QString& folder);
