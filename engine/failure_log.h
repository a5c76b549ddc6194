// One line on stderr for every failure the engine meets: what failed, on
// which file or plug-in, and the system's reason. The window shows only a
// short message; this line keeps the cause for whoever looks at the terminal.
#pragma once

/// Writes "zarevo engine: " and the printf-style text as one line to stderr,
/// in a single write so lines from two threads do not interleave.
[[gnu::format(printf, 1, 2)]] void LogEngineFailure(const char* format, ...);

/// While one lives, LogEngineFailure writes nothing on its thread: for
/// probes whose failure the job that follows reports again (reading a
/// source's length while its path is still being typed).
class QuietEngineLog {
public:
    QuietEngineLog();
    ~QuietEngineLog();
    QuietEngineLog(const QuietEngineLog&) = delete;
    QuietEngineLog& operator=(const QuietEngineLog&) = delete;

private:
    bool wasQuiet_;
};
