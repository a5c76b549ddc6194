// The output file of a render. The engine writes into a temporary file of
// the renderer's own in OUTPUT's folder; only a render that succeeded renames
// it over OUTPUT, so a failed or interrupted render leaves no half-written
// OUTPUT and an existing OUTPUT stays as it was.
#pragma once

#include <sys/types.h>

#include <string>

class OutputFile {
public:
    OutputFile() = default;
    /// Removes the temporary file unless it was renamed over OUTPUT.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Resolves `output` (a symbolic link stands for the file it names) and
    /// creates the temporary file beside it. False with a one-line `error`
    /// when OUTPUT names something other than a regular file or its folder
    /// takes no new file.
    bool Create(const std::string& output, std::string& error);
    /// Where the engine is to write.
    const std::string& TemporaryPath() const { return temporary_; }

    /// Gives the temporary file the permissions OUTPUT has (a new OUTPUT: the
    /// usual ones under the umask) and renames it over OUTPUT.
    bool Commit(std::string& error);
    /// Removes the temporary file.
    void Discard();

private:
    std::string final_;
    std::string temporary_;
    mode_t mode_ = 0;
};

/// True when `first` and `second` name the same file: the same text, or an
/// existing file reached through both.
bool NameTheSameFile(const std::string& first, const std::string& second);
