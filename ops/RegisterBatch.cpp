#include "ops/RegisterBatch.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/PldGuard.h"
#include "ops/WordProgress.h"

#include <algorithm>

namespace tarsion {

namespace {
constexpr const char* kDone = "Done";
constexpr const char* kPldRestoreFailed = "Failed to Stop Sending Memory Pattern";

// The result lines of the step in progress, as the reason a batch stopped.
BatchFailure StoppedAt(CBoardOperations& ops, std::size_t index) {
    return {index, ops.Outcome().StepResult()};
}

// Runs `step` for each item until one fails or the user cancels (a long batch shows its progress
// like a load); logs the stop line. A step starts its own result lines once it has logged its
// heading, so the reason holds what went wrong only.
template <class Items, class Step>
BatchOutcome RunItems(CBoardOperations& ops, const char* task, const Items& items, Step step) {
    CWordProgress progress(ops, task, items.size(), "registers");
    for (std::size_t index = 0; index < items.size(); ++index) {
        ops.Outcome().BeginStep();
        const bool done = step(items[index]);
        if (done)
            ops.Outcome().BeginStep();
        if (!done || !progress.Advance(index + 1)) {
            const std::size_t stop = done ? index + 1 : index;
            BatchFailure failure = StoppedAt(ops, stop);
            ops.Log(FormatText("Stopped at item %zu of %zu", stop, items.size()), 1);
            return failure;
        }
    }
    return std::nullopt;
}

// A PLD batch that stopped gets its DataClk source back; the reply says so.
void RestoreDataClk(CBoardOperations& ops, PldGuard& guard, BatchFailure& failure) {
    ops.Outcome().BeginStep();
    guard.RestoreAfterStop();
    const std::string restored = ops.Outcome().StepResult();
    if (restored.empty())
        return;
    if (!failure.reason.empty())
        failure.reason += "; ";
    failure.reason += restored;
}
} // namespace

BatchOutcome CRegisterBatch::PokeMany(const std::vector<RegisterWrite>& writes) {
    CBoardOperations::Scope scope(ops_);
    ops_.Log(FormatText("PokeMany %zu", writes.size()), 0);
    std::size_t done = 0;
    BatchOutcome outcome = RunItems(ops_, "PokeMany", writes, [this, &done](const RegisterWrite& item) {
        ops_.Log(FormatText("Poke %.2x %.8x ", item.reg, item.newValue), 1);
        ops_.Outcome().BeginStep();
        RegisterWrite write = RegisterWrite::Chip(item.reg, item.newValue);
        if (!ops_.TransferRegister(write)) {
            ops_.Log(FormatText("Couldn't Poke to Register %.2x", item.reg), 1);
            return false;
        }
        // Only what was done: a recording replays no write that did not happen.
        ops_.Record(FormatText("Tarsion.Poke ( 0x%.2x,0x%.8x );", item.reg, item.newValue));
        ++done;
        return true;
    });
    ops_.NoteWrites(WritesText("PokeMany", done), false, true);
    if (!outcome)
        ops_.Log(kDone, 1);
    return outcome;
}

BatchOutcome CRegisterBatch::PeekMany(const std::vector<std::uint8_t>& addresses,
                                      std::vector<std::uint32_t>& values) {
    CBoardOperations::Scope scope(ops_);
    values.clear();
    values.reserve(addresses.size());
    ops_.Log(FormatText("PeekMany %zu", addresses.size()), 0);
    BatchOutcome outcome = RunItems(ops_, "PeekMany", addresses, [this, &values](std::uint8_t address) {
        std::uint32_t value = 0;
        if (!ops_.Link().ReadChipReg(address, value)) {
            ops_.Log(FormatText("Couldn't Peek Rgister %.2x", address), 1);
            return false;
        }
        ops_.Record(FormatText("Data=Tarsion.Peek(0x%.2x);", address));
        ops_.Log(FormatText("Peek %.2x Returned %.8x", address, value), 1);
        values.push_back(value);
        return true;
    });
    if (outcome)
        values.clear();
    else
        ops_.Log(kDone, 1);
    return outcome;
}

BatchOutcome CRegisterBatch::PldWriteMany(const std::vector<RegisterWrite>& writes) {
    CBoardOperations::Scope scope(ops_);
    ops_.Log(FormatText("PldWriteMany %zu", writes.size()), 0);
    PldGuard guard(ops_);
    if (!guard.Begin())
        return StoppedAt(ops_, 0);
    std::size_t done = 0;
    BatchOutcome outcome = RunItems(ops_, "PldWriteMany", writes, [this, &done](const RegisterWrite& item) {
        const auto value = static_cast<std::uint8_t>(item.newValue);
        ops_.Log(FormatText("PldWrite %.2x %.2x ", item.reg, value), 1);
        ops_.Outcome().BeginStep();
        RegisterWrite write = RegisterWrite::Pld(item.reg, value);
        if (!ops_.TransferRegister(write)) {
            ops_.Log(FormatText("Couldn't Write to Pld Register # %.2x", item.reg), 1);
            return false;
        }
        ops_.Record(FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", item.reg, value));
        ++done;
        return true;
    });
    ops_.NoteWrites(WritesText("PldWriteMany", done), false, true);
    if (outcome) {
        RestoreDataClk(ops_, guard, *outcome);
        return outcome;
    }
    ops_.Outcome().BeginStep();
    if (!guard.End(kPldRestoreFailed))
        return StoppedAt(ops_, writes.size());
    ops_.Log(kDone, 1);
    return std::nullopt;
}

BatchOutcome CRegisterBatch::PldReadMany(const std::vector<std::uint8_t>& regs,
                                         std::vector<std::uint8_t>& values) {
    CBoardOperations::Scope scope(ops_);
    values.clear();
    values.reserve(regs.size());
    ops_.Log(FormatText("PldReadMany %zu", regs.size()), 0);
    PldGuard guard(ops_);
    if (!guard.Begin())
        return StoppedAt(ops_, 0);
    BatchOutcome outcome = RunItems(ops_, "PldReadMany", regs, [this, &values](std::uint8_t reg) {
        std::uint8_t value = 0;
        if (!ops_.Link().ReadPldReg(reg, value)) {
            ops_.Log(FormatText("Couldn't Read from Pld Register # %.2x", reg), 1);
            return false;
        }
        ops_.Record(FormatText("Data = Tarsion.PldRead ( 0x%.2x );", reg));
        ops_.Log(FormatText("PldRead %.2x Returned %.2x", reg, value), 1);
        values.push_back(value);
        return true;
    });
    if (outcome) {
        RestoreDataClk(ops_, guard, *outcome);
    } else {
        ops_.Outcome().BeginStep();
        if (!guard.End(kPldRestoreFailed))
            outcome = StoppedAt(ops_, regs.size());
    }
    if (outcome)
        values.clear();
    else
        ops_.Log(kDone, 1);
    return outcome;
}

std::string CRegisterBatch::WritesText(const char* batch, std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string text = batch;
    text += ": ";
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0)
            text += ',';
        text += digits[at];
    }
    text += count == 1 ? " write" : " writes";
    return text;
}

bool CRegisterBatch::WaitForBits(std::uint8_t address, std::uint32_t mask, std::uint32_t value,
                                 std::chrono::milliseconds timeout, const std::function<void()>& betweenPolls,
                                 BatchOutcome& failure) {
    CBoardOperations::Scope scope(ops_);
    failure.reset();
    timeout = std::clamp(timeout, std::chrono::milliseconds{0}, kLongestWait);
    ops_.Log(FormatText("WaitForBits %.2x %.8x %.8x %lld", address, mask, value,
                        static_cast<long long>(timeout.count())),
             0);
    ISteadyClock& clock = ops_.Link().Clock();
    const ISteadyClock::time_point start = clock.Now();
    const ISteadyClock::time_point end = start + timeout;
    // A long wait shows its progress like a load: the window is served, and Cancel or a termination
    // signal ends it at once.
    CWordProgress progress(ops_, "WaitForBits", static_cast<std::size_t>(timeout.count()), "ms");
    for (;;) {
        std::uint32_t read = 0;
        if (!ops_.Link().ReadChipReg(address, read)) {
            ops_.Log(FormatText("Couldn't Peek Rgister %.2x", address), 1);
            failure = StoppedAt(ops_, 0);
            return false;
        }
        if ((read & mask) == (value & mask)) {
            ops_.Log(FormatText("Matched %.8x", read), 1);
            return true;
        }
        // Checked after the read, so that even a zero time-out reads the register once.
        if (clock.Now() >= end) {
            ops_.Log(FormatText("Timed Out, Returned %.8x", read), 1);
            return false;
        }
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now() - start);
        if (!progress.Advance(static_cast<std::size_t>(waited.count())))
            return false;
        if (betweenPolls)
            betweenPolls();
    }
}

} // namespace tarsion
