// Demuxing and decoding with FFmpeg over a descriptor the engine opened.
#include "ffmpeg_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace {

/// Bytes FFmpeg reads from the file at a time.
constexpr int kIoBufferBytes = 64 * 1024;

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

/// Another file a container names (a playlist's entries, an MP4's external
/// data references) is never opened: the source is this one file.
int RefuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

/// FFmpeg's own messages would add lines of their own to stderr; the engine
/// logs one line with the reason of every failure instead.
void SilenceFfmpegLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace

FfmpegInput::~FfmpegInput() { Close(); }

void FfmpegInput::Close() {
    swr_free(&resampler_);
    av_frame_free(&decoded_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);  // leaves a custom io_ alone
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
    fd_ = -1;
    offset_ = 0;
    stream_ = -1;
    channels_ = 0;
    rate_ = 0;
    statedFrames_ = -1;
    draining_ = false;
    lastPacketCut_ = false;
    resamplerFormat_ = -1;
    resamplerRate_ = 0;
    resamplerChannels_ = 0;
    position_.store(0, std::memory_order_relaxed);
}

int FfmpegInput::ReadPacket(void* user, std::uint8_t* into, int size) {
    auto* self = static_cast<FfmpegInput*>(user);
    for (;;) {
        const ssize_t got = ::pread(self->fd_, into, static_cast<std::size_t>(size), self->offset_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return AVERROR(errno);
        if (got == 0) return AVERROR_EOF;
        self->offset_ += got;
        return static_cast<int>(got);
    }
}

std::int64_t FfmpegInput::Seek(void* user, std::int64_t offset, int whence) {
    auto* self = static_cast<FfmpegInput*>(user);
    struct stat status {};
    const std::int64_t size = ::fstat(self->fd_, &status) == 0 ? status.st_size : -1;
    if (whence & AVSEEK_SIZE) return size >= 0 ? size : AVERROR(errno);
    std::int64_t target = offset;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: break;
    case SEEK_CUR: target += self->offset_; break;
    case SEEK_END:
        if (size < 0) return AVERROR(errno);
        target += size;
        break;
    default: return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    self->offset_ = target;
    return target;
}

bool FfmpegInput::Open(int fd, const std::string& name, std::string& whyNot) {
    Close();
    SilenceFfmpegLog();
    fd_ = fd;
    struct stat status {};
    fileBytes_.store(::fstat(fd, &status) == 0 ? status.st_size : 0, std::memory_order_relaxed);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    io_ = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 0, this, ReadPacket, nullptr, Seek) : nullptr;
    format_ = avformat_alloc_context();
    packet_ = av_packet_alloc();
    decoded_ = av_frame_alloc();
    if (!io_ || !format_ || !packet_ || !decoded_) {
        if (!io_) av_free(buffer);
        whyNot = "out of memory";
        Close();
        return false;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->io_open = RefuseOtherFiles;
    int error = avformat_open_input(&format_, name.c_str(), nullptr, nullptr);  // frees format_ on failure
    if (error >= 0) error = avformat_find_stream_info(format_, nullptr);
    if (error < 0) {
        whyNot = "FFmpeg cannot read it: " + ErrorText(error);
        Close();
        return false;
    }
    // The first audio stream is the sound; every other stream is skipped
    // unread (a video's pictures, a cover image).
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* stream = format_->streams[i];
        if (stream_ < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            stream_ = static_cast<int>(i);
        } else {
            stream->discard = AVDISCARD_ALL;
        }
    }
    if (stream_ < 0) {
        whyNot = "it holds no sound (no audio stream)";
        Close();
        return false;
    }
    AVStream* stream = format_->streams[stream_];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    codec_ = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    error = codec_ ? avcodec_parameters_to_context(codec_, stream->codecpar) : AVERROR_DECODER_NOT_FOUND;
    if (error >= 0) {
        codec_->pkt_timebase = stream->time_base;
        error = avcodec_open2(codec_, decoder, nullptr);
    }
    if (error < 0) {
        whyNot = std::string("cannot decode its sound (") + avcodec_get_name(stream->codecpar->codec_id) +
                 "): " + ErrorText(error);
        Close();
        return false;
    }
    channels_ = stream->codecpar->ch_layout.nb_channels;
    rate_ = stream->codecpar->sample_rate;
    if (channels_ < 1 || rate_ <= 0) {
        whyNot = "its sound states no channels or no rate";
        Close();
        return false;
    }
    // A length estimated from the bit rate (an MP3 without a Xing header)
    // says nothing; one from the container's own header or index does.
    if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE &&
        format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        statedFrames_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate_});
    }
    return true;
}

FfmpegInput::Step FfmpegInput::Next(std::vector<double>& samples, std::string& why) {
    for (;;) {
        int error = avcodec_receive_frame(codec_, decoded_);
        if (error == 0) {
            const bool converted = Convert(samples, why);
            av_frame_unref(decoded_);
            return converted ? Step::Sound : Step::Failed;
        }
        if (error == AVERROR_EOF) {
            if (lastPacketCut_) {
                why = "the file ends inside a packet of its sound";
                return Step::Failed;
            }
            const std::size_t before = samples.size();
            Drain(samples);
            return samples.size() > before ? Step::Sound : Step::End;
        }
        // Rationale: a damaged frame is skipped, as players do; the sound
        // around it is still there.
        if (error != AVERROR(EAGAIN) && error != AVERROR_INVALIDDATA) {
            why = "cannot decode: " + ErrorText(error);
            return Step::Failed;
        }
        if (draining_) continue;
        error = av_read_frame(format_, packet_);
        if (error == AVERROR_EOF) {
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (error < 0) {
            why = "cannot read: " + ErrorText(error);
            return Step::Failed;
        }
        if (packet_->stream_index == stream_) {
            // A packet that the file holds only in part: the file was cut.
            lastPacketCut_ = (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0;
            const std::int64_t end = packet_->pos >= 0 ? packet_->pos + packet_->size : avio_tell(format_->pb);
            position_.store(end, std::memory_order_relaxed);
            error = avcodec_send_packet(codec_, packet_);
            if (error < 0 && error != AVERROR_INVALIDDATA && error != AVERROR(EAGAIN)) {
                av_packet_unref(packet_);
                why = "cannot decode: " + ErrorText(error);
                return Step::Failed;
            }
        }
        av_packet_unref(packet_);
    }
}

bool FfmpegInput::Convert(std::vector<double>& samples, std::string& why) {
    const int channels = decoded_->ch_layout.nb_channels;
    if (channels < 1 || decoded_->sample_rate <= 0 || decoded_->nb_samples <= 0) return true;  // nothing to hear
    if (decoded_->format != resamplerFormat_ || decoded_->sample_rate != resamplerRate_ ||
        channels != resamplerChannels_) {
        Drain(samples);
        swr_free(&resampler_);
        // Rationale: default layouts on both sides, so equal channel counts
        // pass through unmixed, whatever the stream calls its channels.
        AVChannelLayout in{};
        AVChannelLayout out{};
        av_channel_layout_default(&in, channels);
        av_channel_layout_default(&out, channels_);
        int error =
            swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_DBL, rate_, &in,
                                static_cast<AVSampleFormat>(decoded_->format), decoded_->sample_rate, 0, nullptr);
        if (error >= 0) error = swr_init(resampler_);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (error < 0) {
            why = "cannot convert its sound: " + ErrorText(error);
            return false;
        }
        resamplerFormat_ = decoded_->format;
        resamplerRate_ = decoded_->sample_rate;
        resamplerChannels_ = channels;
    }
    const int room = swr_get_out_samples(resampler_, decoded_->nb_samples);
    const std::size_t at = samples.size();
    samples.resize(at + static_cast<std::size_t>(room) * static_cast<std::size_t>(channels_));
    auto* into = reinterpret_cast<std::uint8_t*>(samples.data() + at);
    const int got = swr_convert(resampler_, &into, room, const_cast<const std::uint8_t**>(decoded_->extended_data),
                                decoded_->nb_samples);
    samples.resize(at + static_cast<std::size_t>(std::max(got, 0)) * static_cast<std::size_t>(channels_));
    if (got < 0) {
        why = "cannot convert its sound: " + ErrorText(got);
        return false;
    }
    return true;
}

void FfmpegInput::Drain(std::vector<double>& samples) {
    if (!resampler_) return;
    const int room = swr_get_out_samples(resampler_, 0);
    if (room <= 0) return;
    const std::size_t at = samples.size();
    samples.resize(at + static_cast<std::size_t>(room) * static_cast<std::size_t>(channels_));
    auto* into = reinterpret_cast<std::uint8_t*>(samples.data() + at);
    const int got = swr_convert(resampler_, &into, room, nullptr, 0);
    samples.resize(at + static_cast<std::size_t>(std::max(got, 0)) * static_cast<std::size_t>(channels_));
}
