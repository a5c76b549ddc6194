// CMainDialog's play and save buttons: starting a job on the engine, stopping
// it, the progress in the button texts, and the engine's two end messages.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "job_end.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "messages.h"
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
    for (int id : {IDC_SAVE_FORMAT, IDC_BROWSE_SOURCE, IDC_PLAYBACK_SETTINGS, IDC_BROWSE_OUTPUT,
                   IDC_SOURCE_PATH, IDC_OUTPUT_PATH}) {
        controls_.at(id)->setEnabled(idle);
    }
    const int percent = idle ? 0 : ProgressPercentNow();
    SetButtonText(saveButton_, jobState_ == JOB_SAVING
                                   ? QString::fromUtf8(mainwindow::kInterruptSaveFormat).arg(percent)
                                   : QString::fromUtf8(mainwindow::kSave));
    SetButtonText(playButton_, jobState_ == JOB_PLAYING
                                   ? QString::fromUtf8(mainwindow::kStopPlayFormat).arg(percent)
                                   : QString::fromUtf8(mainwindow::kPlay));
}

void CMainDialog::OnPlayClicked() {
    switch (jobState_) {
    case JOB_SAVING:
        ShowMessage(this, messages::kWritingInProgress);
        return;
    case JOB_PLAYING:
        // A play that ended by itself just before the press (StopPlay waits
        // for such an end to finish) leaves the engine idle: nothing failed,
        // and the end message on its way finds the window idle.
        if (engine_ && (engine_->StopPlay() || engine_->State() == WS_IDLE)) {
            jobState_ = JOB_IDLE;
            RefreshControls();
        } else {
            ShowMessage(this, messages::kStopPlayFailed);
        }
        return;
    case JOB_IDLE:
        if (StartJob(false)) {
            jobState_ = JOB_PLAYING;
            RefreshControls();
        }
        return;
    }
}

void CMainDialog::OnSaveClicked() {
    switch (jobState_) {
    case JOB_PLAYING:
        ShowMessage(this, messages::kPlayingInProgress);
        return;
    case JOB_SAVING:
        // A stopped save still sends its end message, which reports the
        // interruption; a save that had just completed reports completion.
        if (engine_ && (engine_->StopSave() || engine_->State() == WS_IDLE)) {
            jobState_ = JOB_IDLE;
            RefreshControls();
        } else {
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
    const std::string sourcePath = QFile::encodeName(sourceField_->text()).toStdString();
    const std::string outputPath = QFile::encodeName(outputField_->text()).toStdString();
    const int channels = saving ? saveFormat_.channels : playback_.channels;
    const int rate = saving ? ResolveRate(saveFormat_) : ResolveRate(playback_);
    const int bits = saving ? saveFormat_.bits : playback_.bits;
    const int device = saving ? -1 : playback_.device;

    WaitCursor cursor;
    if (!engine_ || !engine_->PrepareJob(plugins_.Modules(), sourcePath, outputPath, channels, rate, bits,
                                         SourceBlockFrames, device)) {
        cursor.Restore();
        ShowMessage(this, texts.openFailed);
        return false;
    }
    const bool started = saving ? engine_->StartSave() : engine_->StartPlay();
    cursor.Restore();
    if (!started) ShowMessage(this, texts.startFailed);
    return started;
}

void CMainDialog::OnEngineMessage(int message, std::uintptr_t, std::intptr_t lParam) {
    if (message == WM_WAVE_PLAY_ENDED) {
        jobState_ = JOB_IDLE;
        RefreshControls();
        // A play that ran to its end, or was stopped, needs no word; a lost
        // sound device does, or the user would wonder why the sound stopped.
        if (static_cast<JobEnd>(lParam) == JobEnd::DeviceLost) ShowMessage(this, messages::kDeviceLost);
    } else if (message == WM_WAVE_SAVE_ENDED) {
        jobState_ = JOB_IDLE;
        RefreshControls();
        ShowMessage(this, lParam != 0 ? messages::kConversionFinished : messages::kConversionInterrupted);
    }
}
