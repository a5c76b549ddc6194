// The file a save writes, whatever its format: an unnamed file in the
// output's folder (O_TMPFILE) that gets the output's name only when the job is
// kept, so that a killed process leaves nothing behind and a failed save
// leaves an existing output as it was. Where the folder's file system refuses
// unnamed files, a hidden named file beside the output takes its place.
#pragma once

#include <atomic>
#include <string>

/// Contract, for every writer of an output format:
/// - Create gives a plain descriptor, open for reading and writing and
///   seekable, on an empty file. Write it as you like (pwrite, lseek, a
///   library given the descriptor); do not close it.
/// - Then exactly one of Publish (keep) or Discard (drop) on the writing
///   thread; the destructor discards what was neither.
/// - PublishAbandoned and DiscardAbandoned are the only calls another thread
///   may make, once, for a worker that will not come back: they leave the
///   descriptor open (the worker may still write to it), and the worker's own
///   Publish or Discard afterwards leaves the output alone.
class OutputFile {
public:
    OutputFile() = default;
    /// Discards a file that was neither published nor discarded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// [writer] Prepares the output `path`: refuses an empty path and one
    /// that names something other than a regular file (a folder, a FIFO, a
    /// device) without opening it; a symbolic link stands for the file it
    /// names, which is the one replaced. Then creates the empty file in the
    /// output's folder with the permissions (and, where allowed, the owner) of
    /// the file it will replace, or the usual ones under the umask for a new
    /// one. False, with the reason on stderr and nothing left, on failure.
    bool Create(const std::string& path);
    /// The descriptor to write, -1 when no file is open.
    int Descriptor() const { return fd_; }
    /// A path through which the file as written so far can be read (the
    /// hidden name, or the descriptor's entry under /proc for an unnamed
    /// file); empty when no file is open.
    std::string ReadablePath() const;
    /// The file that Publish replaces (a link's target, not the link).
    const std::string& OutputPath() const { return outputPath_; }

    /// [writer] Makes the file the output: syncs its data to the disk, gives
    /// it the output's name (replacing an existing output in one step),
    /// closes it and syncs the folder, so that after a power cut the output
    /// is either the old file or the whole new one. False, with the reason on
    /// stderr, nothing published and the output as it was, on failure.
    bool Publish();
    /// [writer] Closes and drops the file; the output stays as it was.
    void Discard();
    /// [any thread] Publish for a writer that will not come back (a plug-in
    /// holds it while the program ends): the file as it stands now becomes
    /// the output, synced as Publish does.
    void PublishAbandoned();
    /// [any thread] Discard for a writer that will not come back: the output
    /// stays as it was and no name is left behind.
    void DiscardAbandoned();

private:
    enum Phase : int { kIdle, kWriting, kClaimed };
    /// The phase moves kWriting -> kClaimed once, by whichever thread
    /// publishes or discards; only that thread then touches the names.
    bool Claim();
    bool LinkAsOutput();
    void RemoveName();
    void CloseFile();

    int fd_ = -1;
    bool unnamed_ = false;       // O_TMPFILE: no name until published
    std::string outputPath_;     // the resolved output
    std::string folder_;         // the output's folder, "." for a bare name
    std::string temporaryPath_;  // the hidden name beside the output (named files)
    std::atomic<int> phase_{kIdle};
};
