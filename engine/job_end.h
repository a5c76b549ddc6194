// How a job ended: the lParam of WM_WAVE_SAVE_ENDED and WM_WAVE_PLAY_ENDED.
// Stopped (0) and Completed (1) keep the values the window has always read;
// the failures after them let the window say what went wrong instead of
// reporting every failure as an interruption.
#pragma once

#include <cstdint>

enum class JobEnd : std::intptr_t {
    Stopped = 0,       ///< the user stopped it (停止, closing the window)
    Completed = 1,     ///< every block of the source went through
    ReadFailed = 2,    ///< the source could not be read to its end
    WriteFailed = 3,   ///< the output file could not be written
    DiskFull = 4,      ///< the output's file system ran out of space
    SizeLimit = 5,     ///< the output reached the WAV size fields' limit; kept up to there
    PluginFailed = 6,  ///< a plug-in failed (threw); wParam is its position in the chain
    DeviceLost = 7,    ///< the sound device went away during a play
};
