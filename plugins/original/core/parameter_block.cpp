// The parameter block's storage, present at load with its initial values.
#include "parameter_block.h"

extern "C" {
std::atomic<double> PitchOctaves{kInitialParameters.pitchOctaves};
std::atomic<double> SpeedExponent{kInitialParameters.speedExponent};
std::atomic<double> ReverbAmount{kInitialParameters.reverbAmount};
std::atomic<double> ApplyRatio{kInitialParameters.applyRatio};
std::atomic<std::int32_t> BandMask{kInitialParameters.bandMask};
std::atomic<std::int32_t> ProcessMono{kInitialParameters.processMono};
std::atomic<std::int32_t> ProcessLeft{kInitialParameters.processLeft};
std::atomic<std::int32_t> ProcessRight{kInitialParameters.processRight};
}

void StoreParameterValues(const ParameterValues& values) {
    PitchOctaves.store(values.pitchOctaves, kRelaxed);
    SpeedExponent.store(values.speedExponent, kRelaxed);
    ReverbAmount.store(values.reverbAmount, kRelaxed);
    ApplyRatio.store(values.applyRatio, kRelaxed);
    BandMask.store(values.bandMask, kRelaxed);
    ProcessMono.store(values.processMono, kRelaxed);
    ProcessLeft.store(values.processLeft, kRelaxed);
    ProcessRight.store(values.processRight, kRelaxed);
}

void ResetParameterBlock() { StoreParameterValues(kInitialParameters); }
