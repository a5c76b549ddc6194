// SIGTERM, SIGHUP and SIGINT as a request to close the window. The handler
// only writes the signal's number into a pipe (all a handler may safely do);
// the event loop reads the pipe and runs the closing on the window thread, so
// a logout or a kill ends a save the way the close button does.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class CloseSignals : public QObject {
    Q_OBJECT
public:
    /// Catches the three signals from now on; `close` runs on this object's
    /// thread once per signal that arrives. One object at a time.
    explicit CloseSignals(std::function<void(int signal)> close, QObject* parent = nullptr);
    /// Puts the previous handlers back.
    ~CloseSignals() override;

    /// The first signal caught by any CloseSignals in this process, 0 if none.
    static int Caught();

private:
    void OnReadable();

    std::function<void(int)> close_;
    QSocketNotifier* notifier_ = nullptr;
};
