// Reading output files back with libsndfile.
#include "sndfile_read.h"

SndfileContents ReadWithSndfile(const std::string& path) {
    SndfileContents contents;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &contents.info);
    if (file == nullptr) {
        return contents;
    }
    contents.opened = true;
    contents.samples.resize(static_cast<std::size_t>(contents.info.frames * contents.info.channels));
    const sf_count_t read = sf_readf_short(file, contents.samples.data(), contents.info.frames);
    contents.samples.resize(static_cast<std::size_t>(read * contents.info.channels));
    sf_close(file);
    return contents;
}
