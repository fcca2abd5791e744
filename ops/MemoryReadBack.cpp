#include "MemoryReadBack.h"

#include "BoardOperations.h"
#include "ConstellationRam.h"
#include "TextHelpers.h"
#include "board/ChipRegisters.h"

namespace tarsion {

namespace {
constexpr std::uint32_t kReadI = 0x24;
constexpr std::uint32_t kReadQ = 0x28;
constexpr std::uint32_t kNoAccess = 0x00;

std::uint8_t* Bytes(CoefficientWord& word) {
    return word.data();
}

std::uint8_t* Bytes(std::uint8_t& entry) {
    return &entry;
}

template <class Image>
bool ReadMemory(CBoardOperations& ops, std::uint32_t selection, Image& image, const char* selectFailed,
                const char* readFailed) {
    CBoardLink& link = ops.Link();
    if (!link.WriteChipReg(chipreg::kMemoryControl, selection)) {
        ops.Log(selectFailed, 1);
        return false;
    }
    for (std::size_t address = 0; address < image.size(); ++address) {
        image[address] = {};
        if (!link.AccessChipMemory(static_cast<std::uint8_t>(address), Bytes(image[address]))) {
            ops.Log(readFailed, 1);
            return false;
        }
    }
    link.WriteChipReg(chipreg::kMemoryControl, kNoAccess);
    return true;
}

// Bytes 8 down to 0 of a coefficient word, as the RAM image files show them.
std::string WordText(const CoefficientWord& word) {
    std::string text;
    for (int byte = 8; byte >= 0; --byte)
        text += FormatText("%.2x", word[byte]);
    return text;
}
} // namespace

bool ReadCoefficientRam(CBoardOperations& ops, int which, CoefficientRamImage& words) {
    constexpr const char* kAccessFailed = "Couldn't Access Coefficient Memory";
    return ReadMemory(ops, which == 0 ? kReadI : kReadQ, words, kAccessFailed, kAccessFailed);
}

bool ReadConstellationRam(CBoardOperations& ops, ConstellationImage& entries) {
    return ReadMemory(ops, CConstellationRam::kSelectForReading, entries,
                      CConstellationRam::kMemoryControlFailed, CConstellationRam::kRamAccessFailed);
}

VerifyReport CMemoryVerifier::Verify(ChipMemory memory) {
    // A click that arrives while an operation waits in a dialog must not cut into its transfers.
    if (ops_.IsBusy())
        return {};
    CBoardOperations::Scope scope(ops_);
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ: {
        const int which = memory == ChipMemory::CoefficientI ? 0 : 1;
        ops_.Log(which == 0 ? "VerifyCoefficientRam I" : "VerifyCoefficientRam Q", 0);
        return Finish(memory, VerifyCoefficients(which));
    }
    case ChipMemory::Constellation:
        ops_.Log("VerifyConstellationRam", 0);
        return Finish(memory, VerifyConstellation());
    }
    return {};
}

bool CMemoryVerifier::CanVerify(bool loaded) {
    if (!loaded) {
        ops_.Log("Nothing loaded into this memory yet: nothing to compare with", 1);
        return false;
    }
    // In demo mode no word is read: the comparison would only show zeros.
    if (ops_.Link().IsDemo()) {
        ops_.Log("Demo Mode: there is no board to read back", 1);
        return false;
    }
    return true;
}

VerifyReport CMemoryVerifier::VerifyCoefficients(int which) {
    const std::optional<LoadedCoefficients>& loaded = ops_.Doc().loaded.Coefficients(which);
    VerifyReport report;
    report.words = kCoefficientWords;
    if (!CanVerify(loaded.has_value()))
        return report;
    CoefficientRamImage read{};
    if (!ReadCoefficientRam(ops_, which, read))
        return report;
    for (int address = 0; address < kCoefficientWords; ++address) {
        if (read[address] != loaded->words[address])
            report.mismatches.push_back({address, WordText(loaded->words[address]), WordText(read[address])});
    }
    report.completed = true;
    return report;
}

VerifyReport CMemoryVerifier::VerifyConstellation() {
    const std::optional<ConstellationImage>& loaded = ops_.Doc().loaded.Constellation();
    VerifyReport report;
    report.words = static_cast<int>(ConstellationImage().size());
    if (!CanVerify(loaded.has_value()))
        return report;
    ConstellationImage read{};
    if (!ReadConstellationRam(ops_, read))
        return report;
    for (int address = 0; address < report.words; ++address) {
        if (read[address] != (*loaded)[address])
            report.mismatches.push_back(
                {address, FormatText("%.2x", (*loaded)[address]), FormatText("%.2x", read[address])});
    }
    report.completed = true;
    return report;
}

VerifyReport CMemoryVerifier::Finish(ChipMemory memory, VerifyReport report) {
    if (!report.completed) {
        report.summary = "Not verified";
        ops_.Log("Failed", 1);
    } else {
        for (const WordMismatch& mismatch : report.mismatches)
            ops_.Log(FormatText("Address %.2x : expected %s read %s", mismatch.address,
                                mismatch.expected.c_str(), mismatch.read.c_str()),
                     1);
        report.summary = report.mismatches.empty()
                             ? FormatText("all %d words match", report.words)
                             : FormatText("%zu of %d words differ", report.mismatches.size(), report.words);
        ops_.Log(report.summary, 1);
    }
    ops_.Doc().loaded.SetVerifyReport(memory, report);
    // The views show the report; nothing else notifies them after the last log line.
    ops_.Doc().UpdateAllViews();
    return report;
}

} // namespace tarsion
