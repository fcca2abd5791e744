#pragma once

#include "board/BoardLink.h"

#include <cstdint>

namespace tarsion {

class CBoardOperations;

// Protects a PLD access: refuses while DataClk and Din[15:0] are tristated, switches a DataClk
// source of 2xSymbolClk or SysClk/2 to RefClk for the access, and restores bridge register 9. Every
// path that switches the source goes through one: an access that stops before End() (a failed
// transfer, a cancel, a termination that unwinds the operation) gets the source back when the
// guard goes, with a log line that says so.
class PldGuard {
public:
    explicit PldGuard(CBoardOperations& ops);
    ~PldGuard();
    PldGuard(const PldGuard&) = delete;
    PldGuard& operator=(const PldGuard&) = delete;

    // Logs the tristate lines or "Failed " and returns false when the access must not go ahead.
    bool Begin();
    // Restores the saved byte of bridge register 9; logs `restoreFailure` when that fails.
    bool End(const char* restoreFailure);
    // After an access that stopped early: puts back the source Begin() switched, and logs what it
    // restored ("DataClk source restored to SysClk/2"), or that it could not. Nothing when nothing
    // was switched or End() ran; once only.
    void RestoreAfterStop();
    // The DataClk source End() puts back, as the Board page names it ("SysClk/2").
    const char* SavedSourceName() const;

private:
    CBoardOperations& ops_;
    std::uint8_t saved_ = 0;
    bool switched_ = false;
};

} // namespace tarsion
