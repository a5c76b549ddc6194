// The main window's position row under step 3: a slider over the source (in
// milliseconds) that follows the play and moves it, the time as text, the
// loop's two ends A and B, and the box that turns the loop on. It knows
// nothing of the engine: the window wires its signals to the play.
#pragma once

#include <QSlider>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace positionrow {

inline constexpr char kSliderName[] = "再生位置";
inline constexpr char kTimeName[] = "再生時刻";
inline constexpr char kLoopStart[] = "A";
inline constexpr char kLoopEnd[] = "B";
inline constexpr char kLoop[] = "区間ループ";
/// The keys of the row, shown as the slider's tooltip.
inline constexpr char kKeysHelp[] =
    "Ctrl+P: 再生/停止  Ctrl+←/→: 5秒戻る/進む  Ctrl+[ / Ctrl+]: A/B を設定  Ctrl+L: 区間ループ";

}  // namespace positionrow

/// "m:ss", or "h:mm:ss" from one hour on.
QString ClockText(std::int64_t milliseconds);

/// The slider, which also marks the loop's ends.
class PositionSlider : public QSlider {
public:
    explicit PositionSlider(QWidget* parent);
    /// Marks at A and B (milliseconds; below 0 for none).
    void SetMarks(std::int64_t start, std::int64_t end);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int64_t start_ = -1;
    std::int64_t end_ = -1;
};

class PositionRow : public QWidget {
    Q_OBJECT
public:
    explicit PositionRow(QWidget* parent);

    /// The source's length in milliseconds, or below 0 when it is not known
    /// (the row is then disabled). Moves the position to the start and
    /// forgets A and B.
    void SetLength(std::int64_t milliseconds);
    /// Shows where the play is, without asking to move it.
    void ShowPosition(std::int64_t milliseconds);
    std::int64_t Position() const;
    /// Where a play starts over: A when it is set, else the beginning.
    std::int64_t StartOver() const { return loopStart_ >= 0 ? loopStart_ : 0; }
    /// Moves the position by `milliseconds` as the user would.
    void StepBy(std::int64_t milliseconds);
    void MarkStart();  ///< A at the position
    void MarkEnd();    ///< B at the position
    void ToggleLoop();
    bool Looping() const;
    std::int64_t LoopStart() const { return loopStart_; }
    std::int64_t LoopEnd() const { return loopEnd_; }
    QSlider* Slider() const { return slider_; }

signals:
    /// The user set the position (drag, click, keys, accessibility).
    void PositionChosen(qint64 milliseconds);
    /// The loop's box, A or B changed.
    void LoopChanged();

private:
    void ShowTime();
    void UpdateMarks();

    PositionSlider* slider_ = nullptr;
    QLabel* time_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* endButton_ = nullptr;
    QCheckBox* loop_ = nullptr;
    std::int64_t loopStart_ = -1;
    std::int64_t loopEnd_ = -1;
    bool showing_ = false;  // a value set by the play, not by the user
};
