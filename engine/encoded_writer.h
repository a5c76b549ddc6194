// The output of a save in an encoded format (FLAC, Ogg Vorbis, Opus, MP3):
// libsndfile's encoder writing into the engine's output file, which gets the
// output's name only when the job keeps it, as a WAV does. A kept file is
// finished first (the encoder's last frames, the header's length), so a
// stopped save is a whole, playable file.
#pragma once

#include <atomic>

#include "output_file.h"
#include "output_kind.h"
#include "output_sink.h"
#include "sndfile_encoder.h"

class EncodedWriter : public OutputSink {
public:
    /// [between jobs] The format and, for the lossy ones, the quality
    /// (MinEncoderQuality .. MaxEncoderQuality) of the next Begin.
    void Choose(OutputKind kind, int quality);

    bool Begin(const std::string& path, int channels, int rate, int bits) override;
    WriteStatus Append(std::span<const std::uint8_t> bytes) override;
    bool Publish() override;
    void Discard() override;
    void PublishAbandoned() override;
    void DiscardAbandoned() override;

    /// A path to read the file as written so far (OutputFile::ReadablePath).
    std::string ReadablePath() const { return file_.ReadablePath(); }

private:
    WriteStatus Fail(const std::string& why);

    OutputFile file_;
    SndfileEncoder encoder_;
    OutputKind kind_ = OutputKind::Flac;
    int quality_ = DefaultEncoderQuality;
    bool encoding_ = false;  // Begin succeeded and Finish has not run
    WriteStatus status_ = WriteStatus::Written;
    std::atomic<bool> abandoned_{false};  // set by the abandoning thread: no more appends
};
