#include "ops/PldGuard.h"

#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"

namespace tarsion {

namespace {
constexpr std::uint8_t kRefClk = 0;
constexpr std::uint8_t kTwiceSymbolClk = 1;
constexpr std::uint8_t kHalfSysClk = 2;
} // namespace

PldGuard::PldGuard(CBoardOperations& ops) : ops_(ops) {}

bool PldGuard::Begin() {
    // The shadow, not the board: the guard must not add a read to every PLD access.
    saved_ = ops_.Link().Shadow().FetchBridgeReg(bridgereg::kBoardControl);
    const std::uint8_t source = saved_ & bridgereg::kDataClkMask;
    if (source == bridgereg::kDataClkTristated) {
        ops_.Log("Error : DataClk and Din[15:0] are Tristated", 1);
        ops_.Log("You must first Enable DataClk and Din[15:0]", 1);
        ops_.Log("Failed", 1);
        return false;
    }
    // The PLD access runs with DataClk on RefClk; End() puts the saved source back.
    if (source == kTwiceSymbolClk || source == kHalfSysClk) {
        if (!ops_.Link().WriteBridgeReg(bridgereg::kBoardControl, kRefClk)) {
            ops_.Log("Failed ", 1);
            return false;
        }
    }
    return true;
}

bool PldGuard::End(const char* restoreFailure) {
    if (!ops_.Link().WriteBridgeReg(bridgereg::kBoardControl, saved_)) {
        ops_.Log(restoreFailure, 1);
        return false;
    }
    return true;
}

const char* PldGuard::SavedSourceName() const {
    static constexpr const char* kNames[] = {"RefClk", "2xSymbolClk", "SysClk/2", "Tristated"};
    return kNames[saved_ & bridgereg::kDataClkMask];
}

} // namespace tarsion
