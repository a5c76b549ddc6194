// CMainDialog's play and save buttons: starting a job on the engine, stopping
// it, the progress in the button texts, and the engine's two end messages.
// While the window waits on the worker longer than a moment it keeps painting
// and answering through the engine's wait hook; user input waits, and closing
// is held back until the wait ends.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "job_end.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "messages.h"
#include "output_kind.h"
#include "play_start_input.h"
#include "wave_file.h"

namespace {

/// The wait cursor for the blocking part of a job's start; the arrow comes
/// back before any message is shown.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

struct JobTexts {
    const char* openFailed;
    const char* startFailed;
};

void SetButtonText(QPushButton* button, const QString& text) {
    button->setText(text);
    button->setAccessibleName(text);
}

}  // namespace

int CMainDialog::ProgressPercentNow() const {
    if (!engine_) return 0;
    // All of the source is through; what the plug-ins still give back is
    // the end of the job, shown as done.
    if (engine_->Flushing()) return 100;
    return ProgressPercent(engine_->Consumed(), engine_->DataSize());
}

void CMainDialog::RefreshControls() {
    playButton_->setEnabled(jobState_ != JOB_SAVING);
    saveButton_->setEnabled(jobState_ != JOB_PLAYING);
    const bool idle = jobState_ == JOB_IDLE;
    for (int id : {IDC_SAVE_FORMAT, IDC_BROWSE_SOURCE, IDC_PLAYBACK_SETTINGS, IDC_BROWSE_OUTPUT, IDC_SOURCE_PATH,
                   IDC_OUTPUT_PATH}) {
        controls_.at(id)->setEnabled(idle);
    }
    const int percent = idle ? 0 : ProgressPercentNow();
    SetButtonText(saveButton_, jobState_ == JOB_SAVING
                                   ? QString::fromUtf8(mainwindow::kInterruptSaveFormat).arg(percent)
                                   : QString::fromUtf8(mainwindow::kSave));
    SetButtonText(playButton_, jobState_ == JOB_PLAYING ? QString::fromUtf8(mainwindow::kStopPlayFormat).arg(percent)
                                                        : QString::fromUtf8(mainwindow::kPlay));
}

void CMainDialog::OnPlayClicked() {
    switch (jobState_) {
    case JOB_SAVING: ShowMessage(this, messages::kWritingInProgress); return;
    case JOB_PLAYING:
        // A play that ended by itself just before the press (StopPlay waits
        // for such an end to finish) leaves the engine idle: nothing failed,
        // and the end message on its way finds the window idle.
        if (engine_ && (engine_->StopPlay() || engine_->State() == WS_IDLE)) {
            EndListening(false);
            jobState_ = JOB_IDLE;
            RefreshControls();
        } else {
            ShowMessage(this, messages::kStopPlayFailed);
        }
        return;
    case JOB_IDLE: {
        // The button's press during the start is the stop it reads once the
        // play has started: the engine ends the start after the plug-in call
        // in progress, or, pressed in its last moment, the play is stopped
        // as soon as it has started.
        stopPressedWhileStarting_ = false;
        startingPlay_ = true;
        bool started = false;
        {
            PlayStartInput input(playButton_, [this] {
                stopPressedWhileStarting_ = true;
                if (engine_) engine_->StopPlayStart();
            });
            started = StartJob(false);
        }
        startingPlay_ = false;
        const bool stopFailed =
            started && stopPressedWhileStarting_ && !engine_->StopPlay() && engine_->State() != WS_IDLE;
        jobState_ = started && (!stopPressedWhileStarting_ || stopFailed) ? JOB_PLAYING : JOB_IDLE;
        if (jobState_ == JOB_PLAYING) FollowPlay();
        RefreshControls();
        if (stopFailed) ShowMessage(this, messages::kStopPlayFailed);
        return;
    }
    }
}

void CMainDialog::OnSaveClicked() {
    switch (jobState_) {
    case JOB_PLAYING: ShowMessage(this, messages::kPlayingInProgress); return;
    case JOB_SAVING:
        // A stopped save still sends its end message, which reports the
        // interruption; a save that had just completed reports completion.
        if (engine_ && (engine_->StopSave() || engine_->State() == WS_IDLE)) {
            jobState_ = JOB_IDLE;
            RefreshControls();
        } else if (!closeRequested_) {
            ShowMessage(this, messages::kStopSaveFailed);
        }
        return;
    case JOB_IDLE:
        if (StartJob(true)) {
            jobState_ = JOB_SAVING;
            RefreshControls();
        }
        return;
    }
}

bool CMainDialog::StartJob(bool saving) {
    const JobTexts texts = saving ? JobTexts{messages::kOpenSaveFailed, messages::kStartSaveFailed}
                                  : JobTexts{messages::kOpenPlayFailed, messages::kStartPlayFailed};
    // The texts are taken as they stand; the engine judges them.
    const std::string sourcePath = sourcePath_.Bytes().toStdString();
    const std::string outputPath = outputPath_.Bytes().toStdString();
    const int channels = saving ? saveFormat_.channels : playback_.channels;
    const int rate = saving ? ResolveRate(saveFormat_) : ResolveRate(playback_);
    const int bits = saving ? saveFormat_.bits : playback_.bits;
    const int device = saving ? -1 : playback_.device;

    // A rate the output's format cannot hold is refused before anything
    // starts; WAV takes every rate the engine accepts.
    const OutputKind kind = OutputKindOf(outputPath);
    if (saving && kind != OutputKind::Wav && !KindHoldsRate(kind, rate)) {
        ShowMessage(this, QString::fromUtf8(messages::kRateNotHeldFormat)
                              .arg(QString::fromUtf8(KindName(kind)), QString::number(rate),
                                   QString::fromStdString(ValidRatesText(kind))));
        return false;
    }

    WaitCursor cursor;
    if (!engine_ || !engine_->PrepareJob(plugins_.Modules(), sourcePath, outputPath, channels, rate, bits,
                                         SourceBlockFrames, device)) {
        cursor.Restore();
        if (closeRequested_) return false;  // the window is closing: nothing to tell
        const int failedPlugin = engine_ ? engine_->PluginFailedAtOpen() : -1;
        if (failedPlugin >= 0) {
            ShowMessage(this, JobEndMessage(static_cast<std::intptr_t>(JobEnd::PluginFailed),
                                            static_cast<std::uintptr_t>(failedPlugin), saving));
        } else {
            ShowMessage(this, texts.openFailed);
        }
        return false;
    }
    if (!saving && stopPressedWhileStarting_) return false;  // pressed while the plug-ins opened
    if (!saving) PrepareListening();
    const bool started = saving ? engine_->StartSave() : engine_->StartPlay();
    cursor.Restore();
    if (!started && !closeRequested_ && !(stopPressedWhileStarting_ && !saving)) {
        ShowMessage(this, texts.startFailed);
    }
    return started;
}

QString CMainDialog::JobEndMessage(std::intptr_t end, std::uintptr_t failedPlugin, bool saving) const {
    switch (static_cast<JobEnd>(end)) {
    case JobEnd::Stopped: return saving ? QString::fromUtf8(messages::kConversionInterrupted) : QString();
    case JobEnd::Completed: return saving ? QString::fromUtf8(messages::kConversionFinished) : QString();
    case JobEnd::ReadFailed: return QString::fromUtf8(messages::kSourceReadFailed);
    case JobEnd::WriteFailed: return QString::fromUtf8(messages::kOutputWriteFailed);
    case JobEnd::DiskFull: return QString::fromUtf8(messages::kDiskFull);
    case JobEnd::SizeLimit: return QString::fromUtf8(messages::kSizeLimitReached);
    case JobEnd::PluginFailed:
        // Tabs are in chain order, so the position names the tab.
        return QString::fromUtf8(messages::kPluginFailedFormat).arg(tabs_->tabText(static_cast<int>(failedPlugin)));
    case JobEnd::DeviceLost: return QString::fromUtf8(messages::kDeviceLost);
    }
    return QString::fromUtf8(messages::kConversionInterrupted);  // a code this window does not know
}

void CMainDialog::OnEngineMessage(int message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (insideEngineWait_) {
        // A handler is waiting on the engine and decides the job state when
        // the wait ends; the end of the job comes after that.
        AfterEngineWait([this, message, wParam, lParam] { OnEngineMessage(message, wParam, lParam); });
        return;
    }
    if (message == WM_WAVE_PLAY_ENDED) {
        if (jobState_ == JOB_PLAYING) EndListening(true);
        jobState_ = JOB_IDLE;
        RefreshControls();
        // A play that ran to its end, or was stopped, needs no word; a lost
        // sound device, a failed plug-in or an unreadable source does, or
        // the user would wonder why the sound stopped.
        const QString text = JobEndMessage(lParam, wParam, false);
        if (!text.isEmpty()) ShowMessage(this, text);
    } else if (message == WM_WAVE_SAVE_ENDED) {
        jobState_ = JOB_IDLE;
        RefreshControls();
        ShowMessage(this, JobEndMessage(lParam, wParam, true));
    }
}

bool CMainDialog::KeepWaitingForEngine() {
    if (shutDown_) {
        // The window is going: no events, and a limit, so that a plug-in
        // that does not return cannot hold the program open.
        return std::chrono::steady_clock::now() < shutDownDeadline_;
    }
    if (!QApplication::overrideCursor()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        AfterEngineWait([] { QApplication::restoreOverrideCursor(); });
    }
    insideEngineWait_ = true;
    // While a play starts, input goes to PlayStartInput, which keeps it
    // from the controls; any other wait holds input back.
    QCoreApplication::processEvents(startingPlay_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    insideEngineWait_ = false;
    return !closeRequested_;
}

void CMainDialog::AfterEngineWait(std::function<void()> action) {
    // Events the wait hook handles are still inside the waiting handler:
    // such an action is queued again until the handler has returned.
    QMetaObject::invokeMethod(
        this,
        [this, action = std::move(action)]() mutable {
            if (insideEngineWait_) {
                AfterEngineWait(std::move(action));
            } else {
                action();
            }
        },
        Qt::QueuedConnection);
}

void CMainDialog::done(int result) {
    if (insideEngineWait_) {
        closeRequested_ = true;
        AfterEngineWait([this, result] { done(result); });
        return;
    }
    QDialog::done(result);
}
