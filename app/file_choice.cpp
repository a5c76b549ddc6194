// The file dialogs of the two browse buttons.
#include "file_choice.h"

#include <QFileDialog>
#include <QStringList>
#include <QUrl>
#include <utility>

#include "path_field.h"

namespace {

FileChooser& CurrentChooser() {
    static FileChooser chooser;
    return chooser;
}

QByteArray ShowFileDialog(QWidget* parent, FileChoiceKind kind, const QString& folder) {
    QFileDialog dialog(parent);
    const bool opening = kind == FileChoiceKind::OpenSource;
    dialog.setAcceptMode(opening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(opening ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(FileDialogFilters(kind));
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    // A name typed without an extension gets the chosen format's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOfFilter(filter)); });
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted) return {};
    // A URL keeps the name's bytes where the platform's dialog hands them
    // over; names the dialog could only show are matched back to the folder.
    const QList<QUrl> chosen = dialog.selectedUrls();
    return chosen.isEmpty() ? QByteArray() : ResolveShownPath(LocalPathBytes(chosen.front()));
}

}  // namespace

QString FolderForFileDialog(const QString& fieldText) {
    const qsizetype slash = fieldText.lastIndexOf(u'/');
    return slash < 0 ? fieldText : fieldText.left(slash + 1);
}

QStringList FileDialogFilters(FileChoiceKind kind) {
    // Rationale: on Linux many files have no extension; "*" lists them all,
    // where "*.*" would hide them.
    const QString wave = QStringLiteral("waveファイル(*.wav)");
    const QString all = QStringLiteral("全てのファイル(*)");
    if (kind == FileChoiceKind::SaveOutput) {
        return {wave,
                QStringLiteral("FLACファイル(*.flac)"),
                QStringLiteral("Ogg Vorbisファイル(*.ogg *.oga)"),
                QStringLiteral("Opusファイル(*.opus)"),
                QStringLiteral("MP3ファイル(*.mp3)"),
                all};
    }
    return {QStringLiteral("音声ファイル(*.wav *.flac *.ogg *.oga *.opus *.mp3 *.m4a *.aac *.wma *.aif *.aiff *.w64 "
                           "*.caf *.mka *.ac3)"),
            QStringLiteral("動画ファイル(*.mp4 *.m4v *.mkv *.webm *.mov *.avi *.wmv *.flv *.mpg *.mpeg *.ts)"), wave,
            all};
}

QString SuffixOfFilter(const QString& filter) {
    const qsizetype star = filter.indexOf(QStringLiteral("*."));
    if (star < 0) return QStringLiteral("wav");
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end].isLetterOrNumber()) ++end;
    return filter.mid(star + 2, end - star - 2);
}

FileChooser SetFileChooser(FileChooser chooser) { return std::exchange(CurrentChooser(), std::move(chooser)); }

QByteArray ChooseWaveFile(QWidget* parent, FileChoiceKind kind, const QString& folder) {
    if (const FileChooser& chooser = CurrentChooser()) return chooser(parent, kind, folder);
    return ShowFileDialog(parent, kind, folder);
}
