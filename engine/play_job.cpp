// The play job: the handlers of WM_WAVE_PLAY, WM_WAVE_BUFFER_DONE and
// WM_WAVE_STOP_PLAY over the wave-out device. Placeholder until the playback
// side is written: a play request fails at once.
#include "wave_file.h"

void CWaveFile::HandlePlay() {
    state_.store(WS_IDLE);
}

void CWaveFile::HandleBufferDone(WaveOutHeader* header) {
    (void)header;
}

void CWaveFile::HandleStopPlay() {
    CallDestructers();
    state_.store(WS_IDLE);
}
