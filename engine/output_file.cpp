// The output file of a save: created unnamed in the output's folder (or under
// a hidden name where the file system takes no unnamed files), synced, then
// linked or renamed over the output, and the folder synced after it.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "failure_log.h"

namespace {

/// The file a save replaces: the output path itself, or the target of a
/// symbolic link there, so that saving through a link keeps the link.
std::string ResolveOutput(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* target = ::realpath(path.c_str(), nullptr)) {
            std::string resolved = target;
            std::free(target);
            return resolved;
        }
    }
    return path;
}

/// The folder part of `path`, "." when it has none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Most bytes of the output's name that go into a hidden name: with the dot
/// before it and the ".<pid>-<serial>.part" after it (at most 27 bytes), the
/// hidden name stays within the 255 bytes a file name may have, however long
/// the output's own name is.
constexpr std::size_t kHiddenNameStemBytes = 255 - 28;

/// The start of `name`, at most kHiddenNameStemBytes long, not cut inside a
/// UTF-8 character (so a long Japanese name still reads as text).
std::string HiddenNameStem(const std::string& name) {
    if (name.size() <= kHiddenNameStemBytes) return name;
    std::size_t length = kHiddenNameStemBytes;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    return name.substr(0, length);
}

/// A hidden name beside `output` that no other save of any process uses.
std::string HiddenNameBeside(const std::string& output) {
    static std::atomic<unsigned> serial{0};
    const std::size_t slash = output.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    const std::string name = HiddenNameStem(slash == std::string::npos ? output : output.substr(slash + 1));
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1)) + ".part";
}

/// Creates a new, empty file under a hidden name beside `output` with the
/// usual permissions; -1 with errno set when it cannot.
int CreateHiddenBeside(const std::string& output, std::string& hiddenPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        hiddenPath = HiddenNameBeside(output);
        const int fd = ::open(hiddenPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

/// Syncs `fd`'s data; a file system that cannot sync (EINVAL) counts as done.
bool SyncData(int fd) { return ::fdatasync(fd) == 0 || errno == EINVAL; }

/// Syncs the folder's entries, so a new name survives a power cut. A failure
/// is only logged: the name is made by then and the file is whole.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || (::fsync(fd) != 0 && errno != EINVAL)) {
        LogEngineFailure("cannot sync the folder %s: %s", folder.c_str(), std::strerror(errno));
    }
    if (fd >= 0) ::close(fd);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::string& path) {
    Discard();
    if (path.empty()) {
        LogEngineFailure("no output file given");
        return false;
    }
    outputPath_ = ResolveOutput(path);
    folder_ = FolderOf(outputPath_);
    temporaryPath_.clear();
    struct stat existing {};
    const bool replacing = ::stat(outputPath_.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) {
        LogEngineFailure("the output %s exists and is not a regular file", path.c_str());
        return false;
    }
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    unnamed_ = fd_ >= 0;
    if (!unnamed_) {
        // Rationale: file systems without unnamed files (some network and
        // FUSE ones) answer EOPNOTSUPP, EISDIR or EINVAL; any other refusal
        // is met again by the named file, which then reports it.
        fd_ = CreateHiddenBeside(outputPath_, temporaryPath_);
    }
    if (fd_ < 0) {
        LogEngineFailure("cannot create a file beside the output %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    if (replacing) {
        // The new file takes the place of the old one with its permissions,
        // and with its owner where that is allowed: only a privileged process
        // may give a file away, so a refused owner change is no failure.
        if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
            LogEngineFailure("cannot give the new %s the owner of the old: %s", path.c_str(), std::strerror(errno));
        }
        if (::fchmod(fd_, existing.st_mode & 07777) != 0) {
            LogEngineFailure("cannot give the new %s the permissions of the old: %s", path.c_str(),
                             std::strerror(errno));
        }
    }
    phase_.store(kWriting);
    return true;
}

std::string OutputFile::ReadablePath() const {
    if (fd_ < 0) return {};
    return unnamed_ ? "/proc/self/fd/" + std::to_string(fd_) : temporaryPath_;
}

bool OutputFile::Claim() {
    int expected = kWriting;
    return phase_.compare_exchange_strong(expected, kClaimed);
}

bool OutputFile::LinkAsOutput() {
    if (!unnamed_) {
        if (::rename(temporaryPath_.c_str(), outputPath_.c_str()) == 0) return true;
        LogEngineFailure("cannot rename %s to %s: %s", temporaryPath_.c_str(), outputPath_.c_str(),
                         std::strerror(errno));
        return false;
    }
    // linkat through /proc needs no privilege (AT_EMPTY_PATH would). A link
    // never replaces a name, so an existing output is replaced by linking a
    // hidden name first and renaming that over it in one step.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, outputPath_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            temporaryPath_ = HiddenNameBeside(outputPath_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporaryPath_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                if (::rename(temporaryPath_.c_str(), outputPath_.c_str()) == 0) return true;
                const int error = errno;
                ::unlink(temporaryPath_.c_str());
                errno = error;
                break;
            }
            if (errno != EEXIST) break;
        }
    }
    LogEngineFailure("cannot give the new file the name %s: %s", outputPath_.c_str(), std::strerror(errno));
    return false;
}

void OutputFile::RemoveName() {
    if (!unnamed_ && !temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
}

void OutputFile::CloseFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool OutputFile::Publish() {
    if (fd_ < 0 || !Claim()) {
        return false;  // nothing written, or already given up by an abandoning thread
    }
    // The data reach the disk before the name does, so a crash cannot leave
    // an empty or torn file where the old output was.
    if (!SyncData(fd_)) {
        LogEngineFailure("cannot flush %s: %s", outputPath_.c_str(), std::strerror(errno));
        RemoveName();
        CloseFile();
        return false;
    }
    const bool linked = LinkAsOutput();
    if (!linked) RemoveName();
    CloseFile();
    if (linked) SyncFolder(folder_);
    return linked;
}

void OutputFile::Discard() {
    if (Claim()) {
        RemoveName();
        CloseFile();
    }
}

void OutputFile::PublishAbandoned() {
    if (!Claim()) return;
    if (!SyncData(fd_)) {
        LogEngineFailure("cannot flush %s: %s", outputPath_.c_str(), std::strerror(errno));
        RemoveName();
        return;
    }
    if (LinkAsOutput()) {
        SyncFolder(folder_);
    } else {
        RemoveName();
    }
}

void OutputFile::DiscardAbandoned() {
    if (Claim()) RemoveName();
}
