// Fuzz target for the source WAV reader: any bytes are written to an
// in-memory file, walked as a header and, when accepted, fetched block by
// block to the end. Nothing may crash, hang or read out of bounds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "failure_log.h"
#include "wav_source.h"
#include "wave_messages.h"

// The reader logs why it refuses a file; most fuzz inputs are refused, and a
// line for each of millions of them would only slow the run down.
void LogEngineFailure(const char*, ...) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("wav-source-fuzz", 0);
    if (fd < 0) {
        return 0;
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        written += static_cast<std::size_t>(n);
    }
    WavSource source;
    if (source.Open("/proc/self/fd/" + std::to_string(fd))) {
        GrowBuffer<std::uint8_t> raw;
        std::int64_t blocks = 0;
        while (source.FetchBlock(SourceBlockFrames, raw)) {
            // The data are clamped to the file, so a job can never outrun it.
            if (++blocks > static_cast<std::int64_t>(size) + 1) {
                __builtin_trap();
            }
            if (raw.Count() != source.FrameBytes() * SourceBlockFrames || source.Consumed() > source.DataSize()) {
                __builtin_trap();
            }
        }
    }
    close(fd);
    return 0;
}
