// The folder a file dialog starts in, taken from the text of a path field.
#include <gtest/gtest.h>

#include <QString>

#include "file_choice.h"

TEST(FolderForFileDialog, KeepsTextUpToLastSlash) {
    EXPECT_EQ(FolderForFileDialog(QStringLiteral("/home/u/音声/歌.wav")), QStringLiteral("/home/u/音声/"));
    EXPECT_EQ(FolderForFileDialog(QStringLiteral("/song.wav")), QStringLiteral("/"));
    EXPECT_EQ(FolderForFileDialog(QStringLiteral("song.wav")), QStringLiteral("song.wav"));
    EXPECT_EQ(FolderForFileDialog(QString()), QString());
}

TEST(FolderForFileDialog, LongPathsAreNotCut) {
    QString folder = QStringLiteral("/");
    while (folder.toUtf8().size() < 3000) folder += QStringLiteral("とても長いフォルダ名/");
    EXPECT_EQ(FolderForFileDialog(folder + QStringLiteral("a.wav")), folder);
}
