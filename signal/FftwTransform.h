#pragma once

#include "signal/SignalAnalysis.h"

#include <cstddef>

namespace tarsion {

// The real-input discrete Fourier transform by FFTW. The plan and its buffers are kept for the
// last size, so redrawing the same pattern plans nothing.
class FftwTransform final : public IRealFourierTransform {
public:
    FftwTransform() = default;
    ~FftwTransform() override;
    FftwTransform(const FftwTransform&) = delete;
    FftwTransform& operator=(const FftwTransform&) = delete;

    std::vector<std::complex<double>> Forward(const std::vector<double>& input) override;

private:
    void Plan(std::size_t size);
    void Release();

    std::size_t size_ = 0;
    double* in_ = nullptr;
    void* out_ = nullptr;  // fftw_complex[size / 2 + 1]
    void* plan_ = nullptr; // fftw_plan
};

} // namespace tarsion
