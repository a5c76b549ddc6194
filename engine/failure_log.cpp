// The engine's failure log on stderr.
#include "failure_log.h"

#include <cstdarg>
#include <cstdio>

void LogEngineFailure(const char* format, ...) {
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
