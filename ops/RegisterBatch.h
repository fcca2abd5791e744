#pragma once

#include "ops/RegisterWrite.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;

// Where a batch stopped (the item's index; the item count when the closing step failed) and the
// lines the log gave as the reason.
struct BatchFailure {
    std::size_t index = 0;
    std::string reason;
};
using BatchOutcome = std::optional<BatchFailure>;

// Many register transfers as one operation: one log block (a first line at indent 0, one line per
// item at indent 1, then the result), and, while recording, the script line of each single call that
// repeats the item. A batch stops at the first item that fails; the items before it stay done. The
// writes of a batch are one entry of the journal ("PokeMany: 3 writes"), undone as one.
class CRegisterBatch {
public:
    // The longest wait WaitForBits accepts; a longer one is cut to it.
    static constexpr std::chrono::milliseconds kLongestWait{60000};

    explicit CRegisterBatch(CBoardOperations& ops) : ops_(ops) {}

    // Chip register writes; the space of each item is not looked at.
    BatchOutcome PokeMany(const std::vector<RegisterWrite>& writes);
    BatchOutcome PeekMany(const std::vector<std::uint8_t>& addresses, std::vector<std::uint32_t>& values);
    // One PLD guard around all the writes (and reads): the DataClk source is switched once.
    // PLD register writes, their values taken modulo 256; the space of each item is not looked at.
    BatchOutcome PldWriteMany(const std::vector<RegisterWrite>& writes);
    BatchOutcome PldReadMany(const std::vector<std::uint8_t>& regs, std::vector<std::uint8_t>& values);

    // Reads the chip register until (read AND mask) equals (value AND mask) or the time is up
    // (the board's steady clock). `betweenPolls` runs after each read that did not match, so the
    // caller can serve its events; the wait reports its progress in ms to the prompt, and a cancel
    // there ends it ("Cancelled after 1200 of 60000 ms"). True when it matched; false on time-out or
    // cancel, or with `failure` set when a read failed.
    bool WaitForBits(std::uint8_t address, std::uint32_t mask, std::uint32_t value,
                     std::chrono::milliseconds timeout, const std::function<void()>& betweenPolls,
                     BatchOutcome& failure);

    // How the journal names a batch of `count` writes: "PokeMany: 10,000 writes".
    static std::string WritesText(const char* batch, std::size_t count);

private:
    CBoardOperations& ops_;
};

} // namespace tarsion
