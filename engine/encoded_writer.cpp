// Encoded outputs: the encoder over the output file's descriptor.
#include "encoded_writer.h"

#include <cerrno>

#include "failure_log.h"

void EncodedWriter::Choose(OutputKind kind, int quality) {
    kind_ = kind;
    quality_ = quality;
}

bool EncodedWriter::Begin(const std::string& path, int channels, int rate, int bits) {
    Discard();
    status_ = WriteStatus::Written;
    abandoned_.store(false);
    if (!KindHoldsRate(kind_, rate)) {
        LogEngineFailure("%s cannot hold %d Hz (valid: %s Hz): %s not written", KindName(kind_), rate,
                         ValidRatesText(kind_).c_str(), path.c_str());
        return false;
    }
    if (!file_.Create(path)) return false;
    std::string why;
    if (!encoder_.Begin(file_.Descriptor(), kind_, channels, rate, bits, quality_, why)) {
        LogEngineFailure("cannot write %s as %s: %s", path.c_str(), KindName(kind_), why.c_str());
        file_.Discard();
        return false;
    }
    encoding_ = true;
    return true;
}

WriteStatus EncodedWriter::Fail(const std::string& why) {
    LogEngineFailure("cannot write %s: %s", file_.OutputPath().c_str(), why.c_str());
    const int error = encoder_.WriteError();
    status_ = error == ENOSPC || error == EDQUOT ? WriteStatus::DiskFull : WriteStatus::Failed;
    return status_;
}

WriteStatus EncodedWriter::Append(std::span<const std::uint8_t> bytes) {
    if (status_ != WriteStatus::Written) return status_;
    if (!encoding_ || abandoned_.load()) {
        status_ = WriteStatus::Failed;
        return status_;
    }
    std::string why;
    return encoder_.Encode(bytes, why) ? WriteStatus::Written : Fail(why);
}

bool EncodedWriter::Publish() {
    if (!encoding_) return false;
    encoding_ = false;
    std::string why;
    // Rationale: an abandoned file was published as it stood; the encoder's
    // end must not be written into a file that is already the output.
    if (!abandoned_.load() && !encoder_.Finish(why)) {
        Fail(why);
        file_.Discard();
        return false;
    }
    return file_.Publish();
}

void EncodedWriter::Discard() {
    encoding_ = false;
    encoder_.Abandon();
    file_.Discard();
}

void EncodedWriter::PublishAbandoned() {
    abandoned_.store(true);
    file_.PublishAbandoned();
}

void EncodedWriter::DiscardAbandoned() {
    abandoned_.store(true);
    file_.DiscardAbandoned();
}
