#include "ops/LoadedMemories.h"

namespace tarsion {

void LoadedMemories::Loaded(ChipMemory memory) {
    verify_[Slot(memory)].reset();
    partial_[Slot(memory)].reset();
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ:
        coefficientsRead_[Slot(memory)].reset();
        break;
    case ChipMemory::Constellation:
        constellationRead_.reset();
        break;
    case ChipMemory::Pattern:
        patternRead_.reset();
        break;
    }
    ++generation_;
}

void LoadedMemories::SetCoefficients(int which, LoadedCoefficients loaded) {
    coefficients_[Index(which)] = std::move(loaded);
    Loaded(which == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ);
}

void LoadedMemories::SetConstellation(const ConstellationImage& entries) {
    constellation_ = entries;
    Loaded(ChipMemory::Constellation);
}

void LoadedMemories::SetPattern(LoadedPattern loaded) {
    pattern_ = std::move(loaded);
    Loaded(ChipMemory::Pattern);
}

void LoadedMemories::NotePatternWords(std::uint32_t first, const std::vector<std::uint32_t>& words) {
    if (!pattern_ || words.empty())
        return;
    std::vector<std::uint32_t>& written = pattern_->writtenSince;
    written.resize(kPatternMemoryWords, LoadedPattern::kNoWord);
    for (std::size_t index = 0; index < words.size() && first + index < written.size(); ++index)
        written[first + index] = words[index];
    // What the memory holds changed: an earlier comparison no longer tells.
    verify_[Slot(ChipMemory::Pattern)].reset();
    ++generation_;
}

void LoadedMemories::SetVerifyReport(ChipMemory memory, VerifyReport report) {
    verify_[Slot(memory)] = std::move(report);
    ++generation_;
}

void LoadedMemories::SetPartial(ChipMemory memory, PartialLoad partial) {
    partial_[Slot(memory)] = std::move(partial);
    verify_[Slot(memory)].reset();
    ++generation_;
}

void LoadedMemories::SetCoefficientsRead(int which, ReadBack<CoefficientRamImage> read) {
    coefficientsRead_[Index(which)] = std::move(read);
    ++generation_;
}

void LoadedMemories::SetConstellationRead(ReadBack<ConstellationImage> read) {
    constellationRead_ = std::move(read);
    ++generation_;
}

void LoadedMemories::SetPatternRead(ReadBack<PatternReadBack> read) {
    patternRead_ = std::move(read);
    ++generation_;
}

} // namespace tarsion
