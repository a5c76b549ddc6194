// The user's input while a play starts. The window then waits for the engine
// to make the first blocks, which a slow plug-in can stretch to seconds; the
// input is not handed to the controls meanwhile, but a press of the play
// button (a click, or Space or Enter while it has the focus) is taken as the
// stop it stands for, so the start can end after the plug-in call in progress.
#pragma once

#include <QObject>
#include <functional>

class QPushButton;

class PlayStartInput : public QObject {
public:
    /// Watches the whole application's input from now on; `stopPressed` runs
    /// at the first press of `playButton`.
    PlayStartInput(QPushButton* playButton, std::function<void()> stopPressed);
    /// Hands input back to the controls.
    ~PlayStartInput() override;
    PlayStartInput(const PlayStartInput&) = delete;
    PlayStartInput& operator=(const PlayStartInput&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Pressed();

    QPushButton* playButton_;  // owned by the window
    std::function<void()> stopPressed_;
    bool pressed_ = false;
};
