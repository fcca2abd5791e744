#include "app/InitialReadOut.h"

#include "board/BoardLink.h"
#include "board/ChipRegisters.h"
#include "ops/TarsionDoc.h"

#include <array>
#include <cstdint>
#include <utility>

namespace tarsion {

namespace {
constexpr std::uint8_t kLastStageOneRegister = 0x0D;

constexpr std::array<std::pair<std::uint8_t, std::uint32_t>, 8> kDemoImage{{
    {0x01, 0x0000602B},
    {0x03, 0xFF000002},
    {0x04, 0x00000002},
    {0x05, 0x02FFFFFF},
    {0x06, 0x50000000},
    {0x07, 0x00400000},
    {0x0C, 0x7FFFFFFF},
    {0x0D, 0x80000000},
}};
constexpr std::array<std::uint8_t, 12> kDemoZeroRegisters{0x00, 0x02, 0x08, 0x09, 0x0A, 0x0B,
                                                          0x0E, 0x0F, 0x10, 0x11, 0x12, 0x1F};

// Repeats `read` until it succeeds (true) or the user chooses demo mode (false).
template <typename Read>
bool ReadWithRetry(Read read, const ReadOutFailureHandler& onFailure) {
    while (!read()) {
        if (onFailure() == ReadOutChoice::EnterDemoMode)
            return false;
    }
    return true;
}

void FinishInDemoMode(CBoardLink& link, CTarsionDoc& doc) {
    RegisterShadow& shadow = link.Shadow();
    shadow.SetSysClk(shadow.ClockPin());
    doc.UpdateAllViews();
}

void LoadDemoImage(RegisterShadow& shadow) {
    for (const std::uint8_t reg : kDemoZeroRegisters)
        shadow.StoreChipReg(reg, 0);
    for (const auto& [reg, value] : kDemoImage)
        shadow.StoreChipReg(reg, value);
    shadow.StoreBridgeReg(bridgereg::kBoardControl, 0);
    shadow.StorePldReg(pldreg::kPatternSender, 0);
}

struct StageTwoRead {
    std::function<bool()> read;
    std::function<void()> zero;
};
} // namespace

bool RunInitialReadOut(CBoardLink& link, CTarsionDoc& doc, const ReadOutFailureHandler& onFailure) {
    RegisterShadow& shadow = link.Shadow();
    for (std::uint8_t reg = 0; reg <= kLastStageOneRegister; ++reg) {
        std::uint32_t value = 0;
        if (!ReadWithRetry([&] { return link.ReadChipReg(reg, value); }, onFailure)) {
            link.EnterDemoMode();
            LoadDemoImage(shadow);
            FinishInDemoMode(link, doc);
            return false;
        }
    }
    shadow.RecomputeSysClk();

    std::uint32_t word = 0;
    std::uint8_t byte = 0;
    auto chipRead = [&](std::uint8_t reg) {
        return StageTwoRead{[&link, &word, reg] { return link.ReadChipReg(reg, word); },
                            [&shadow, reg] { shadow.StoreChipReg(reg, 0); }};
    };
    const std::array<StageTwoRead, 4> stageTwo{{
        chipRead(0x11),
        chipRead(0x1F),
        {[&] { return link.ReadBridgeReg(bridgereg::kBoardControl, byte); },
         [&] { shadow.StoreBridgeReg(bridgereg::kBoardControl, 0); }},
        {[&] {
             // With DataClk tristated the pattern sender is not read.
             if ((shadow.FetchBridgeReg(bridgereg::kBoardControl) & bridgereg::kDataClkMask) ==
                 bridgereg::kDataClkTristated)
                 return true;
             return link.ReadPldReg(pldreg::kPatternSender, byte);
         },
         [&] { shadow.StorePldReg(pldreg::kPatternSender, 0); }},
    }};
    for (std::size_t i = 0; i < stageTwo.size(); ++i) {
        if (ReadWithRetry(stageTwo[i].read, onFailure))
            continue;
        link.EnterDemoMode();
        for (std::size_t rest = i; rest < stageTwo.size(); ++rest)
            stageTwo[rest].zero();
        FinishInDemoMode(link, doc);
        return false;
    }
    doc.UpdateAllViews();
    return true;
}

} // namespace tarsion
