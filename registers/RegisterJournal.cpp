#include "registers/RegisterJournal.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/RegisterBatch.h"

#include <algorithm>
#include <ctime>
#include <iterator>

namespace tarsion {

namespace {

// Bridge 0..7 and PLD 0..8 carry transfers; their content is the last transfer's, not a setting.
constexpr std::uint8_t kFirstBridgeSetting = 8;
constexpr std::uint8_t kFirstPldSetting = 9;
constexpr std::uint8_t kSpaceRegisters = 16;

const char* SourceName(WriteSource source) {
    switch (source) {
    case WriteSource::Console:
        return "console";
    case WriteSource::Script:
        return "script";
    case WriteSource::Page:
        break;
    }
    return "page";
}

const char* SpaceName(RegisterSpace space) {
    switch (space) {
    case RegisterSpace::Bridge:
        return "bridge";
    case RegisterSpace::Pld:
        return "pld";
    case RegisterSpace::Chip:
        break;
    }
    return "chip";
}

std::string UtcText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

namespace {
std::size_t WritesOf(const CRegisterJournal::Entry& entry) {
    return entry.written->writes.size();
}
std::size_t WritesOf(const std::shared_ptr<const WrittenRegisters>& step) {
    return step->writes.size();
}
} // namespace

template <typename Item>
void CRegisterJournal::Capped<Item>::Push(Item item, std::size_t maximum) {
    writes += WritesOf(item);
    items.push_back(std::move(item));
    while (items.size() > maximum || (writes > kMaximumWrites && items.size() > 1)) {
        writes -= WritesOf(items.front());
        items.pop_front();
    }
}

template <typename Item>
void CRegisterJournal::Capped<Item>::PopBack() {
    writes -= WritesOf(items.back());
    items.pop_back();
}

template <typename Item>
void CRegisterJournal::Capped<Item>::Clear() {
    items.clear();
    writes = 0;
}

CRegisterJournal::CRegisterJournal(CBoardOperations& ops) : ops_(ops) {
    ops_.SetWriteObserver(this);
}

CRegisterJournal::~CRegisterJournal() {
    ops_.SetWriteObserver(nullptr);
}

bool CRegisterJournal::IsUndoable(RegisterSpace space, std::uint8_t reg) {
    switch (space) {
    case RegisterSpace::Chip:
        return reg != chipreg::kInterruptStatus &&
               std::find(std::begin(kValueRegisters), std::end(kValueRegisters), reg) !=
                   std::end(kValueRegisters);
    case RegisterSpace::Bridge:
        return reg >= kFirstBridgeSetting && reg < kSpaceRegisters;
    case RegisterSpace::Pld:
        return reg >= kFirstPldSetting && reg < kSpaceRegisters;
    }
    return false;
}

void CRegisterJournal::OnRegisterWrites(const WrittenRegisters& written) {
    std::string source = replaying_ == Replay::Undo   ? "undo"
                         : replaying_ == Replay::Redo ? "redo"
                                                      : SourceName(written.source);
    auto step = std::make_shared<const WrittenRegisters>(written);
    entries_.Push(Entry{std::chrono::system_clock::now(), std::move(source), step}, kMaximumEntries);
    const bool undoable =
        std::any_of(step->writes.begin(), step->writes.end(), [](const RegisterWrite& write) {
            return IsUndoable(write.space, write.reg) && write.oldValue != write.newValue;
        });
    if (replaying_ == Replay::None && undoable) {
        undo_.Push(std::move(step), kMaximumUndo);
        // A new write starts a new line of history: what was undone can no longer be redone.
        redo_.Clear();
    }
    Changed();
}

std::string CRegisterJournal::UndoText() const {
    return undo_.items.empty() ? std::string() : "Undo " + undo_.items.back()->what;
}

std::string CRegisterJournal::RedoText() const {
    return redo_.items.empty() ? std::string() : "Redo " + redo_.items.back()->what;
}

bool CRegisterJournal::WriteBack(const WrittenRegisters& step, bool undo) {
    std::vector<RegisterWrite> writes;
    for (const RegisterWrite& write : step.writes) {
        if (IsUndoable(write.space, write.reg) && write.oldValue != write.newValue)
            writes.push_back({write.space, write.reg, 0, undo ? write.oldValue : write.newValue});
    }
    // Undone last write first, so a register written twice ends at the value before the first.
    if (undo)
        std::reverse(writes.begin(), writes.end());
    if (writes.empty())
        return false;
    if (step.batch) {
        CRegisterBatch batch(ops_);
        return writes.front().space == RegisterSpace::Pld ? !batch.PldWriteMany(writes)
                                                          : !batch.PokeMany(writes);
    }
    const RegisterWrite& write = writes.front();
    switch (write.space) {
    case RegisterSpace::Chip:
        return ops_.Poke(write.reg, write.newValue);
    case RegisterSpace::Bridge:
        return ops_.Write(write.reg, static_cast<std::uint8_t>(write.newValue));
    case RegisterSpace::Pld:
        return ops_.PldWrite(write.reg, static_cast<std::uint8_t>(write.newValue));
    }
    return false;
}

bool CRegisterJournal::TakeBack(Capped<Step>& from, Capped<Step>& to, Replay replay) {
    if (from.items.empty() || ops_.IsBusy())
        return false;
    const Step step = from.items.back();
    replaying_ = replay;
    const bool ok = WriteBack(*step, replay == Replay::Undo);
    replaying_ = Replay::None;
    if (ok) {
        from.PopBack();
        to.Push(step, kMaximumUndo);
    }
    Changed();
    return ok;
}

bool CRegisterJournal::Undo() {
    return TakeBack(undo_, redo_, Replay::Undo);
}

bool CRegisterJournal::Redo() {
    return TakeBack(redo_, undo_, Replay::Redo);
}

std::string CRegisterJournal::Csv() const {
    std::string text = "time,source,space,register,old,new,operation\n";
    for (const Entry& entry : entries_.items) {
        const std::string time = UtcText(entry.time);
        const std::string what = CsvField(entry.What());
        for (const RegisterWrite& write : entry.Writes()) {
            const int digits = write.space == RegisterSpace::Chip ? 8 : 2;
            text +=
                time + ',' + entry.source + ',' + SpaceName(write.space) +
                FormatText(",%.2x,%.*x,%.*x,", write.reg, digits, write.oldValue, digits, write.newValue) +
                what + '\n';
        }
    }
    return text;
}

void CRegisterJournal::Changed() {
    if (changed_)
        changed_();
}

} // namespace tarsion
