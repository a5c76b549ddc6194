// The position row: its controls, the time text, and the A/B marks.
#include "position_row.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

QString ClockText(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1000;
    const auto hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QChar('0')).arg(rest, 2, 10, QChar('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QChar('0'));
}

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void PositionSlider::SetMarks(std::int64_t start, std::int64_t end) {
    start_ = start;
    end_ = end;
    update();
}

void PositionSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    for (const std::int64_t mark : {start_, end_}) {
        if (mark < 0 || maximum() <= 0) continue;
        const int x = groove.left() + static_cast<int>(mark * groove.width() / maximum());
        painter.drawLine(x, rect().top(), x, rect().bottom());
    }
}

PositionRow::PositionRow(QWidget* parent) : QWidget(parent) {
    slider_ = new PositionSlider(this);
    slider_->setAccessibleName(QString::fromUtf8(positionrow::kSliderName));
    slider_->setToolTip(QString::fromUtf8(positionrow::kKeysHelp));
    slider_->setSingleStep(1000);
    slider_->setPageStep(5000);
    time_ = new QLabel(this);
    time_->setAccessibleName(QString::fromUtf8(positionrow::kTimeName));
    startButton_ = new QPushButton(QString::fromUtf8(positionrow::kLoopStart), this);
    endButton_ = new QPushButton(QString::fromUtf8(positionrow::kLoopEnd), this);
    loop_ = new QCheckBox(QString::fromUtf8(positionrow::kLoop), this);
    for (QPushButton* button : {startButton_, endButton_}) {
        button->setAutoDefault(false);
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 12);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider_, 1);
    layout->addWidget(time_);
    layout->addWidget(startButton_);
    layout->addWidget(endButton_);
    layout->addWidget(loop_);

    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        ShowTime();
        if (!showing_) emit PositionChosen(value);
    });
    connect(startButton_, &QPushButton::clicked, this, &PositionRow::MarkStart);
    connect(endButton_, &QPushButton::clicked, this, &PositionRow::MarkEnd);
    connect(loop_, &QCheckBox::toggled, this, &PositionRow::LoopChanged);
    SetLength(-1);
}

void PositionRow::SetLength(std::int64_t milliseconds) {
    showing_ = true;
    slider_->setRange(0, static_cast<int>(std::clamp<std::int64_t>(milliseconds, 0, INT32_MAX)));
    slider_->setValue(0);
    showing_ = false;
    setEnabled(milliseconds >= 0);
    loopStart_ = loopEnd_ = -1;
    UpdateMarks();
    ShowTime();
}

void PositionRow::ShowPosition(std::int64_t milliseconds) {
    if (slider_->isSliderDown()) return;  // the user's drag wins
    showing_ = true;
    slider_->setValue(static_cast<int>(std::clamp<std::int64_t>(milliseconds, 0, slider_->maximum())));
    showing_ = false;
}

std::int64_t PositionRow::Position() const { return slider_->value(); }

void PositionRow::StepBy(std::int64_t milliseconds) {
    slider_->setValue(static_cast<int>(std::clamp<std::int64_t>(Position() + milliseconds, 0, slider_->maximum())));
}

void PositionRow::MarkStart() {
    loopStart_ = Position();
    if (loopEnd_ >= 0 && loopEnd_ <= loopStart_) loopEnd_ = -1;
    UpdateMarks();
}

void PositionRow::MarkEnd() {
    loopEnd_ = Position();
    if (loopStart_ >= 0 && loopStart_ >= loopEnd_) loopStart_ = -1;
    UpdateMarks();
}

void PositionRow::ToggleLoop() { loop_->toggle(); }

bool PositionRow::Looping() const { return loop_->isChecked(); }

void PositionRow::UpdateMarks() {
    slider_->SetMarks(loopStart_, loopEnd_);
    emit LoopChanged();
}

void PositionRow::ShowTime() {
    const QString text = ClockText(Position()) + QStringLiteral(" / ") + ClockText(slider_->maximum());
    time_->setText(text);
    // Qt 6.4 gives screen readers a named label's name, not its text.
    time_->setAccessibleDescription(text);
}
