#pragma once

#include "board/BoardLink.h"

#include <cstdint>

namespace tarsion {

class CBoardOperations;

// Protects a PLD access: refuses while DataClk and Din[15:0] are tristated, switches a DataClk
// source of 2xSymbolClk or SysClk/2 to RefClk for the access, and restores bridge register 9.
class PldGuard {
public:
    explicit PldGuard(CBoardOperations& ops);
    // Logs the tristate lines or "Failed " and returns false when the access must not go ahead.
    bool Begin();
    // Restores the saved byte of bridge register 9; logs `restoreFailure` when that fails.
    bool End(const char* restoreFailure);
    // The DataClk source End() puts back, as the Board page names it ("SysClk/2").
    const char* SavedSourceName() const;

private:
    CBoardOperations& ops_;
    std::uint8_t saved_ = 0;
};

} // namespace tarsion
