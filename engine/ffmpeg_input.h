// The first audio stream of a file, demuxed and decoded with FFmpeg's
// libraries and handed on as interleaved doubles at full scale 1.0, piece by
// piece as the decoder delivers them. The file is read only through the
// descriptor it is given: no name is ever opened as a URL, and a container
// that refers to other files (a playlist) cannot reach them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

class FfmpegInput {
public:
    FfmpegInput() = default;
    ~FfmpegInput();
    FfmpegInput(const FfmpegInput&) = delete;
    FfmpegInput& operator=(const FfmpegInput&) = delete;

    /// Opens the first audio stream of the file on `fd` (read from its
    /// start; the descriptor stays the caller's). `name` only helps FFmpeg
    /// guess the format by its extension. False with `whyNot` set when
    /// FFmpeg cannot open the file, it has no audio stream, or the stream
    /// has no decoder, no rate or no channels.
    bool Open(int fd, const std::string& name, std::string& whyNot);
    void Close();

    /// Channels and rate of the sound, as its first piece has them; a later
    /// part in another format (a chained stream) is converted to these.
    int Channels() const { return channels_; }
    int Rate() const { return rate_; }
    /// Frames the container states exactly (the header of an MP4, FLAC or
    /// WAV, the Xing header of an MP3); -1 when it states none or only an
    /// estimate.
    std::int64_t StatedFrames() const { return statedFrames_; }

    /// What one decode step brought.
    enum class Step { Sound, End, Failed };
    /// Appends the next decoded piece to `samples` (interleaved, Channels()
    /// each). Failed, with `why` set, when the file could not be read or a
    /// packet came truncated; End at the end of the stream.
    Step Next(std::vector<double>& samples, std::string& why);

    /// [any thread] Where in the file the last packet of the sound ends, and
    /// the file's size: the progress of a file whose length shows only at
    /// its end. (Not the bytes read: opening reads ahead to learn the format.)
    std::int64_t Position() const { return position_.load(std::memory_order_relaxed); }
    std::int64_t FileBytes() const { return fileBytes_.load(std::memory_order_relaxed); }

private:
    static int ReadPacket(void* user, std::uint8_t* into, int size);
    static std::int64_t Seek(void* user, std::int64_t offset, int whence);
    /// Converts decoded_ to the output format and appends it to `samples`.
    bool Convert(std::vector<double>& samples, std::string& why);
    /// Appends what the resampler still holds (only a changed rate leaves any).
    void Drain(std::vector<double>& samples);

    int fd_ = -1;
    std::int64_t offset_ = 0;  // where the next read of the file starts
    std::atomic<std::int64_t> fileBytes_{0};
    std::atomic<std::int64_t> position_{0};
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* decoded_ = nullptr;
    SwrContext* resampler_ = nullptr;
    int stream_ = -1;
    int channels_ = 0;
    int rate_ = 0;
    std::int64_t statedFrames_ = -1;
    bool draining_ = false;       // the decoder has had its last packet
    bool lastPacketCut_ = false;  // the last packet read was not whole
    // The input format the resampler is set up for.
    int resamplerFormat_ = -1;
    int resamplerRate_ = 0;
    int resamplerChannels_ = 0;
};
