#include "registers/RegisterSession.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/PrivateBoard.h"
#include "ops/ScriptReplay.h"
#include "ops/UserPrompt.h"

#include <algorithm>
#include <map>

namespace tarsion {

namespace {
std::map<const CBoardOperations*, CRegisterSession*>& Sessions() {
    static std::map<const CBoardOperations*, CRegisterSession*> sessions;
    return sessions;
}
} // namespace

CRegisterSession::CRegisterSession(CBoardOperations& ops) : ops_(ops), journal_(ops) {
    Sessions()[&ops] = this;
}

CRegisterSession::~CRegisterSession() {
    Sessions().erase(&ops_);
}

CRegisterSession* CRegisterSession::Of(const CBoardOperations& ops) {
    const auto found = Sessions().find(&ops);
    return found == Sessions().end() ? nullptr : found->second;
}

std::string CRegisterSession::TakeSnapshot(std::string name, std::string& error) {
    if (!SnapshotNameFits(name)) {
        error = FormatText("the snapshot name is longer than %zu characters as a snapshot file writes it",
                           kLongestSnapshotName);
        return {};
    }
    return Add(CRegisterSnapshot::Take(ops_.Doc(), std::move(name)));
}

std::string CRegisterSession::Add(CRegisterSnapshot snapshot) {
    // Appended, not "s" + ...: g++ 12 at -O3 warns falsely of an overlapping copy in that operator.
    std::string id = "s";
    id += std::to_string(next_++);
    if (snapshot.name.empty())
        snapshot.name = id;
    snapshots_.push_back(Entry{id, std::move(snapshot)});
    if (snapshots_.size() > kMaximumSnapshots)
        snapshots_.erase(snapshots_.begin());
    Changed();
    return id;
}

std::string CRegisterSession::Open(const std::string& path, std::string& error) {
    std::string text;
    const std::size_t limit = std::max(kLargestSnapshotText, CScriptReplay::kLargestScript);
    if (const FileRead read = ReadRegularFile(path, limit, text); read != FileRead::Ok) {
        error = "Could not read " + path + ": " + WhyNotRead(path, read, limit);
        return {};
    }
    const std::string base = path.substr(path.find_last_of('/') + 1);
    if (LooksLikeSnapshot(text)) {
        SnapshotReading reading = ReadSnapshotText(text);
        if (!reading.snapshot) {
            error = path + " is not a valid snapshot file: " + reading.error;
            return {};
        }
        return Add(std::move(*reading.snapshot));
    }
    // A saved configuration: what it would leave on a board of the same clock and folder.
    // Run in steps like a long load: the program counts as busy, so calls wait in line, while its
    // prompt serves events between the steps and is where the user or a signal stops the replay.
    const CBoardOperations::Scope busy(ops_);
    IUserPrompt& prompt = ops_.Prompt();
    CPrivateBoard board(ops_.Doc(), &prompt);
    CScriptReplay replay(board.Ops());
    const bool replayed = replay.Run(text, [&](std::size_t done, std::size_t total) {
        return !board.Cancelled() && prompt.ReportProgress("OpenSnapshot", done, total);
    });
    prompt.EndProgress();
    if (replay.Stopped()) {
        error = path + ": the replay was cancelled (" + replay.Error() + ")";
        return {};
    }
    if (!replayed) {
        error = path + " is neither a snapshot file nor a saved configuration: " + replay.Error();
        return {};
    }
    error.clear();
    for (const std::string& failure : replay.Failures())
        error += failure + '\n';
    for (const std::string& message : board.Messages())
        error += message + '\n';
    if (replay.Failures().empty())
        error.clear();
    return Add(CRegisterSnapshot::Take(board.Doc(), base));
}

bool CRegisterSession::Save(const std::string& id, const std::string& path, std::string& error) const {
    CRegisterSnapshot snapshot;
    if (!Find(id, snapshot)) {
        error = "No snapshot " + id;
        return false;
    }
    if (!UsableFileName(path)) {
        error = "Could not write " + path;
        return false;
    }
    const std::string text = SnapshotText(snapshot);
    if (const SnapshotReading reading = ReadSnapshotText(text); !reading.snapshot) {
        error = "Could not write " + path + ": the snapshot would not read back (" + reading.error + ")";
        return false;
    }
    CReplacementFile file(path);
    if (!file.IsOpen() || !file.Commit(text)) {
        error = "Could not write " + path + ": " + file.Error();
        return false;
    }
    return true;
}

bool CRegisterSession::Rename(const std::string& id, std::string name) {
    if (!SnapshotNameFits(name))
        return false;
    for (Entry& entry : snapshots_) {
        if (entry.id == id) {
            entry.snapshot.name = std::move(name);
            Changed();
            return true;
        }
    }
    return false;
}

bool CRegisterSession::Find(const std::string& id, CRegisterSnapshot& out) const {
    if (id == kBoardId) {
        out = CRegisterSnapshot::Take(ops_.Doc(), "Board now");
        return true;
    }
    for (const Entry& entry : snapshots_) {
        if (entry.id == id) {
            out = entry.snapshot;
            return true;
        }
    }
    return false;
}

void CRegisterSession::Changed() {
    if (changed_)
        changed_();
}

} // namespace tarsion
