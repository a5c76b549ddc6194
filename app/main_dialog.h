// CMainDialog: the program's single window. It leads through the five steps
// (source file, effect tabs, play, output file, save), owns the engine and the
// loaded plug-ins, and turns the buttons into engine jobs.
#pragma once

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "file_choice.h"
#include "output_settings.h"
#include "path_field.h"
#include "plugin_host.h"
#include "source_length.h"

class CWaveFile;
class PlayFollow;
class PositionRow;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;

/// Which job the window believes runs; decides which controls are usable.
enum JobState : int {
    JOB_IDLE = 0,
    JOB_PLAYING = 1,
    JOB_SAVING = 2,
};

class CMainDialog : public QDialog {
    Q_OBJECT
public:
    /// Builds the window, starts the engine's worker, loads the plug-ins of
    /// `pluginFolder` into the tabs, starts the one-second timer and warns
    /// once when there is no playback device.
    explicit CMainDialog(const std::string& pluginFolder, QWidget* parent = nullptr);
    /// Shut-down: stops a running job, ends every plug-in panel, unloads the
    /// plug-ins, then ends the worker and waits for it. Never asks anything.
    ~CMainDialog() override;

    /// Enables the controls for the job state and writes the progress into
    /// the two action buttons.
    void RefreshControls();

    JobState CurrentJobState() const { return jobState_; }
    /// The control with a MainControlId.
    QWidget* Control(int id) const { return controls_.at(id); }
    QTabWidget* EffectTabs() const { return tabs_; }
    PositionRow* Position() const { return positionRow_; }
    const PluginHost& Plugins() const { return plugins_; }
    /// The engine, so that its state can be watched; null if it could not start.
    const CWaveFile* Engine() const { return engine_.get(); }
    PlaybackSettings& Playback() { return playback_; }
    SaveFormat& Format() { return saveFormat_; }

    /// Opens the about box modally.
    void ShowAbout();

    /// Closing the window while it waits on the worker is held back until
    /// the wait ends (and ends the wait).
    void done(int result) override;

    /// True once a window has shut down with a worker that a plug-in held
    /// beyond the time limit: the process is to end without unloading
    /// anything (see CWaveFile::QuitWorker).
    static bool WorkerAbandoned();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// The dialog keys: Escape closes the window; Enter presses the focused
    /// push button, and closes the window when the focus is elsewhere.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void StartEngine();
    void CreateEffectTabs(const std::string& pluginFolder);
    void PlacePanels();
    void ShowSelectedPanel(int selected);
    void WarnIfNoPlaybackDevice();
    /// No push button of the window or of a panel is a default button, so
    /// Enter in a field never presses one behind the user's back.
    void ClearDefaultButtons();

    void OnPlayClicked();
    void OnSaveClicked();
    /// The common start of a play or save job; true when the job runs.
    bool StartJob(bool saving);
    void BrowseInto(PathField& path, FileChoiceKind kind);
    void OnEngineMessage(int message, std::uintptr_t wParam, std::intptr_t lParam);
    /// The message for a job that ended as `end` (a JobEnd value) with
    /// `failedPlugin` the chain position of a plug-in that failed; empty for
    /// an end that is not reported.
    QString JobEndMessage(std::intptr_t end, std::uintptr_t failedPlugin, bool saving) const;
    /// The engine's wait hook: keeps the window painting and answering
    /// (input held back) during a long wait; false to give the wait up.
    bool KeepWaitingForEngine();
    /// Runs `action` from the event loop once no handler is waiting on the
    /// engine any more.
    void AfterEngineWait(std::function<void()> action);
    void ShutDown();
    /// SIGTERM, SIGHUP or SIGINT: closes the dialogs over the window, then
    /// the window, as the close button does.
    void CloseForSignal();
    int ProgressPercentNow() const;

    // Listening (main_dialog_listening.cpp): the position row, its keys,
    // and the play's start, moves and end.
    void CreatePositionRow();
    void CreateListeningKeys();
    /// Reads the length of the source named in the field into the row.
    void ReadSourceIntoRow();
    void OnPositionChosen(qint64 milliseconds);
    void ApplyLoop();
    /// Before a play starts: where it starts and the loop.
    void PrepareListening();
    void FollowPlay();
    /// After a play: the poll stops; a play that ended by itself
    /// (`reachedEnd`) returns the row to its start.
    void EndListening(bool reachedEnd);

    std::unique_ptr<CWaveFile> engine_;  // null if the worker could not start
    PluginHost plugins_;
    JobState jobState_ = JOB_IDLE;
    PlaybackSettings playback_;
    SaveFormat saveFormat_;

    std::map<int, QWidget*> controls_;  // children of this window
    QLineEdit* sourceField_ = nullptr;
    QLineEdit* outputField_ = nullptr;
    PathField sourcePath_;  // sourceField_ with the bytes of a dropped or chosen name
    PathField outputPath_;
    QPushButton* playButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* tabPageArea_ = nullptr;  // the tab control's page stack
    QTimer* progressTimer_ = nullptr;
    PositionRow* positionRow_ = nullptr;
    PlayFollow* playFollow_ = nullptr;
    QTimer* sourceLengthTimer_ = nullptr;  // reads the length once typing pauses
    SourceLength sourceLength_;
    bool shutDown_ = false;
    bool closedBySignal_ = false;  // shut-down then waits less for a held worker
    std::chrono::steady_clock::time_point shutDownDeadline_;
    bool insideEngineWait_ = false;  // the wait hook is handling events
    bool closeRequested_ = false;    // closing was asked for during a wait
    bool startingPlay_ = false;      // a play's start is waited on: see PlayStartInput
    bool stopPressedWhileStarting_ = false;
};
