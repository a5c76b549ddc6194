// Scheduling priority for the threads whose delay the user hears.
#pragma once

/// Raises the calling thread's scheduling priority a few steps above the
/// rest of the program, where the system allows it (root, CAP_SYS_NICE or an
/// RLIMIT_NICE that permits it); elsewhere the thread keeps its priority.
/// Threads that this thread creates meanwhile inherit the raised priority.
/// Returns the nice value the thread had, for RestoreThreadPriority.
int RaiseThreadPriority();

/// Gives the calling thread the nice value `nice` again (a step down in
/// priority, which is always allowed).
void RestoreThreadPriority(int nice);
