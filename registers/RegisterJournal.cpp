#include "registers/RegisterJournal.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"

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

template <typename List>
void PushCapped(List& list, typename List::value_type item, std::size_t cap) {
    list.push_back(std::move(item));
    while (list.size() > cap)
        list.pop_front();
}

} // namespace

CRegisterJournal::CRegisterJournal(CBoardOperations& ops) : ops_(ops) {
    SetRegisterWriteObserver(ops_, this);
}

CRegisterJournal::~CRegisterJournal() {
    SetRegisterWriteObserver(ops_, nullptr);
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

void CRegisterJournal::OnRegisterWrite(const RegisterWrite& write) {
    std::string source = replaying_ == Replay::Undo   ? "undo"
                         : replaying_ == Replay::Redo ? "redo"
                                                      : SourceName(write.source);
    PushCapped(entries_, Entry{std::chrono::system_clock::now(), std::move(source), write}, kMaximumEntries);
    if (replaying_ == Replay::None && IsUndoable(write.space, write.reg) &&
        write.oldValue != write.newValue) {
        PushCapped(undo_, write, kMaximumUndo);
        // A new write starts a new line of history: what was undone can no longer be redone.
        redo_.clear();
    }
    Changed();
}

std::string CRegisterJournal::UndoText() const {
    return undo_.empty() ? std::string() : "Undo " + undo_.back().what;
}

std::string CRegisterJournal::RedoText() const {
    return redo_.empty() ? std::string() : "Redo " + redo_.back().what;
}

bool CRegisterJournal::WriteBack(const RegisterWrite& write, std::uint32_t value) {
    switch (write.space) {
    case RegisterSpace::Chip:
        return ops_.Poke(write.reg, value);
    case RegisterSpace::Bridge:
        return ops_.Write(write.reg, static_cast<std::uint8_t>(value));
    case RegisterSpace::Pld:
        return ops_.PldWrite(write.reg, static_cast<std::uint8_t>(value));
    }
    return false;
}

bool CRegisterJournal::Undo() {
    if (undo_.empty() || ops_.IsBusy())
        return false;
    const RegisterWrite write = undo_.back();
    replaying_ = Replay::Undo;
    const bool ok = WriteBack(write, write.oldValue);
    replaying_ = Replay::None;
    if (ok) {
        undo_.pop_back();
        PushCapped(redo_, write, kMaximumUndo);
    }
    Changed();
    return ok;
}

bool CRegisterJournal::Redo() {
    if (redo_.empty() || ops_.IsBusy())
        return false;
    const RegisterWrite write = redo_.back();
    replaying_ = Replay::Redo;
    const bool ok = WriteBack(write, write.newValue);
    replaying_ = Replay::None;
    if (ok) {
        redo_.pop_back();
        PushCapped(undo_, write, kMaximumUndo);
    }
    Changed();
    return ok;
}

std::string CRegisterJournal::Csv() const {
    std::string text = "time,source,space,register,old,new,operation\n";
    for (const Entry& entry : entries_) {
        const RegisterWrite& write = entry.write;
        const int digits = write.space == RegisterSpace::Chip ? 8 : 2;
        text += UtcText(entry.time) + ',' + entry.source + ',' + SpaceName(write.space) +
                FormatText(",%.2x,%.*x,%.*x,", write.reg, digits, write.oldValue, digits, write.newValue) +
                CsvField(write.what) + '\n';
    }
    return text;
}

void CRegisterJournal::Changed() {
    if (changed_)
        changed_();
}

} // namespace tarsion
