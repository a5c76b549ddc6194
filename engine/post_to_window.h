// The engine's only way to talk to the window: a thread-safe target that
// delivers (message, wParam, lParam) to the GUI thread later. The app turns it
// into a queued call; tests into a queue they can wait on.
#pragma once

#include <cstdint>
#include <functional>

/// Called on the worker thread; must return at once and be safe to call from
/// any thread. The window receives the message on its own thread.
using PostToWindow = std::function<void(int message, std::uintptr_t wParam, std::intptr_t lParam)>;
