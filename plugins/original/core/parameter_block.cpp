// The parameter block's storage and its initial values, present at load.
#include "parameter_block.h"

extern "C" {
std::atomic<double> PitchOctaves{0.0};
std::atomic<double> SpeedExponent{0.0};
std::atomic<double> ReverbAmount{0.0};
std::atomic<double> ApplyRatio{1.0};
std::atomic<std::int32_t> BandMask{-1};
std::atomic<std::int32_t> ProcessMono{0};
std::atomic<std::int32_t> ProcessLeft{1};
std::atomic<std::int32_t> ProcessRight{1};
}

void ResetParameterBlock() {
    PitchOctaves.store(0.0, std::memory_order_relaxed);
    SpeedExponent.store(0.0, std::memory_order_relaxed);
    ReverbAmount.store(0.0, std::memory_order_relaxed);
    ApplyRatio.store(1.0, std::memory_order_relaxed);
    BandMask.store(-1, std::memory_order_relaxed);
    ProcessMono.store(0, std::memory_order_relaxed);
    ProcessLeft.store(1, std::memory_order_relaxed);
    ProcessRight.store(1, std::memory_order_relaxed);
}
