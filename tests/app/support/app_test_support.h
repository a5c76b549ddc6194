// Helpers for the window tests: one QApplication for the whole run, scratch
// folders, test WAV files written and read back with libsndfile, plug-in
// folders linked together per case, a recorder of the messages the window
// shows, and waiting with the event loop running.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_dialog.h"
#include "table_dialog.h"
#include "messages.h"

namespace apptest {

/// A fresh folder under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    /// `name` (UTF-8) inside the folder, as a QString for a field.
    QString File(const char* name) const;

private:
    std::filesystem::path path_;
};

/// Links the built test plug-ins `builtNames` (e.g. "Zarevo_a.so") into
/// `folder` under their own names, or under the names of `linkNames` when given.
void LinkTestPlugins(const std::filesystem::path& folder, const std::vector<std::string>& builtNames,
                     const std::vector<std::string>& linkNames = {});

/// Writes a PCM WAV file through libsndfile: `frames` frames of `channels`
/// channels at `rate`, 8 or 16 bits, every sample `sample(frame, channel)`.
void WriteTestWav(const QString& path, int rate, int channels, int bits, long frames,
                  const std::function<double(long frame, int channel)>& sample);

/// A WAV file as libsndfile reads it (interleaved samples, full scale 1.0).
struct WavContents {
    bool opened = false;
    int rate = 0;
    int channels = 0;
    long frames = 0;
    std::vector<double> samples;
};
WavContents ReadTestWav(const QString& path);

/// Collects every message the window shows, answering each at once.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    const QStringList& Texts() const { return texts_; }
    void Clear() { texts_.clear(); }

private:
    QStringList texts_;
    MessageSink previous_;
};

/// Opens the main window on the plug-ins of `pluginFolder`, checks that the
/// only message at start-up is the no-device warning (the dummy sound driver
/// lists no device), and forgets that warning.
std::unique_ptr<CMainDialog> OpenWindow(const std::filesystem::path& pluginFolder, MessageRecorder& messages);

/// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

/// Points the test plug-ins' call log at a fresh file and returns its path.
std::filesystem::path StartPluginLog(const std::filesystem::path& folder);
/// The lines of the plug-ins' call log.
std::vector<std::string> ReadPluginLog(const std::filesystem::path& log);

/// The ids of the checked radio buttons of `dialog` among `first` .. `last`.
std::vector<int> CheckedRadios(const dialogkit::TableDialog& dialog, int first, int last);

/// Gives `control` the keyboard focus in its active window, as arrow keys
/// move only from the focused radio.
void Focus(QWidget* control);

/// Sends one press of `key` to `target`.
void PressKey(QWidget* target, int key);

/// Runs `run`, which opens a modal dialog, and does `act` on that dialog once
/// it is up (the test fails if it is not a `Dialog`); a dialog still open
/// afterwards is cancelled. Returns what `run` returned.
template <class Dialog>
bool WithModalDialog(const std::function<bool()>& run, const std::function<void(Dialog&)>& act) {
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QApplication::activeModalWidget()->close();
            return;
        }
        sawDialog = true;
        act(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    const bool accepted = run();
    EXPECT_TRUE(sawDialog);
    return accepted;
}

}  // namespace apptest
