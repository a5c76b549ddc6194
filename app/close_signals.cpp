// The self-pipe between the closing signals and the event loop.
#include "close_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

namespace {

constexpr std::array<int, 3> kCloseSignals = {SIGTERM, SIGHUP, SIGINT};

int PipeEnds[2] = {-1, -1};
volatile sig_atomic_t FirstCaught = 0;
std::array<struct sigaction, kCloseSignals.size()> Previous{};

void OnCloseSignal(int signal) {
    const int savedErrno = errno;  // the interrupted code may be looking at it
    if (FirstCaught == 0) FirstCaught = signal;
    const auto byte = static_cast<unsigned char>(signal);
    // Non-blocking: when the pipe is full, the window is already told.
    (void)::write(PipeEnds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

CloseSignals::CloseSignals(std::function<void(int)> close, QObject* parent)
    : QObject(parent), close_(std::move(close)) {
    if (::pipe2(PipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        PipeEnds[0] = PipeEnds[1] = -1;
        return;  // no pipe: the signals keep their default action
    }
    notifier_ = new QSocketNotifier(PipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseSignals::OnReadable);
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
        ::sigaction(kCloseSignals[i], &action, &Previous[i]);
    }
}

CloseSignals::~CloseSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < kCloseSignals.size(); ++i) {
        ::sigaction(kCloseSignals[i], &Previous[i], nullptr);
    }
    delete notifier_;
    ::close(PipeEnds[0]);
    ::close(PipeEnds[1]);
    PipeEnds[0] = PipeEnds[1] = -1;
}

int CloseSignals::Caught() { return FirstCaught; }

void CloseSignals::OnReadable() {
    unsigned char byte = 0;
    while (::read(PipeEnds[0], &byte, 1) == 1) {
        close_(byte);
    }
}
