// The wave-out device over SDL2: an intrusive queue of engine-owned buffers
// that SDL's audio callback drains into the device stream. Queue changes on
// the caller's side happen under SDL's device lock, which SDL also holds
// around every callback, so each buffer leaves the queue exactly once: played
// (reported from the audio thread) or handed back by Reset/Close (reported on
// the caller's thread).
#include "wave_out.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "failure_log.h"

namespace {

std::mutex& SdlAudioMutex() {
    static std::mutex mutex;
    return mutex;
}

// Frames SDL asks for per callback: the power of two nearest to 20 ms of
// sound, within 64 .. 4096. Rationale: SDL lets two such buffers drain when a
// device closes, so this bounds how long a stop takes (about 40 ms at any
// rate above 3200 Hz), while the audio thread still wakes only about 50 times
// a second.
Uint16 FramesPerCallback(int rate) {
    const int target = rate / 50;
    int frames = 64;
    while (frames < 4096 && frames * 3 / 2 < target) frames *= 2;
    return static_cast<Uint16>(frames);
}

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

std::unique_lock<std::mutex> LockSdlAudio() {
    thread_local SdlThreadData freedAtThreadEnd;
    (void)freedAtThreadEnd;
    return std::unique_lock<std::mutex>(SdlAudioMutex());
}

bool AcquireSdlAudio() {
    // Starting audio starts SDL's event subsystem, which would otherwise take
    // over SIGINT and SIGTERM and turn them into events that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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

    // Unlinks the whole queue; the caller reports the buffers after unlocking.
    WaveOutHeader* TakeQueue() {
        SDL_LockAudioDevice(id);
        WaveOutHeader* taken = head;
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
        int written = 0;
        while (self->head != nullptr) {
            WaveOutHeader* h = self->head;
            const int count = std::min(h->length - self->headOffset, streamLength - written);
            if (count > 0) {
                std::memcpy(stream + written, h->data + self->headOffset, static_cast<std::size_t>(count));
                written += count;
                self->headOffset += count;
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
    device_ = opened.release();
    return true;
}

bool WaveOut::IsOpen() const { return device_ != nullptr; }

void WaveOut::Pause() {
    if (device_ != nullptr) SDL_PauseAudioDevice(device_->id, 1);
}

void WaveOut::Restart() {
    if (device_ != nullptr) SDL_PauseAudioDevice(device_->id, 0);
}

void WaveOut::Reset() {
    if (device_ != nullptr) device_->HandBack(device_->TakeQueue());
}

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
