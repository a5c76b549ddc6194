// The worker's raised priority during a play, and its return afterwards.
#include "thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace {

/// Nice steps above the window. Rationale: on a machine kept busy by other
/// programs, the worker makes the first three blocks of a play (and the
/// sound device's thread feeds the server) while competing for the cores;
/// five steps give it about three times their share, which keeps the first
/// sound and the refills on time without starving the desktop.
constexpr int kRaisedSteps = 5;

/// What RaiseThreadPriority returns when it could not read the priority (and
/// so left it alone): nothing to restore.
constexpr int kUnknownNice = -1000;

}  // namespace

int RaiseThreadPriority() {
    // On Linux a thread id names one thread for these calls.
    const pid_t thread = gettid();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (nice == -1 && errno != 0) return kUnknownNice;
    // A refusal (EACCES, EPERM) leaves the priority as it was: nothing to do.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice - kRaisedSteps);
    return nice;
}

void RestoreThreadPriority(int nice) {
    if (nice != kUnknownNice) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}
