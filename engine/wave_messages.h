// The engine's job-state values and the messages that pass between the window,
// the worker and the sound device's callback. Numbers are fixed: WM_USER-based
// as in the rest of the program's message vocabulary.
#pragma once

#include <cstdint>

inline constexpr int WM_USER_BASE = 1024;

inline constexpr int WM_WAVE_QUIT = WM_USER_BASE + 101;         // window -> worker
inline constexpr int WM_WAVE_PLAY_ENDED = WM_USER_BASE + 102;   // worker -> window
inline constexpr int WM_WAVE_BUFFER_DONE = WM_USER_BASE + 103;  // device callback -> worker; lParam: the buffer
inline constexpr int WM_WAVE_OPEN = WM_USER_BASE + 104;         // window -> worker
inline constexpr int WM_WAVE_PLAY = WM_USER_BASE + 105;         // window -> worker
inline constexpr int WM_WAVE_STOP_PLAY = WM_USER_BASE + 106;    // window -> worker
inline constexpr int WM_WAVE_SAVE = WM_USER_BASE + 107;         // window -> worker
inline constexpr int WM_WAVE_SAVE_ENDED = WM_USER_BASE + 108;   // worker -> window; lParam 1 completed, 0 stopped
inline constexpr int WM_WAVE_SEEK = WM_USER_BASE + 109;         // window -> worker; the target is in the engine

/// Values of the engine's state word WaveState.
enum WaveStateValue : int {
    WS_IDLE = 0,
    WS_PLAYING = 1,
    WS_SAVING = 2,
    WS_PLAY_REQUESTED = 10,
    WS_SAVE_REQUESTED = 11,
    WS_STOPPING_PLAY = 12,
    WS_OPEN_REQUESTED = 14,
    WS_OPENED = 15,
    WS_STOP_SAVE_REQUESTED = 22,
};

/// Source frames per processing block, for both jobs.
inline constexpr int SourceBlockFrames = 65536;
