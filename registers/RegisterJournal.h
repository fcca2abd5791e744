#pragma once

#include "ops/RegisterWrites.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace tarsion {

class CBoardOperations;

// The register writes made through the operation layer, newest last, with undo and redo. Undo
// writes the old value back as an ordinary Poke, Write or PldWrite, so the log and a recording
// show it like any other write. Transfer registers, strobes and the interrupt status (written
// ones clear it) are kept in the history but cannot be undone. Both lists are capped.
class CRegisterJournal final : public IRegisterWriteObserver {
public:
    static constexpr std::size_t kMaximumEntries = 2000;
    static constexpr std::size_t kMaximumUndo = 500;

    struct Entry {
        std::chrono::system_clock::time_point time;
        // "page", "console", "script", "undo" or "redo".
        std::string source;
        RegisterWrite write;
    };

    // Registers itself with `ops` for as long as it lives.
    explicit CRegisterJournal(CBoardOperations& ops);
    ~CRegisterJournal() override;
    CRegisterJournal(const CRegisterJournal&) = delete;
    CRegisterJournal& operator=(const CRegisterJournal&) = delete;

    void OnRegisterWrite(const RegisterWrite& write) override;

    const std::deque<Entry>& Entries() const { return entries_; }
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // "Undo Poke 0a 20000000"; empty when there is nothing to undo.
    std::string UndoText() const;
    std::string RedoText() const;
    // False when there is nothing to undo or the write failed (the entry then stays).
    bool Undo();
    bool Redo();

    // Called after every change of the lists.
    void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

    // The history as CSV: time,source,space,register,old,new,operation.
    std::string Csv() const;

    // Whether a write of this register can be taken back by writing the old value.
    static bool IsUndoable(RegisterSpace space, std::uint8_t reg);

private:
    enum class Replay { None, Undo, Redo };
    bool WriteBack(const RegisterWrite& write, std::uint32_t value);
    void Changed();

    CBoardOperations& ops_;
    std::deque<Entry> entries_;
    std::deque<RegisterWrite> undo_;
    std::deque<RegisterWrite> redo_;
    Replay replaying_ = Replay::None;
    std::function<void()> changed_;
};

} // namespace tarsion
