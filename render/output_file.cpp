// The temporary output file: mkstemp in OUTPUT's folder, rename on success.
#include "output_file.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

/// The folder part of `path`, "." when it has none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::string& output, std::string& error) {
    final_ = output;
    struct stat existing {};
    if (lstat(output.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
        // Renaming over a link would replace the link; the file it names is meant.
        std::error_code failure;
        const std::filesystem::path target = std::filesystem::weakly_canonical(output, failure);
        if (failure) {
            error = output + ": " + failure.message();
            return false;
        }
        final_ = target.string();
    }
    if (stat(final_.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            error = output + ": is not a regular file, so it cannot be replaced";
            return false;
        }
        mode_ = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode_ = 0666 & ~mask;
    }
    std::string pattern = FolderOf(final_) + "/.zarevo-render-XXXXXX";
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) {
        error = Reason(output + ": no file can be made in " + FolderOf(final_));
        return false;
    }
    close(descriptor);
    temporary_ = pattern;
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (chmod(temporary_.c_str(), mode_) != 0 || rename(temporary_.c_str(), final_.c_str()) != 0) {
        error = Reason(final_ + ": cannot be replaced");
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Discard() {
    if (temporary_.empty()) return;
    unlink(temporary_.c_str());
    temporary_.clear();
}

bool NameTheSameFile(const std::string& first, const std::string& second) {
    if (first == second) return true;
    struct stat a {};
    struct stat b {};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}
