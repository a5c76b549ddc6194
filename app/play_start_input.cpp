// Input during a play's start: the play button's press becomes the stop;
// every other input is dropped.
#include "play_start_input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

PlayStartInput::PlayStartInput(QPushButton* playButton, std::function<void()> stopPressed)
    : playButton_(playButton), stopPressed_(std::move(stopPressed)) {
    QApplication::instance()->installEventFilter(this);
}

PlayStartInput::~PlayStartInput() { QApplication::instance()->removeEventFilter(this); }

void PlayStartInput::Pressed() {
    if (pressed_) return;
    pressed_ = true;
    stopPressed_();
}

bool PlayStartInput::eventFilter(QObject*, QEvent* event) {
    // Rationale: input is dropped rather than held back, as a busy window
    // does; handed over after the start it would act on a window that has
    // changed under it. Each event is seen first where it enters the window
    // and goes no further, so a press counts once.
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = playButton_->mapFromGlobal(mouse->globalPosition().toPoint());
        if (mouse->button() == Qt::LeftButton && playButton_->isVisible() && playButton_->rect().contains(at)) {
            Pressed();
        }
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool activates =
            key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (activates && !key->isAutoRepeat() && QApplication::focusWidget() == playButton_) Pressed();
        return true;
    }
    case QEvent::Shortcut: return true;
    default: return event->isInputEvent();
    }
}
