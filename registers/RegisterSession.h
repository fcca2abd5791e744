#pragma once

#include "registers/RegisterJournal.h"
#include "registers/RegisterSnapshot.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;

// The register workflow of one run: the journal of writes, and the snapshots taken or opened,
// each under an id ("s1", "s2", ...) that stays the same while it lives. "board" names the board
// now. The list is capped; the oldest snapshot goes first.
class CRegisterSession {
public:
    static constexpr std::size_t kMaximumSnapshots = 64;
    static constexpr const char* kBoardId = "board";

    explicit CRegisterSession(CBoardOperations& ops);
    ~CRegisterSession();
    CRegisterSession(const CRegisterSession&) = delete;
    CRegisterSession& operator=(const CRegisterSession&) = delete;

    // The session of an operation layer, for whoever reaches the layer only (automation); nullptr
    // while it has none.
    static CRegisterSession* Of(const CBoardOperations& ops);

    CRegisterJournal& Journal() { return journal_; }

    struct Entry {
        std::string id;
        CRegisterSnapshot snapshot;
    };
    const std::vector<Entry>& Snapshots() const { return snapshots_; }

    // Returns the new snapshot's id; empty, with `error` saying why, for a name longer than a
    // snapshot file keeps.
    std::string TakeSnapshot(std::string name, std::string& error);
    std::string Add(CRegisterSnapshot snapshot);
    // A snapshot file, or a saved configuration run on a private board. Empty id on failure,
    // with `error` saying why (and, for a configuration, calls that failed).
    std::string Open(const std::string& path, std::string& error);
    // Writes the snapshot file whole or not at all, and only as a file Open reads back.
    bool Save(const std::string& id, const std::string& path, std::string& error) const;
    // False for an unknown id or a name longer than a snapshot file keeps.
    bool Rename(const std::string& id, std::string name);
    // The snapshot of that id, or the board now for "board"; false when there is none.
    bool Find(const std::string& id, CRegisterSnapshot& out) const;

    // Called after the snapshot list changed.
    void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    void Changed();

    CBoardOperations& ops_;
    CRegisterJournal journal_;
    std::vector<Entry> snapshots_;
    unsigned next_ = 1;
    std::function<void()> changed_;
};

} // namespace tarsion
