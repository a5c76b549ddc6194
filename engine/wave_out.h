// The wave-out layer: a small playback device over SDL2 audio with the
// operations the play job uses. Buffers are queued by pointer, played in
// order, and each written buffer comes back exactly once through the done
// callback: when it has been played, or at once when the device is reset.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>

/// One queued buffer. The engine owns the header and its data; the device
/// reads `data` from Write until the buffer comes back, so the engine must not
/// touch `data` or `length` in between.
struct WaveOutHeader {
    std::uint8_t* data = nullptr;  ///< PCM bytes, owned by the engine
    int length = 0;                ///< bytes to play
    bool prepared = false;         ///< set by Prepare, cleared by Unprepare
    // The device's own bookkeeping, changed only under the device lock.
    bool queued = false;            ///< between Write and its return
    WaveOutHeader* next = nullptr;  ///< the buffer queued behind this one
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
/// buffers, with SDL's device lock held: it must not allocate, block or call
/// back into the device. Runs on the caller's thread inside Reset and Close
/// for buffers handed back there.
using WaveOutDoneCallback = void (*)(void* instance, WaveOutHeader* header);

class WaveOut {
public:
    WaveOut() = default;
    ~WaveOut();  ///< closes the device if still open
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    /// Opens device `device` (an index into WaveOutDeviceNames(), or -1 for
    /// the default device) paused, in exactly `format`. False when the device
    /// does not exist or refuses, the format is not one of those above, the
    /// sound system is unavailable, or this object is already open.
    bool Open(int device, const WaveOutFormat& format, WaveOutDoneCallback done, void* instance);
    bool IsOpen() const;
    /// True when the open device has stopped working for good (its sound
    /// server went away, it was unplugged): it will not play or hand back
    /// anything any more, and only Close is left to do.
    bool IsLost() const;
    /// Device periods the device has played from silence since its queue
    /// last ran empty; 0 while a buffer is queued. Once the last buffer has
    /// come back, this tells how far the device has played past it.
    int IdlePeriods() const;
    /// Holds the sound; queued buffers wait. The device still plays silence
    /// meanwhile, which a sound server buffers ahead of what comes next.
    void Pause();
    void Restart();  ///< starts or resumes the sound
    /// Hands back every queued buffer at once, in queue order, through the done
    /// callback on the caller's thread. The device stays open and keeps its
    /// paused or running state; it plays silence until the next Write.
    /// `unplayed`, when given, receives the bytes of the first buffer that
    /// the device had not yet taken (they stay the engine's, as they were):
    /// the sound that would have come next.
    void Reset(std::span<const std::uint8_t>* unplayed = nullptr);
    /// [any thread] Bytes of queued buffers the device has taken since it
    /// was opened.
    std::int64_t PlayedBytes() const;
    /// Frames the device and its sound server are estimated to hold between
    /// taking a byte and playing it: 0 for SDL's disk and dummy drivers,
    /// half of one period plus the server's buffer otherwise (the mean).
    int HeldFrames() const;
    void Prepare(WaveOutHeader* header);
    /// Queues a prepared buffer behind those already queued. False (and the
    /// buffer will not come back) when the device is closed, the buffer is not
    /// prepared or is still queued, or its length is negative.
    bool Write(WaveOutHeader* header);
    /// Clears `prepared`; refused (false) while the buffer is queued.
    bool Unprepare(WaveOutHeader* header);
    /// Closes the device. Buffers still queued are handed back first, on the
    /// caller's thread; once Close returns, no callback runs any more.
    void Close();

private:
    struct Device;
    Device* device_ = nullptr;  // owned
};

/// [start-up, before any other thread exists] Asks desktop sound servers
/// (PulseAudio, PipeWire's pulse server) for about 100 ms of stream buffer,
/// unless the user has chosen one in PULSE_LATENCY_MSEC. SDL sizes that
/// buffer from its period alone, which leaves the audio thread no slack on
/// a busy machine; this is the only knob the sound client offers, and it is
/// read from the environment, hence the call before other threads run.
void PrepareSoundServerBuffering();

/// Serialises the SDL audio calls that are not safe to make from two threads
/// at once: subsystem start and end, device listing, device open and close.
/// Never taken by the audio callback, so holding it cannot stall the sound.
std::unique_lock<std::mutex> LockSdlAudio();
/// With LockSdlAudio held: starts SDL's audio subsystem, or takes one more
/// reference to it. False (and nothing to give back) when it cannot start.
bool AcquireSdlAudio();
/// With LockSdlAudio held: gives back one reference taken by AcquireSdlAudio.
void ReleaseSdlAudio();
