#pragma once

#include "ops/RegisterWrite.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;

// The register writes made through the operation layer, one entry per operation (a batch is one
// entry), newest last, with undo and redo. Undo writes the old values back through the operation
// layer (an ordinary Poke, Write or PldWrite, a batch as a batch of the old values in reverse), so
// the log and a recording show it like any other write. Transfer registers, strobes and the
// interrupt status (written ones clear it) are kept in the history but cannot be undone. The
// lists are bounded: the oldest entries drop first.
class CRegisterJournal final : public IRegisterWriteObserver {
public:
    static constexpr std::size_t kMaximumEntries = 2000;
    static constexpr std::size_t kMaximumUndo = 500;
    // Register writes kept over the entries of each list; the newest entry stays whatever its size.
    static constexpr std::size_t kMaximumWrites = 100000;

    struct Entry {
        std::chrono::system_clock::time_point time;
        // "page", "console", "script", "undo" or "redo".
        std::string source;
        std::shared_ptr<const WrittenRegisters> written;

        const std::string& What() const { return written->what; }
        const std::vector<RegisterWrite>& Writes() const { return written->writes; }
    };

    // Registers itself with `ops` for as long as it lives.
    explicit CRegisterJournal(CBoardOperations& ops);
    ~CRegisterJournal() override;
    CRegisterJournal(const CRegisterJournal&) = delete;
    CRegisterJournal& operator=(const CRegisterJournal&) = delete;

    void OnRegisterWrites(const WrittenRegisters& written) override;

    const std::deque<Entry>& Entries() const { return entries_.items; }
    bool CanUndo() const { return !undo_.items.empty(); }
    bool CanRedo() const { return !redo_.items.empty(); }
    // "Undo Poke 0a 20000000", "Undo PokeMany: 10,000 writes"; empty when there is nothing to undo.
    std::string UndoText() const;
    std::string RedoText() const;
    // False when there is nothing to undo or a write failed (the entry then stays).
    bool Undo();
    bool Redo();

    // Called after every change of the lists.
    void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

    // The history as CSV, one line per register write: time,source,space,register,old,new,operation.
    std::string Csv() const;

    // Whether a write of this register can be taken back by writing the old value.
    static bool IsUndoable(RegisterSpace space, std::uint8_t reg);

private:
    using Step = std::shared_ptr<const WrittenRegisters>;
    // A list capped by entries and by the register writes they hold.
    template <typename Item>
    struct Capped {
        std::deque<Item> items;
        std::size_t writes = 0;
        void Push(Item item, std::size_t maximum);
        void PopBack();
        void Clear();
    };
    enum class Replay { None, Undo, Redo };

    // Writes the old values (undo) or the new ones (redo) of the step's undoable writes.
    bool WriteBack(const WrittenRegisters& step, bool undo);
    bool TakeBack(Capped<Step>& from, Capped<Step>& to, Replay replay);
    void Changed();

    CBoardOperations& ops_;
    Capped<Entry> entries_;
    Capped<Step> undo_;
    Capped<Step> redo_;
    Replay replaying_ = Replay::None;
    std::function<void()> changed_;
};

} // namespace tarsion
