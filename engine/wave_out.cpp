// The wave-out device over SDL2: an intrusive queue of engine-owned buffers
// that SDL's audio callback drains into the device stream. Queue changes on
// the caller's side happen under SDL's device lock, which SDL also holds
// around every callback, so each buffer leaves the queue exactly once: played
// (reported from the audio thread) or handed back by Reset/Close (reported on
// the caller's thread).
#include "wave_out.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "failure_log.h"

namespace {

std::mutex& SdlAudioMutex() {
    static std::mutex mutex;
    return mutex;
}

// Frames SDL asks for per callback: the smallest power of two that holds
// 40 ms of sound, within 256 .. 8192 (46 ms at 22050 and 44100 Hz).
// Rationale: on a desktop sound server (PulseAudio, PipeWire) this is also
// about what the server buffers for the stream, so it is the slack the audio
// thread has when the machine is busy; 512 frames (12 to 23 ms) left audible
// gaps under load. A stop is heard within about two periods, since a reset
// only silences what the server has not yet received.
Uint16 FramesPerCallback(int rate) {
    const int target = rate / 25;
    int frames = 256;
    while (frames < 8192 && frames < target) frames *= 2;
    return static_cast<Uint16>(frames);
}

// The name under which sound servers list the program's stream.
constexpr char kAppName[] = "ZarevoPlus";

bool IsSupportedFormat(const WaveOutFormat& format) {
    return (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.samplesPerSec > 0;
}

// SDL keeps per-thread data (its error text) for every thread that calls it,
// and frees it by itself only for threads it created. This frees it when one
// of our threads (the worker, the window) ends.
struct SdlThreadData {
    ~SdlThreadData() { SDL_TLSCleanup(); }
};

}  // namespace

constexpr char kServerBufferVariable[] = "PULSE_LATENCY_MSEC";

void PrepareSoundServerBuffering() {
    // Rationale: 100 ms rode out two busy processes (and a far busier
    // machine) without gaps in nearly every play, while a stop is still
    // silent within about 100 ms: the server plays out what it holds.
    setenv(kServerBufferVariable, "100", 0);
}

namespace {

/// Frames between the device taking sound and the listener hearing it:
/// SDL's disk and dummy drivers write at once. Rationale for a sound server:
/// it keeps its buffer between about half and all of the size asked for, and
/// SDL's period is taken in one piece, so half of each is the mean delay
/// (measured through PulseAudio with 100 ms: 65 ms from a frame taken to the
/// frame heard; this estimate is 73 ms).
int EstimateHeldFrames(const SDL_AudioSpec& obtained) {
    const char* driver = SDL_GetCurrentAudioDriver();
    const std::string name = driver != nullptr ? driver : "";
    if (name == "disk" || name == "dummy") return 0;
    const char* serverMs = std::getenv(kServerBufferVariable);
    const long milliseconds = serverMs != nullptr ? std::strtol(serverMs, nullptr, 10) : 0;
    return (obtained.samples + static_cast<int>(std::clamp(milliseconds, 0L, 10000L) * obtained.freq / 1000)) / 2;
}

}  // namespace

std::unique_lock<std::mutex> LockSdlAudio() {
    thread_local SdlThreadData freedAtThreadEnd;
    (void)freedAtThreadEnd;
    return std::unique_lock<std::mutex>(SdlAudioMutex());
}

bool AcquireSdlAudio() {
    // Starting audio starts SDL's event subsystem, which would otherwise take
    // over SIGINT and SIGTERM and turn them into events that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_APP_NAME, kAppName);
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void ReleaseSdlAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

struct WaveOut::Device {
    SDL_AudioDeviceID id = 0;
    WaveOutDoneCallback done = nullptr;
    void* instance = nullptr;
    Uint8 silence = 0;
    // The queue, guarded by SDL's device lock.
    WaveOutHeader* head = nullptr;
    WaveOutHeader* tail = nullptr;
    int headOffset = 0;  // bytes of `head` already copied to the stream
    // Callbacks that found the queue empty since the last Write.
    std::atomic<int> idlePeriods{0};
    std::atomic<std::int64_t> playedBytes{0};
    int heldFrames = 0;

    // Unlinks the whole queue; the caller reports the buffers after unlocking.
    WaveOutHeader* TakeQueue(std::span<const std::uint8_t>* unplayed = nullptr) {
        SDL_LockAudioDevice(id);
        WaveOutHeader* taken = head;
        if (unplayed != nullptr) {
            *unplayed = head != nullptr
                            ? std::span<const std::uint8_t>(head->data + headOffset,
                                                            static_cast<std::size_t>(head->length - headOffset))
                            : std::span<const std::uint8_t>();
        }
        head = tail = nullptr;
        headOffset = 0;
        for (WaveOutHeader* h = taken; h != nullptr; h = h->next) h->queued = false;
        SDL_UnlockAudioDevice(id);
        return taken;
    }

    void HandBack(WaveOutHeader* taken) {
        while (taken != nullptr) {
            WaveOutHeader* following = taken->next;
            taken->next = nullptr;
            done(instance, taken);
            taken = following;
        }
    }

    // Pops the head (finished) and reports it. Audio thread, lock held.
    void FinishHead() {
        WaveOutHeader* finished = head;
        head = finished->next;
        if (head == nullptr) tail = nullptr;
        finished->next = nullptr;
        finished->queued = false;
        headOffset = 0;
        done(instance, finished);
    }

    // SDL's audio thread, with the device lock held: copies, reports, and
    // fills the rest with silence. No allocation, no other lock.
    static void SDLCALL Fill(void* userdata, Uint8* stream, int streamLength) {
        auto* self = static_cast<Device*>(userdata);
        if (self->head == nullptr) self->idlePeriods.fetch_add(1, std::memory_order_relaxed);
        int written = 0;
        while (self->head != nullptr) {
            WaveOutHeader* h = self->head;
            const int count = std::min(h->length - self->headOffset, streamLength - written);
            if (count > 0) {
                std::memcpy(stream + written, h->data + self->headOffset, static_cast<std::size_t>(count));
                written += count;
                self->headOffset += count;
                self->playedBytes.fetch_add(count, std::memory_order_relaxed);
            }
            if (self->headOffset < h->length) break;  // the stream is full
            self->FinishHead();
        }
        if (written < streamLength) {
            std::memset(stream + written, self->silence, static_cast<std::size_t>(streamLength - written));
        }
    }
};

WaveOut::~WaveOut() { Close(); }

bool WaveOut::Open(int device, const WaveOutFormat& format, WaveOutDoneCallback done, void* instance) {
    if (device_ != nullptr || done == nullptr || device < -1 || !IsSupportedFormat(format)) return false;
    auto opened = std::make_unique<Device>();
    opened->done = done;
    opened->instance = instance;

    SDL_AudioSpec wanted{};
    wanted.freq = format.samplesPerSec;
    wanted.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(format.channels);
    wanted.samples = FramesPerCallback(format.samplesPerSec);
    wanted.callback = &Device::Fill;
    wanted.userdata = opened.get();

    auto lock = LockSdlAudio();
    if (!AcquireSdlAudio()) return false;
    const char* name = nullptr;
    if (device >= 0) {
        // SDL's list is rebuilt at each subsystem start: resolve the index now.
        if (device >= SDL_GetNumAudioDevices(0) || (name = SDL_GetAudioDeviceName(device, 0)) == nullptr) {
            ReleaseSdlAudio();
            return false;
        }
    }
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to what the hardware takes.
    opened->id = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (opened->id == 0) {
        LogEngineFailure("cannot open the sound device %d: %s", device, SDL_GetError());
        ReleaseSdlAudio();
        return false;
    }
    opened->silence = obtained.silence;  // SDL opens the device paused
    opened->heldFrames = EstimateHeldFrames(obtained);
    device_ = opened.release();
    return true;
}

bool WaveOut::IsOpen() const { return device_ != nullptr; }

bool WaveOut::IsLost() const {
    // SDL marks a device that failed while open as stopped; paused and
    // playing devices are still there.
    return device_ != nullptr && SDL_GetAudioDeviceStatus(device_->id) == SDL_AUDIO_STOPPED;
}

int WaveOut::IdlePeriods() const {
    return device_ != nullptr ? device_->idlePeriods.load(std::memory_order_relaxed) : 0;
}

void WaveOut::Pause() {
    if (device_ != nullptr) SDL_PauseAudioDevice(device_->id, 1);
}

void WaveOut::Restart() {
    if (device_ != nullptr) SDL_PauseAudioDevice(device_->id, 0);
}

void WaveOut::Reset(std::span<const std::uint8_t>* unplayed) {
    if (device_ != nullptr) device_->HandBack(device_->TakeQueue(unplayed));
}

std::int64_t WaveOut::PlayedBytes() const {
    return device_ != nullptr ? device_->playedBytes.load(std::memory_order_relaxed) : 0;
}

int WaveOut::HeldFrames() const { return device_ != nullptr ? device_->heldFrames : 0; }

void WaveOut::Prepare(WaveOutHeader* header) {
    if (header != nullptr) header->prepared = true;
}

bool WaveOut::Write(WaveOutHeader* header) {
    if (device_ == nullptr || header == nullptr || !header->prepared || header->length < 0 ||
        (header->length > 0 && header->data == nullptr)) {
        return false;
    }
    bool accepted = false;
    SDL_LockAudioDevice(device_->id);
    if (!header->queued) {
        header->queued = true;
        header->next = nullptr;
        if (device_->tail != nullptr) {
            device_->tail->next = header;
        } else {
            device_->head = header;
        }
        device_->tail = header;
        device_->idlePeriods.store(0, std::memory_order_relaxed);
        accepted = true;
    }
    SDL_UnlockAudioDevice(device_->id);
    return accepted;
}

bool WaveOut::Unprepare(WaveOutHeader* header) {
    if (header == nullptr) return false;
    bool queued = false;
    if (device_ != nullptr) {
        SDL_LockAudioDevice(device_->id);
        queued = header->queued;
        SDL_UnlockAudioDevice(device_->id);
    }
    if (queued) return false;
    header->prepared = false;
    return true;
}

void WaveOut::Close() {
    if (device_ == nullptr) return;
    std::unique_ptr<Device> closing(device_);
    device_ = nullptr;
    // Stop the callback first: once SDL_CloseAudioDevice returns, SDL's audio
    // thread has ended, so nothing can report a buffer behind our back.
    WaveOutHeader* taken = closing->TakeQueue();
    {
        auto lock = LockSdlAudio();
        SDL_CloseAudioDevice(closing->id);
        ReleaseSdlAudio();
    }
    closing->HandBack(taken);
}
