// The file dialogs of the two browse buttons.
#include "file_choice.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

namespace {

FileChooser& CurrentChooser() {
    static FileChooser chooser;
    return chooser;
}

QString ShowFileDialog(QWidget* parent, FileChoiceKind kind, const QString& folder) {
    QFileDialog dialog(parent);
    const bool opening = kind == FileChoiceKind::OpenSource;
    dialog.setAcceptMode(opening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(opening ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    // Rationale: on Linux many files have no extension; "*" lists them all,
    // where "*.*" would hide them.
    dialog.setNameFilters({QStringLiteral("waveファイル(*.wav)"), QStringLiteral("全てのファイル(*)")});
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace

QString FolderForFileDialog(const QString& fieldText) {
    const qsizetype slash = fieldText.lastIndexOf(u'/');
    return slash < 0 ? fieldText : fieldText.left(slash + 1);
}

FileChooser SetFileChooser(FileChooser chooser) {
    return std::exchange(CurrentChooser(), std::move(chooser));
}

QString ChooseWaveFile(QWidget* parent, FileChoiceKind kind, const QString& folder) {
    if (const FileChooser& chooser = CurrentChooser()) return chooser(parent, kind, folder);
    return ShowFileDialog(parent, kind, folder);
}
