// CMainDialog's listening: it places the position row under step 3 and wires
// it, its keys and the play follower to the engine. The row and the follower
// do the work; this file only connects them.
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "play_follow.h"
#include "position_row.h"
#include "wave_file.h"

namespace {

/// How far Ctrl+Left and Ctrl+Right move the position.
constexpr std::int64_t kStepMilliseconds = 5000;
/// The pause in typing after which the source's length is read.
constexpr int kTypingPauseMs = 300;

}  // namespace

void CMainDialog::CreatePositionRow() {
    positionRow_ = new PositionRow(this);
    positionRow_->setGeometry(
        dialogkit::DialogUnits(font()).ToPixels(mainwindow::kPositionRowX, mainwindow::kPositionRowY,
                                                mainwindow::kPositionRowWidth, mainwindow::kPositionRowHeight));
    // In tab order the row follows step 3.
    QWidget::setTabOrder(controls_.at(IDC_PLAYBACK_SETTINGS), positionRow_);
    QWidget::setTabOrder(positionRow_, controls_.at(IDC_OUTPUT_PATH));
    playFollow_ = new PlayFollow(engine_.get(), positionRow_, this);
    connect(positionRow_, &PositionRow::PositionChosen, this, &CMainDialog::OnPositionChosen);
    connect(positionRow_, &PositionRow::LoopChanged, this, &CMainDialog::ApplyLoop);
    sourceLengthTimer_ = new QTimer(this);
    sourceLengthTimer_->setSingleShot(true);
    sourceLengthTimer_->setInterval(kTypingPauseMs);
    connect(sourceLengthTimer_, &QTimer::timeout, this, &CMainDialog::ReadSourceIntoRow);
    connect(sourceField_, &QLineEdit::textChanged, sourceLengthTimer_, qOverload<>(&QTimer::start));
}

void CMainDialog::CreateListeningKeys() {
    const auto bind = [this](const QKeySequence& keys, auto action) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    const auto playOrStop = [this] { playButton_->click(); };
    bind(QKeySequence(Qt::CTRL | Qt::Key_P), playOrStop);
    bind(QKeySequence(Qt::Key_MediaPlay), playOrStop);
    bind(QKeySequence(Qt::Key_MediaTogglePlayPause), playOrStop);
    bind(QKeySequence(Qt::Key_MediaPause), playOrStop);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { positionRow_->StepBy(-kStepMilliseconds); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { positionRow_->StepBy(kStepMilliseconds); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), [this] { positionRow_->MarkStart(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_BracketRight), [this] { positionRow_->MarkEnd(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_L), [this] { positionRow_->ToggleLoop(); });
}

void CMainDialog::ReadSourceIntoRow() {
    const std::optional<SourceLength> length = ReadSourceLength(sourcePath_.Bytes().toStdString());
    sourceLength_ = length.value_or(SourceLength{});
    positionRow_->SetLength(length && length->known ? sourceLength_.Milliseconds(sourceLength_.frames) : -1);
}

void CMainDialog::OnPositionChosen(qint64 milliseconds) {
    // While stopped the row alone keeps the position; the next play reads it.
    if (engine_ && jobState_ == JOB_PLAYING) engine_->SeekPlay(sourceLength_.Frame(milliseconds));
}

void CMainDialog::ApplyLoop() {
    if (!engine_) return;
    const std::int64_t start = positionRow_->LoopStart() >= 0 ? sourceLength_.Frame(positionRow_->LoopStart()) : 0;
    const std::int64_t end = positionRow_->LoopEnd() >= 0 ? sourceLength_.Frame(positionRow_->LoopEnd()) : 0;
    engine_->SetLoop(positionRow_->Looping(), start, end);
}

void CMainDialog::PrepareListening() {
    if (sourceLengthTimer_->isActive() || sourceLength_.rate == 0) {
        sourceLengthTimer_->stop();
        ReadSourceIntoRow();
    }
    engine_->SetPlayStart(positionRow_->isEnabled() ? sourceLength_.Frame(positionRow_->Position()) : 0);
    ApplyLoop();
}

void CMainDialog::FollowPlay() { playFollow_->Start(sourceLength_, plugins_.Descriptions()); }

void CMainDialog::EndListening(bool reachedEnd) {
    playFollow_->Stop();
    if (reachedEnd) positionRow_->ShowPosition(positionRow_->StartOver());
}
