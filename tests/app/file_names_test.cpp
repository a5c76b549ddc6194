// File names as the window hands them to the engine: names that are not UTF-8
// opened and saved from a drop, a file dialog and an edited field.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <filesystem>

#include "app_test_support.h"
#include "file_choice.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "path_field.h"
#include "raw_uri_list.h"

namespace {

using apptest::MessageRecorder;
using apptest::RawUriList;
using apptest::ScratchFolder;

constexpr int kFrames = 30000;

short SourceSample(int frame) { return static_cast<short>((frame * 97) % 20000 - 10000); }

/// A mono 22050 Hz FLAC at `path` (raw bytes), made with libsndfile.
void WriteFlac(const std::string& path) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<short> samples(kFrames);
    for (int f = 0; f < kFrames; ++f) samples[static_cast<std::size_t>(f)] = SourceSample(f);
    ASSERT_EQ(sf_writef_short(file, samples.data(), kFrames), kFrames);
    sf_close(file);
}

/// The saved file at `path` (raw bytes) holds the source on both channels.
void ExpectSavedSource(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << "no output under the name's own bytes";
    EXPECT_EQ(info.samplerate, 22050);
    ASSERT_EQ(info.channels, 2);
    ASSERT_GE(info.frames, kFrames);
    std::vector<short> samples(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    for (int f = 0; f < kFrames; ++f) {
        ASSERT_EQ(samples[2 * static_cast<std::size_t>(f)], SourceSample(f)) << "frame " << f;
        ASSERT_EQ(samples[2 * static_cast<std::size_t>(f) + 1], SourceSample(f)) << "frame " << f;
    }
}

void Drop(CMainDialog& window, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

QLineEdit* Field(CMainDialog& window, int id) { return static_cast<QLineEdit*>(window.Control(id)); }

bool SaveAndWait(CMainDialog& window, MessageRecorder& messages) {
    messages.Clear();
    static_cast<QPushButton*>(window.Control(IDC_SAVE))->click();
    return apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }) &&
           messages.Texts() == QStringList{QString::fromUtf8(messages::kConversionFinished)};
}

}  // namespace

TEST(FileNames, NamesThatAreNotUtf8OpenAndSaveFromDropDialogAndEditedField) {
    ScratchFolder plugins;
    ScratchFolder files;
    MessageRecorder messages;
    // A folder and a source in Latin-1 and Shift_JIS bytes, invalid as UTF-8.
    const std::string folder = files.Path().string() + "/caf\xe9";
    std::filesystem::create_directory(folder);
    const std::string source = folder + "/\x89\xb9\x8a\x79.flac";
    WriteFlac(source);
    auto window = apptest::OpenWindow(plugins.Path(), messages);

    // Dropped from other programs: the name percent-encoded by one sender,
    // sent as its plain bytes by another.
    const QByteArray bytes = QByteArray::fromStdString(source);
    for (const QByteArray& list : {"# from a file manager\r\nfile://localhost" + bytes.toPercentEncoding("/") + "\r\n",
                                   "file://" + bytes + "\r\n"}) {
        Field(*window, IDC_SOURCE_PATH)->clear();
        Drop(*window, RawUriList(list));
        EXPECT_TRUE(Field(*window, IDC_SOURCE_PATH)->text().contains(QChar::ReplacementCharacter));
        Field(*window, IDC_OUTPUT_PATH)->setText(files.File("dropped.wav"));
        ASSERT_TRUE(SaveAndWait(*window, messages)) << messages.Texts().join(u'|').toStdString();
        ExpectSavedSource(files.Path().string() + "/dropped.wav");
    }

    // Chosen in the save dialog.
    const std::string chosen = folder + "/\xe9t\xe9.wav";
    const FileChooser previous =
        SetFileChooser([&](QWidget*, FileChoiceKind, const QString&) { return QByteArray::fromStdString(chosen); });
    static_cast<QPushButton*>(window->Control(IDC_BROWSE_OUTPUT))->click();
    SetFileChooser(previous);
    ASSERT_TRUE(SaveAndWait(*window, messages)) << messages.Texts().join(u'|').toStdString();
    ExpectSavedSource(chosen);

    // Edited: the user retypes the file name; the folder's bytes are found
    // again by the name it shows.
    QLineEdit* output = Field(*window, IDC_OUTPUT_PATH);
    output->setText(FolderForFileDialog(output->text()) + QStringLiteral("新しい.wav"));
    ASSERT_TRUE(SaveAndWait(*window, messages)) << messages.Texts().join(u'|').toStdString();
    ExpectSavedSource(folder + "/" + QStringLiteral("新しい.wav").toUtf8().toStdString());
}

TEST(FileNames, ShownNamesResolveOnlyToOneExistingEntry) {
    ScratchFolder files;
    const QByteArray base = QFile::encodeName(QString::fromStdString(files.Path().string()));
    std::filesystem::create_directory((base + "/a\xff").toStdString());
    std::filesystem::create_directory((base + "/b\xfe").toStdString());
    std::filesystem::create_directory((base + "/b\xfd").toStdString());
    const QString replacement(QChar::ReplacementCharacter);
    // One entry shows as "a?": it is found.
    EXPECT_EQ(ResolveShownPath(QFile::encodeName(QFile::decodeName(base) + "/a" + replacement + "/x.wav")),
              base + "/a\xff/x.wav");
    // Two show as "b?": which one is meant cannot be told, so none is taken.
    const QByteArray ambiguous = QFile::encodeName(QFile::decodeName(base) + "/b" + replacement + "/x.wav");
    EXPECT_EQ(ResolveShownPath(ambiguous), ambiguous);
    // Existing and plain names are left alone.
    EXPECT_EQ(ResolveShownPath(base + "/a\xff"), base + "/a\xff");
    EXPECT_EQ(ResolveShownPath("relative/x.wav"), QByteArray("relative/x.wav"));
}
