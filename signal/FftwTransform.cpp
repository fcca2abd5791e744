#include "signal/FftwTransform.h"

#include <algorithm>
#include <fftw3.h>

namespace tarsion {

FftwTransform::~FftwTransform() {
    Release();
}

void FftwTransform::Release() {
    if (plan_)
        fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    fftw_free(in_);
    fftw_free(out_);
    plan_ = nullptr;
    in_ = nullptr;
    out_ = nullptr;
    size_ = 0;
}

void FftwTransform::Plan(std::size_t size) {
    Release();
    in_ = fftw_alloc_real(size);
    out_ = fftw_alloc_complex(size / 2 + 1);
    // Estimating takes microseconds; measuring would cost more than the transforms it saves here.
    plan_ =
        fftw_plan_dft_r2c_1d(static_cast<int>(size), in_, static_cast<fftw_complex*>(out_), FFTW_ESTIMATE);
    size_ = size;
}

std::vector<std::complex<double>> FftwTransform::Forward(const std::vector<double>& input) {
    if (input.empty())
        return {};
    if (input.size() != size_)
        Plan(input.size());
    std::copy(input.begin(), input.end(), in_);
    fftw_execute(static_cast<fftw_plan>(plan_));
    const auto* bins = static_cast<const fftw_complex*>(out_);
    std::vector<std::complex<double>> result(size_ / 2 + 1);
    for (std::size_t k = 0; k < result.size(); ++k)
        result[k] = {bins[k][0], bins[k][1]};
    return result;
}

} // namespace tarsion
