#include "ops/LoadedMemories.h"

#include "ops/MemoryReadBack.h"

namespace tarsion {

void LoadedMemories::Loaded(ChipMemory memory) {
    verify_[Slot(memory)].reset();
    partial_[Slot(memory)].reset();
    change_[Slot(memory)].reset();
    ForgetRead(memory);
    ++generation_;
}

void LoadedMemories::ForgetRead(ChipMemory memory) {
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

std::optional<std::string> LoadedMemories::MismatchNote(ChipMemory memory) const {
    if (const std::optional<MemoryChange>& change = change_[Slot(memory)])
        return change->Note();
    if (const std::optional<PartialLoad>& partial = partial_[Slot(memory)])
        return partial->note;
    return std::nullopt;
}

bool LoadedMemories::HoldsItsLoad(ChipMemory memory) const {
    if (partial_[Slot(memory)] || change_[Slot(memory)])
        return false;
    switch (memory) {
    case ChipMemory::CoefficientI:
        return coefficients_[0].has_value();
    case ChipMemory::CoefficientQ:
        return coefficients_[1].has_value();
    case ChipMemory::Constellation:
        return constellation_.has_value();
    case ChipMemory::Pattern:
        break;
    }
    return pattern_.has_value();
}

void LoadedMemories::MarkChanged(ChipMemory memory, const std::string& loadedFile, const std::string& how,
                                 bool readStillHolds) {
    if (!readStillHolds)
        ForgetRead(memory);
    std::optional<MemoryChange>& change = change_[Slot(memory)];
    // The latest change is named; what it changed stays what the first change changed.
    std::string since = change                   ? change->since
                        : partial_[Slot(memory)] ? "since a load stopped part way"
                        : !loadedFile.empty()    ? "since " + loadedFile + " was loaded"
                                                 : "with no load in this run";
    change = MemoryChange{std::move(since), how, ReadTimeText()};
    ++generation_;
}

void LoadedMemories::Rewritten(ChipMemory memory) {
    verify_[Slot(memory)].reset();
    ForgetRead(memory);
    ++generation_;
}

void LoadedMemories::RewriteCoefficients(int which, LoadedCoefficients written) {
    coefficients_[Index(which)] = std::move(written);
    Rewritten(which == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ);
}

void LoadedMemories::RewriteConstellation(const ConstellationImage& entries) {
    constellation_ = entries;
    Rewritten(ChipMemory::Constellation);
}

void LoadedMemories::RewritePattern(LoadedPattern written) {
    pattern_ = std::move(written);
    Rewritten(ChipMemory::Pattern);
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
