// The whole percentage the window shows while a job runs.
#include "wave_file.h"

int ProgressPercent(std::int64_t consumed, std::int64_t dataSize) {
    return static_cast<int>(consumed * 100 / (dataSize + 1));
}
