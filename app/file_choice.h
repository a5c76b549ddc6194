// Choosing the source or output file with the platform's file dialog, and the
// folder it starts in. Tests replace the chooser to answer it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class FileChoiceKind {
    OpenSource,  ///< the file must exist
    SaveOutput,  ///< asks before overwriting an existing file
};

/// The folder a file dialog starts in for a field's text: the text up to and
/// including its last "/", or the whole text when it has none. No length limit.
QString FolderForFileDialog(const QString& fieldText);

/// The dialog's filters: for a source, the sound files and the videos the
/// engine reads, then WAV files, then all files; for the output, each format
/// a save writes (WAV first), then all files (saved as WAV).
QStringList FileDialogFilters(FileChoiceKind kind);

/// The extension a name typed without one gets under `filter`: the filter's
/// first pattern's ("flac" for "FLACファイル(*.flac)"), "wav" for all files.
QString SuffixOfFilter(const QString& filter);

/// Shows the dialog over `parent`, starting in `folder` (when not empty), and
/// returns the chosen full path as the file system's bytes, or an empty array
/// when cancelled.
using FileChooser = std::function<QByteArray(QWidget* parent, FileChoiceKind kind, const QString& folder)>;

/// Routes every later ChooseWaveFile to `chooser`; empty restores the dialog.
/// Returns the chooser that was in force.
FileChooser SetFileChooser(FileChooser chooser);

/// Asks for a file with FileDialogFilters(kind), default suffix "wav". The
/// bytes of a name that is not UTF-8 come through whole.
QByteArray ChooseWaveFile(QWidget* parent, FileChoiceKind kind, const QString& folder);
