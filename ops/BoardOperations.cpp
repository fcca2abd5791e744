#include "ops/BoardOperations.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/PldGuard.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

namespace tarsion {

namespace {
constexpr const char* kDone = "Done";
constexpr const char* kFailed = "Failed ";
constexpr const char* kPldRestoreFailed = "Failed to Stop Sending Memory Pattern";
constexpr const char* kReadOutFailed = "Couldnt do ReadOut after Reset";
constexpr const char* kSoftResetFailed = "Couldn't Execute Soft Reset";
constexpr auto kSoftResetWait = std::chrono::milliseconds(200);
constexpr std::size_t kLongestLogLine = 8192;

// Command bytes of the soft reset: a chip write of SoftReset, then of the empty address 0x13.
constexpr std::uint8_t kSoftResetStart = 0x10;
constexpr std::uint8_t kSoftResetEnd = 0x13;

std::string Megahertz(double hz) {
    return FormatText("%.9g MHz", hz / 1e6);
}

} // namespace

// A register write that reaches a memory changes it other than by a load: a MemoryLoadStrobe
// command (a Poke of it, or through the bridge) writes the RAM MemoryControl selects, the last
// address byte of a pattern word (bit 18 clear: not a read) the pattern memory.
void CBoardOperations::NoteMemoryTouch(const RegisterWrite& write) {
    const auto touch = [this](ChipMemory memory) { touched_[static_cast<std::size_t>(memory)] = true; };
    if (write.space == RegisterSpace::Pld) {
        if (write.reg == pldreg::kAddress2 && (write.newValue & 0x04) == 0)
            touch(ChipMemory::Pattern);
        return;
    }
    const bool strobe = write.space == RegisterSpace::Chip ? write.reg == chipreg::kMemoryLoadStrobe
                                                           : write.reg == bridgereg::kChipWriteAddress &&
                                                                 write.newValue == chipreg::kMemoryLoadStrobe;
    const std::uint32_t control = doc_.Shadow().FetchChipReg(chipreg::kMemoryControl);
    if (!strobe || (control & 0x20) != 0) // Read Not Write
        return;
    const unsigned select = (control >> 2) & 0x7;
    if (select == 1 || select == 3)
        touch(ChipMemory::CoefficientI);
    if (select == 2 || select == 3)
        touch(ChipMemory::CoefficientQ);
    if (select == 4)
        touch(ChipMemory::Constellation);
}

// The memories the operation's writes reached are marked, naming the console or the operation.
void CBoardOperations::MarkTouchedMemories(const WrittenRegisters& written) {
    if (std::none_of(touched_.begin(), touched_.end(), [](bool touched) { return touched; }))
        return;
    const std::string how = written.source == WriteSource::Console ? std::string("console")
                            : written.what.empty()                 ? std::string("register write")
                                                   : written.what.substr(0, written.what.find(' '));
    for (std::size_t memory = 0; memory < touched_.size(); ++memory)
        if (std::exchange(touched_[memory], false))
            doc_.MarkMemoryChanged(static_cast<ChipMemory>(memory), how);
    doc_.UpdateAllViews();
}

// Every frequency on the pages refers to SysClk: a write that changes it says so, with the carrier
// it now gives.
void CBoardOperations::NoteClockChange(double before) {
    const double after = doc_.Shadow().SysClk();
    if (after == before)
        return;
    const double carrier = doc_.Shadow().FetchChipReg(chipreg::kCarrierFrequency) * after / 4294967296.0;
    doc_.clockChange =
        "SysClk " + Megahertz(before) + " \u2192 " + Megahertz(after) + ": carrier now " + Megahertz(carrier);
    Log(doc_.clockChange, 1);
}

CBoardOperations::Scope::Scope(CBoardOperations& ops) : ops_(ops) {
    if (ops_.depth_++ == 0)
        ops_.log_.BeginOperation();
    ops_.doc_.HoldViews();
}

CBoardOperations::Scope::~Scope() {
    // The views catch up with the finished operation before the next one is let in.
    ops_.doc_.ReleaseViews();
    if (ops_.depth_ == 1) {
        ops_.log_.EndOperation();
        ops_.TellWrites();
    }
    if (--ops_.depth_ == 0 && ops_.idle_) {
        // A copy, so that the handler may replace itself.
        const std::function<void()> handler = ops_.idle_;
        handler();
    }
}

CBoardOperations::CBoardOperations(CBoardLink& link, CTarsionDoc& doc, COperationLog& log,
                                   IUserPrompt& prompt)
    : link_(link), doc_(doc), log_(log), prompt_(prompt) {}

void CBoardOperations::Log(std::string_view text, int indent) {
    // Only a file name longer than the system allows makes a line this long: the log shows its start.
    if (text.size() > kLongestLogLine) {
        log_.LogLine(std::string(text.substr(0, kLongestLogLine)) + "...", indent);
        return;
    }
    log_.LogLine(text, indent);
}

void CBoardOperations::Record(std::string_view line) {
    doc_.RecordLine(line);
}

bool CBoardOperations::TransferRegister(RegisterWrite& write) {
    const RegisterShadow& shadow = doc_.Shadow();
    bool written = false;
    switch (write.space) {
    case RegisterSpace::Chip:
        write.oldValue = shadow.FetchChipReg(write.reg);
        written = link_.WriteChipReg(write.reg, write.newValue);
        break;
    case RegisterSpace::Bridge:
        write.oldValue = shadow.FetchBridgeReg(write.reg);
        written = link_.WriteBridgeReg(write.reg, static_cast<std::uint8_t>(write.newValue));
        break;
    case RegisterSpace::Pld:
        write.oldValue = shadow.FetchPldReg(write.reg);
        written = link_.WritePldReg(write.reg, static_cast<std::uint8_t>(write.newValue));
        break;
    }
    if (written)
        NoteMemoryTouch(write);
    if (written && writeObserver_)
        written_.writes.push_back(write);
    return written;
}

void CBoardOperations::NoteWrites(std::string what, bool console, bool batch) {
    written_.what = std::move(what);
    written_.source = console ? WriteSource::Console : writeSource_;
    written_.batch = batch;
}

void CBoardOperations::TellWrites() {
    // Taken first: the observer may start the next operation (undo writes through this layer).
    const WrittenRegisters written = std::exchange(written_, WrittenRegisters{});
    MarkTouchedMemories(written);
    if (!written.writes.empty() && writeObserver_)
        writeObserver_->OnRegisterWrites(written);
}

void CBoardOperations::Announce(Form form, const std::string& first, const std::string& record) {
    if (form == Form::Numeric)
        Log(first, 0);
    Record(record);
}

bool CBoardOperations::SoftReset() {
    Scope scope(*this);
    Log("SoftReset", 0);
    Record("Tarsion.SoftReset()");
    // The bridge data registers are sent as they stand: the SoftReset register ignores its data.
    if (!link_.WriteBridgeReg(bridgereg::kChipWriteAddress, kSoftResetStart)) {
        Log(kSoftResetFailed, 1);
        return false;
    }
    link_.WaitMoreThan(kSoftResetWait);
    if (!link_.WriteBridgeReg(bridgereg::kChipWriteAddress, kSoftResetEnd)) {
        Log(kSoftResetFailed, 1);
        return false;
    }
    ReadOutAfterReset();
    Log(kDone, 1);
    return true;
}

bool CBoardOperations::Reset() {
    Scope scope(*this);
    Log("Reset", 0);
    Record("Tarsion.Reset()");
    if (!link_.ResetBoard()) {
        Log("Couldn't Execute Board Reset", 1);
        return false;
    }
    ReadOutAfterReset();
    Log(kDone, 1);
    return true;
}

bool CBoardOperations::ReadOutAfterReset() {
    Scope scope(*this);
    const auto readOut = [this] {
        for (std::uint8_t address : kValueRegisters) {
            std::uint32_t value = 0;
            if (!link_.ReadChipReg(address, value))
                return false;
        }
        std::uint8_t boardControl = 0;
        if (!link_.ReadBridgeReg(bridgereg::kBoardControl, boardControl))
            return false;
        if ((boardControl & bridgereg::kDataClkMask) == bridgereg::kDataClkTristated)
            return true;
        std::uint8_t sender = 0;
        return link_.ReadPldReg(pldreg::kPatternSender, sender);
    };
    if (readOut())
        return true;
    Log(kReadOutFailed, 1);
    return false;
}

bool CBoardOperations::Send() {
    Scope scope(*this);
    Log("Send", 0);
    Record("Tarsion.Send();");
    return WritePatternSender(1);
}

bool CBoardOperations::Stop() {
    Scope scope(*this);
    Log("Stop", 0);
    Record("Tarsion.Stop();");
    return WritePatternSender(0);
}

bool CBoardOperations::WritePatternSender(std::uint8_t value) {
    PldGuard guard(*this);
    if (!guard.Begin())
        return false;
    if (!link_.WritePldReg(pldreg::kPatternSender, value)) {
        Log(kFailed, 1);
        return false;
    }
    if (!guard.End(kFailed))
        return false;
    Log(kDone, 1);
    return true;
}

// Numeric forms.

bool CBoardOperations::Poke(std::uint8_t address, std::uint32_t data) {
    Scope scope(*this);
    return DoPoke(Form::Numeric, address, data);
}

bool CBoardOperations::Peek(std::uint8_t address, std::uint32_t& value) {
    Scope scope(*this);
    return DoPeek(Form::Numeric, address, value);
}

bool CBoardOperations::ModifyBits(std::uint8_t address, std::uint32_t data, std::uint32_t mask) {
    Scope scope(*this);
    return DoModifyBits(Form::Numeric, address, data, mask);
}

bool CBoardOperations::SetBits(std::uint8_t address, std::uint32_t mask) {
    Scope scope(*this);
    return DoSetBits(Form::Numeric, address, mask);
}

bool CBoardOperations::ResetBits(std::uint8_t address, std::uint32_t mask) {
    Scope scope(*this);
    return DoResetBits(Form::Numeric, address, mask);
}

bool CBoardOperations::Write(std::uint8_t reg, std::uint8_t data) {
    Scope scope(*this);
    return DoWrite(Form::Numeric, reg, data);
}

bool CBoardOperations::Read(std::uint8_t reg, std::uint8_t& value) {
    Scope scope(*this);
    return DoRead(Form::Numeric, reg, value);
}

bool CBoardOperations::PldWrite(std::uint8_t reg, std::uint8_t data) {
    Scope scope(*this);
    return DoPldWrite(Form::Numeric, reg, data);
}

bool CBoardOperations::PldRead(std::uint8_t reg, std::uint8_t& value) {
    Scope scope(*this);
    return DoPldRead(Form::Numeric, reg, value);
}

// Shared by both forms.

bool CBoardOperations::DoPoke(Form form, std::uint8_t address, std::uint32_t data) {
    const bool numeric = form == Form::Numeric;
    std::string what = "Poke ";
    AppendHex(what, address, 2);
    what += ' ';
    AppendHex(what, data, 8);
    // A script pokes thousands of times a second: its line is only formed while recording.
    Announce(form, what + ' ',
             doc_.IsRecording() ? FormatText(numeric ? "Tarsion.Poke ( 0x%.2x,0x%.8x );"
                                                     : "Tarsion.Poke ( 0x%.2x, 0x%.8x );",
                                             address, data)
                                : std::string());
    RegisterWrite write = RegisterWrite::Chip(address, data);
    const double sysClk = doc_.Shadow().SysClk();
    if (!TransferRegister(write)) {
        Log(FormatText(numeric ? "Couldn't Poke to Register %.2x" : "Couldn't Poke to Register 0x%.2x",
                       address),
            1);
        return false;
    }
    NoteWrites(std::move(what), !numeric);
    Log(kDone, 1);
    NoteClockChange(sysClk);
    return true;
}

bool CBoardOperations::DoPeek(Form form, std::uint8_t address, std::uint32_t& value) {
    std::string what = "Peek ";
    AppendHex(what, address, 2);
    Announce(form, what,
             doc_.IsRecording() ? FormatText("Data=Tarsion.Peek(0x%.2x);", address) : std::string());
    if (!link_.ReadChipReg(address, value)) {
        value = 0;
        Log(FormatText(form == Form::Numeric ? "Couldn't Peek Rgister %.2x" : "Couldn't Peek Register 0x%.2x",
                       address),
            1);
        return false;
    }
    std::string returned = "Returned ";
    AppendHex(returned, value, 8);
    Log(returned, 1);
    return true;
}

bool CBoardOperations::DoModifyBits(Form form, std::uint8_t address, std::uint32_t data, std::uint32_t mask) {
    Announce(form, FormatText("ModifyBits %.2x %.8x %.8x ", address, data, mask),
             FormatText(form == Form::Numeric ? "Tarsion.ModifyBits ( 0x%.2x,0x%.8x,0x%.8x );"
                                              : "Tarsion.ModifyBits ( 0x%.2x, 0x%.8x, 0x%.8x );",
                        address, data, mask));
    NoteWrites(FormatText("ModifyBits %.2x %.8x %.8x", address, data, mask), form == Form::Text);
    return ReadModifyWrite(address, ~mask, data & mask,
                           FormatText("Couldn't Modify Bits Specified with the Mask %.8x", mask));
}

bool CBoardOperations::DoSetBits(Form form, std::uint8_t address, std::uint32_t mask) {
    Announce(form, FormatText("SetBits %.2x %.8x ", address, mask),
             FormatText("Tarsion.SetBits ( 0x%.2x,0x%.8x );", address, mask));
    NoteWrites(FormatText("SetBits %.2x %.8x", address, mask), form == Form::Text);
    return ReadModifyWrite(address, ~std::uint32_t{0}, mask,
                           FormatText("Couldn't Set Bits Specified with the Mask %.8x", mask));
}

bool CBoardOperations::DoResetBits(Form form, std::uint8_t address, std::uint32_t mask) {
    Announce(form, FormatText("ResetBits %.2x %.8x ", address, mask),
             FormatText("Tarsion.ResetBits ( 0x%.2x,0x%.8x );", address, mask));
    NoteWrites(FormatText("ResetBits %.2x %.8x", address, mask), form == Form::Text);
    return ReadModifyWrite(address, ~mask, 0,
                           FormatText("Couldn't Reset Bits Specified with the Mask %.8x", mask));
}

bool CBoardOperations::ReadModifyWrite(std::uint8_t address, std::uint32_t keep, std::uint32_t set,
                                       const std::string& failure) {
    std::uint32_t old = 0;
    if (!link_.ReadChipReg(address, old)) {
        Log(failure, 1);
        return false;
    }
    RegisterWrite write = RegisterWrite::Chip(address, (old & keep) | set);
    const double sysClk = doc_.Shadow().SysClk();
    if (!TransferRegister(write)) {
        Log(failure, 1);
        return false;
    }
    Log(kDone, 1);
    NoteClockChange(sysClk);
    return true;
}

bool CBoardOperations::DoWrite(Form form, std::uint8_t reg, std::uint8_t data) {
    Announce(form, FormatText("Write %.2x %.2x ", reg, data),
             FormatText("Tarsion.Write ( 0x%.2x,0x%.2x );", reg, data));
    RegisterWrite write{RegisterSpace::Bridge, reg, 0, data};
    if (!TransferRegister(write)) {
        Log(FormatText(form == Form::Numeric ? "Couldn't Write to Chip Register # %.2x"
                                             : "Couldn't Write to 0x%x",
                       reg),
            1);
        return false;
    }
    NoteWrites(FormatText("Write %.2x %.2x", reg, data), form == Form::Text);
    Log(kDone, 1);
    return true;
}

bool CBoardOperations::DoRead(Form form, std::uint8_t reg, std::uint8_t& value) {
    Announce(form, FormatText("Read %.2x ", reg), FormatText("Data = Tarsion.Read ( 0x%.2x );", reg));
    if (!link_.ReadBridgeReg(reg, value)) {
        value = 0;
        Log(FormatText(form == Form::Numeric ? "Couldn't Read from Chip Register # %.2x"
                                             : "Couldn't Read from to 0x%x",
                       reg),
            1);
        return false;
    }
    Log(FormatText("Returned %.2x", value), 1);
    return true;
}

bool CBoardOperations::DoPldWrite(Form form, std::uint8_t reg, std::uint8_t data) {
    Announce(form, FormatText("PldWrite %.2x %.2x ", reg, data),
             FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", reg, data));
    PldGuard guard(*this);
    if (!guard.Begin())
        return false;
    RegisterWrite write = RegisterWrite::Pld(reg, data);
    if (!TransferRegister(write)) {
        Log(FormatText("Couldn't Write to Pld Register # %.2x", reg), 1);
        return false;
    }
    NoteWrites(FormatText("PldWrite %.2x %.2x", reg, data), form == Form::Text);
    if (!guard.End(kPldRestoreFailed))
        return false;
    Log(kDone, 1);
    return true;
}

bool CBoardOperations::DoPldRead(Form form, std::uint8_t reg, std::uint8_t& value) {
    Announce(form, FormatText("PldRead %.2x ", reg), FormatText("Data = Tarsion.PldRead ( 0x%.2x );", reg));
    value = 0;
    PldGuard guard(*this);
    if (!guard.Begin())
        return false;
    std::uint8_t read = 0;
    if (!link_.ReadPldReg(reg, read)) {
        Log(FormatText("Couldn't Read from Pld Register # %.2x", reg), 1);
        return false;
    }
    if (!guard.End(kPldRestoreFailed))
        return false;
    value = read;
    Log(FormatText("Returned %.2x", value), 1);
    return true;
}

} // namespace tarsion
