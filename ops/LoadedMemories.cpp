#include "LoadedMemories.h"

namespace tarsion {

void LoadedMemories::SetCoefficients(int which, LoadedCoefficients loaded) {
    coefficients_[Index(which)] = std::move(loaded);
    verify_[Index(which)].reset();
    ++generation_;
}

void LoadedMemories::SetConstellation(const ConstellationImage& entries) {
    constellation_ = entries;
    verify_[static_cast<std::size_t>(ChipMemory::Constellation)].reset();
    ++generation_;
}

void LoadedMemories::SetPattern(LoadedPattern loaded) {
    pattern_ = std::move(loaded);
    ++generation_;
}

void LoadedMemories::SetVerifyReport(ChipMemory memory, VerifyReport report) {
    verify_[static_cast<std::size_t>(memory)] = std::move(report);
    ++generation_;
}

} // namespace tarsion
