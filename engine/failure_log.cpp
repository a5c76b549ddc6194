// The engine's failure log on stderr.
#include "failure_log.h"

#include <cstdarg>
#include <cstdio>

namespace {

thread_local bool quiet = false;

}  // namespace

QuietEngineLog::QuietEngineLog() : wasQuiet_(quiet) { quiet = true; }

QuietEngineLog::~QuietEngineLog() { quiet = wasQuiet_; }

void LogEngineFailure(const char* format, ...) {
    if (quiet) {
        return;
    }
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) {
        return;
    }
    std::fprintf(stderr, "zarevo engine: %s\n", line);
}
