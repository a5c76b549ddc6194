// Choosing the reader for a source file.
#include "source_file.h"

#include <cstdio>

bool SourceFile::Open(const std::string& path) {
    Close();
    if (wav_.Open(path)) {
        active_.store(&wav_);
        return true;
    }
    std::string whyNot;
    if (!path.empty() && decoded_.Open(path, whyNot)) {
        active_.store(&decoded_);
        return true;
    }
    active_.store(&wav_);
    std::fprintf(stderr, "ZarevoPlusApp: source %s not opened: %s\n", path.c_str(),
                 path.empty() ? "no path given" : whyNot.c_str());
    return false;
}

void SourceFile::Close() {
    wav_.Close();
    decoded_.Close();
}

bool SourceFile::IsSameFileAs(const std::string& path) const {
    return IsDecoded() ? decoded_.IsSameFileAs(path) : wav_.IsSameFileAs(path);
}
