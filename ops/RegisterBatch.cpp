#include "ops/RegisterBatch.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/LogCapture.h"
#include "ops/PldGuard.h"
#include "ops/WordProgress.h"

#include <algorithm>

namespace tarsion {

namespace {
constexpr const char* kDone = "Done";
constexpr const char* kPldRestoreFailed = "Failed to Stop Sending Memory Pattern";

// Runs `step` for each item until one fails or the user cancels (a long batch shows its progress
// like a load); logs the stop line and keeps the reason.
template <class Items, class Step>
BatchOutcome RunItems(CBoardOperations& ops, CLogCapture& capture, const char* task, const Items& items,
                      Step step) {
    CWordProgress progress(ops, task, items.size(), "registers");
    for (std::size_t index = 0; index < items.size(); ++index) {
        capture.Clear();
        const bool done = step(items[index]);
        if (done)
            capture.Clear();
        if (!done || !progress.Advance(index + 1)) {
            const std::size_t stop = done ? index + 1 : index;
            BatchFailure failure{stop, capture.Text()};
            ops.Log(FormatText("Stopped at item %zu of %zu", stop, items.size()), 1);
            return failure;
        }
    }
    return std::nullopt;
}
} // namespace

BatchOutcome CRegisterBatch::PokeMany(const std::vector<RegisterWrite>& writes) {
    CBoardOperations::Scope scope(ops_);
    CLogCapture capture(ops_.Doc());
    ops_.Log(FormatText("PokeMany %zu", writes.size()), 0);
    std::size_t done = 0;
    BatchOutcome outcome =
        RunItems(ops_, capture, "PokeMany", writes, [this, &capture, &done](const RegisterWrite& item) {
            ops_.Log(FormatText("Poke %.2x %.8x ", item.reg, item.newValue), 1);
            capture.Clear();
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
    CLogCapture capture(ops_.Doc());
    values.clear();
    values.reserve(addresses.size());
    ops_.Log(FormatText("PeekMany %zu", addresses.size()), 0);
    BatchOutcome outcome =
        RunItems(ops_, capture, "PeekMany", addresses, [this, &values](std::uint8_t address) {
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
    CLogCapture capture(ops_.Doc());
    ops_.Log(FormatText("PldWriteMany %zu", writes.size()), 0);
    PldGuard guard(ops_);
    if (!guard.Begin())
        return BatchFailure{0, capture.Text()};
    std::size_t done = 0;
    BatchOutcome outcome =
        RunItems(ops_, capture, "PldWriteMany", writes, [this, &capture, &done](const RegisterWrite& item) {
            const auto value = static_cast<std::uint8_t>(item.newValue);
            ops_.Log(FormatText("PldWrite %.2x %.2x ", item.reg, value), 1);
            capture.Clear();
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
    if (outcome)
        return outcome;
    capture.Clear();
    if (!guard.End(kPldRestoreFailed))
        return BatchFailure{writes.size(), capture.Text()};
    ops_.Log(kDone, 1);
    return std::nullopt;
}

BatchOutcome CRegisterBatch::PldReadMany(const std::vector<std::uint8_t>& regs,
                                         std::vector<std::uint8_t>& values) {
    CBoardOperations::Scope scope(ops_);
    CLogCapture capture(ops_.Doc());
    values.clear();
    values.reserve(regs.size());
    ops_.Log(FormatText("PldReadMany %zu", regs.size()), 0);
    PldGuard guard(ops_);
    if (!guard.Begin())
        return BatchFailure{0, capture.Text()};
    BatchOutcome outcome = RunItems(ops_, capture, "PldReadMany", regs, [this, &values](std::uint8_t reg) {
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
    capture.Clear();
    if (!outcome && !guard.End(kPldRestoreFailed))
        outcome = BatchFailure{regs.size(), capture.Text()};
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
    CLogCapture capture(ops_.Doc());
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
            failure = BatchFailure{0, capture.Text()};
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
