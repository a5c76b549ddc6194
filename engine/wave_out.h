// The wave-out layer: a small playback device over SDL2 audio with the
// operations the play job uses. Buffers are queued by pointer, played in
// order, and each written buffer comes back exactly once through the done
// callback: when it has been played, or at once when the device is reset.
#pragma once

#include <cstdint>

/// One queued buffer. The engine owns the header and its data; the device
/// reads `data` from Write until the buffer comes back.
struct WaveOutHeader {
    std::uint8_t* data = nullptr;  ///< PCM bytes, owned by the engine
    int length = 0;                ///< bytes to play
    bool prepared = false;         ///< set by Prepare, cleared by Unprepare
};

/// The PCM format given to the device: 8-bit unsigned or 16-bit signed
/// little-endian, 1 or 2 channels, any positive rate. SDL converts to what
/// the hardware takes, so the bytes are played as written.
struct WaveOutFormat {
    int channels = 2;
    int samplesPerSec = 44100;
    int bitsPerSample = 16;
};

/// Reports a buffer that came back. Runs on SDL's audio thread for played
/// buffers (it must copy nothing, allocate nothing and not block), and on the
/// caller's thread inside Reset for buffers handed back by a reset.
using WaveOutDoneCallback = void (*)(void* instance, WaveOutHeader* header);

class WaveOut {
public:
    WaveOut() = default;
    ~WaveOut();  ///< closes the device if still open
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    /// Opens device `device` (an index into WaveOutDeviceNames(), or -1 for
    /// the default device). False when the device does not exist or refuses.
    bool Open(int device, const WaveOutFormat& format, WaveOutDoneCallback done, void* instance);
    bool IsOpen() const;
    void Pause();    ///< holds the sound; queued buffers wait
    void Restart();  ///< starts or resumes the sound
    /// Stops the sound and hands back every queued buffer at once, in queue
    /// order, through the done callback.
    void Reset();
    void Prepare(WaveOutHeader* header);
    /// Queues a prepared buffer behind those already queued.
    void Write(WaveOutHeader* header);
    void Unprepare(WaveOutHeader* header);
    /// Closes the device. Buffers still queued are handed back first.
    void Close();

private:
    struct Device;
    Device* device_ = nullptr;  // owned
};
