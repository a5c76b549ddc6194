// The plug-in scan and the small text rules of the window: captions, byte-wise
// order, and the folder a file dialog starts in.
#include <gtest/gtest.h>

#include <QString>
#include <fstream>

#include "app_test_support.h"
#include "file_choice.h"
#include "plugin_scan.h"

namespace {

void Touch(const std::filesystem::path& path) { std::ofstream(path).put('x'); }

}  // namespace

TEST(PluginCaption, DropsFolderPrefixAndExtension) {
    EXPECT_EQ(PluginCaption("/opt/zarevo/Zarevo_original.so"), "original");
    EXPECT_EQ(PluginCaption("/opt/zarevo/Zarevo_sample.so"), "sample");
    // Only the last dot starts the extension; dots in folder names do not count.
    EXPECT_EQ(PluginCaption("/a.b/Zarevo_x.y.so"), "x.y");
    EXPECT_EQ(PluginCaption("/tmp/Zarevo_エコー.so"), "エコー");
}

TEST(PluginScan, FindsOnlyMatchingNamesInByteOrder) {
    apptest::ScratchFolder folder;
    for (const char* name : {"Zarevo_b.so", "Zarevo_a.so", "Zarevo_Z.so", "Zarevo_a_x.so", "zarevo_c.so",
                             "Zarevo_d.so.1", "libZarevo_e.so", "Zarevo_.txt"}) {
        Touch(folder.Path() / name);
    }
    const std::string base = folder.Path().string() + "/";
    const std::vector<std::string> expected = {base + "Zarevo_Z.so", base + "Zarevo_a.so",
                                               base + "Zarevo_a_x.so", base + "Zarevo_b.so"};
    EXPECT_EQ(FindPluginFiles(folder.Path().string()), expected);
    // A trailing "/" on the folder gives the same paths.
    EXPECT_EQ(FindPluginFiles(base), expected);
}

TEST(PluginScan, MissingFolderGivesNoPlugins) {
    EXPECT_TRUE(FindPluginFiles("/nonexistent/zarevo/folder").empty());
}

TEST(PluginScan, ProgramFolderIsWhereTheTestRuns) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "app_plugin_scan_test"));
}

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
