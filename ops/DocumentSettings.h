#pragma once

#include <cstdint>
#include <string>

namespace tarsion {

// Step sizes of the register pages' up-down controls, persisted as settings.
struct StepSettings {
    double loopFilterStepLead = 4.768371582031e-07;
    double loopFilterStepFreq = 4.768371582031e-07;
    double loopFilterStepLag = 4.768371582031e-07;
    double carrierFrequencyStep = 1000000;
    double symbolFrequencyStep = 1000000;
    double qDcOffsetStep = 0.000244140625;
    double qScaleFactorStep = 0.000244140625;
    double iDcOffsetStep = 0.000244140625;
    double iScaleFactorStep = 0.000244140625;
    double postShappingFilterStep = 0.0004959106445313;
};

// Arguments of the last successful coefficient load of one channel.
struct CoefficientSettings {
    std::int32_t interpolation = 0;
    double scale = 1.0;
    bool bestFit = true;
    bool loadOffset = true;
    double dcGain = 0.0;
    bool twoBitMode = false;
    bool symmetric = false;
    std::string fileName = "Unknown";
};

// Arguments of the last successful pattern-memory load.
struct PatternSettings {
    std::int32_t iKind = 1;
    std::int32_t qKind = 0;
    double iAmplitude = 1.0;
    double qAmplitude = 0.0;
    double samplesPerCycle = 16.0;
    double numberOfSamples = 16.0;
    // "Unknown" (nothing loaded), "Pattern" (generated) or the path of the last pattern file.
    std::string fileName = "Unknown";
    bool operator==(const PatternSettings&) const = default;
};

inline constexpr const char* kUnknownFile = "Unknown";
inline constexpr const char* kGeneratedPattern = "Pattern";

} // namespace tarsion
