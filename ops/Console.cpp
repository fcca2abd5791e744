// The console interpreter and the text forms of the operations it calls.
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/Trm90627Interface.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace tarsion {

namespace {
constexpr const char* kInvalidAddress = "Error : Invalid Address ";
constexpr const char* kInvalidData = "Error : Invalid Data ";
constexpr const char* kInvalidMask = "Error : Invalid Mask ";
constexpr const char* kAddressTooLong = "Error: The Hexadecimal address can't exceed 2 digits";
constexpr const char* kDataTooLong = "Error: The Hexadecimal data can't exceed 8 digits";
constexpr const char* kInvalidHex = "Error: Invalid Hexadecimal Number";
constexpr std::size_t kAddressDigits = 2;
constexpr std::size_t kDataDigits = 8;

constexpr char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// A register name in lower case (the console lowers the whole line); addresses without a register
// have an empty name.
std::optional<std::uint8_t> RegisterByName(std::string_view text) {
    const auto& table = ChipRegisterTable();
    for (std::size_t address = 0; address < table.size(); ++address) {
        const std::string_view name = table[address] ? table[address]->name : std::string_view{};
        if (name.size() != text.size())
            continue;
        bool equal = true;
        for (std::size_t i = 0; i < name.size() && equal; ++i)
            equal = ToLower(name[i]) == text[i];
        if (equal)
            return static_cast<std::uint8_t>(address);
    }
    return std::nullopt;
}

// strtoul with base 16 (leading white space, sign, 0x prefix); the whole text must be consumed.
std::optional<unsigned long> ConvertHex(std::string_view text) {
    const std::string terminated(text);
    char* end = nullptr;
    const unsigned long value = std::strtoul(terminated.c_str(), &end, 16);
    if (end != terminated.c_str() + terminated.size())
        return std::nullopt;
    return value;
}

// Logs the parser's own message on failure.
std::optional<unsigned long> ParseHex(CBoardOperations& ops, std::string_view text, std::size_t digits,
                                      const char* tooLong) {
    if (text.size() > digits) {
        ops.Log(tooLong, 1);
        return std::nullopt;
    }
    const auto value = ConvertHex(text);
    if (!value)
        ops.Log(kInvalidHex, 1);
    return value;
}

// The number of arguments of the automation object's method that a console command stands for: the
// console takes the arguments the method does (as hexadecimal text). A command word that names no
// method fails the build.
constexpr std::size_t ArgumentsOf(std::string_view word) {
    for (const CallMethod& method : kTrm90627Calls) {
        const std::string_view name = method.name;
        if (name.size() == word.size() && std::equal(name.begin(), name.end(), word.begin(),
                                                     [](char a, char b) { return ToLower(a) == b; }))
            return method.arguments;
    }
    throw "a console command that is no method of the automation object";
}

struct ConsoleCommand {
    using Call = bool (*)(CBoardOperations& ops, const std::array<std::string, 4>& slots);

    constexpr ConsoleCommand(std::string_view command, Call operation, std::string_view usageText,
                             std::string_view purposeText)
        : word(command), arguments(ArgumentsOf(command)), call(operation), usage(usageText),
          purpose(purposeText) {}

    std::string_view word;
    std::size_t arguments;
    Call call;
    // The command with its arguments, and what it does (the help list).
    std::string_view usage;
    std::string_view purpose;
};

constexpr ConsoleCommand kCommands[] = {
    {"poke", [](CBoardOperations& ops, const auto& s) { return ops.Poke(s[1], s[2]); },
     "poke <address> <data>", "write a chip register"},
    {"write", [](CBoardOperations& ops, const auto& s) { return ops.Write(s[1], s[2]); },
     "write <register> <byte>", "write a bridge register"},
    {"pldwrite", [](CBoardOperations& ops, const auto& s) { return ops.PldWrite(s[1], s[2]); },
     "pldwrite <register> <byte>", "write a PLD register"},
    {"peek", [](CBoardOperations& ops, const auto& s) { return ops.Peek(s[1]); }, "peek <address>",
     "read a chip register"},
    {"read", [](CBoardOperations& ops, const auto& s) { return ops.Read(s[1]); }, "read <register>",
     "read a bridge register"},
    {"pldread", [](CBoardOperations& ops, const auto& s) { return ops.PldRead(s[1]); }, "pldread <register>",
     "read a PLD register"},
    {"softreset", [](CBoardOperations& ops, const auto&) { return ops.SoftReset(); }, "softreset",
     "pulse the chip's SoftReset bit"},
    {"reset", [](CBoardOperations& ops, const auto&) { return ops.Reset(); }, "reset",
     "pulse the board's reset line"},
    {"setbits", [](CBoardOperations& ops, const auto& s) { return ops.SetBits(s[1], s[2]); },
     "setbits <address> <mask>", "set the mask's bits of a chip register"},
    {"resetbits", [](CBoardOperations& ops, const auto& s) { return ops.ResetBits(s[1], s[2]); },
     "resetbits <address> <mask>", "clear the mask's bits of a chip register"},
    {"modifybits", [](CBoardOperations& ops, const auto& s) { return ops.ModifyBits(s[1], s[2], s[3]); },
     "modifybits <address> <data> <mask>", "write the data's bits under the mask"},
    {"send", [](CBoardOperations& ops, const auto&) { return ops.Send(); }, "send",
     "start sending the pattern memory"},
    {"stop", [](CBoardOperations& ops, const auto&) { return ops.Stop(); }, "stop", "stop sending"},
};

constexpr std::string_view kHelpWords[] = {"help", "?"};

bool IsHelp(std::string_view word) {
    return std::find(std::begin(kHelpWords), std::end(kHelpWords), word) != std::end(kHelpWords);
}

// Columns are padded with blanks: tab stops would not line up names of different lengths.
std::string Padded(std::string_view text, std::size_t width) {
    std::string padded(text);
    padded.resize(std::max(width, text.size() + 1), ' ');
    return padded;
}

void LogHelp(CBoardOperations& ops) {
    ops.Log(
        "Commands (numbers are hexadecimal; an address may be a register name, as in peek SymbolFrequency):",
        1);
    std::size_t width = 0;
    for (const ConsoleCommand& command : kCommands)
        width = std::max(width, command.usage.size() + 2);
    for (const ConsoleCommand& command : kCommands)
        ops.Log(Padded(command.usage, width) + std::string(command.purpose), 2);
    ops.Log(Padded("help registers", width) + "the chip registers' names and addresses", 2);
    ops.Log(Padded("help or ?", width) + "this list", 2);
}

void LogRegisterHelp(CBoardOperations& ops) {
    ops.Log("Chip registers (peek, poke and the bit commands take the name or the address):", 1);
    std::size_t width = 0;
    for (const auto& info : ChipRegisterTable())
        if (info)
            width = std::max(width, info->name.size() + 2);
    for (std::size_t address = 0; address < ChipRegisterTable().size(); ++address) {
        const std::optional<ChipRegisterInfo>& info = ChipRegisterTable()[address];
        if (info)
            ops.Log(FormatText("%.2zx  ", address) + Padded(info->name, width) +
                        FormatText("%d byte%s, largest %x", info->bytes, info->bytes == 1 ? "" : "s",
                                   info->largestValue),
                    2);
    }
}
} // namespace

bool CBoardOperations::AddressArgument(std::string_view text, const char* error, std::uint8_t& value) {
    if (const auto address = RegisterByName(text)) {
        value = *address;
        return true;
    }
    if (const auto number = ParseHex(*this, text, kAddressDigits, kAddressTooLong)) {
        value = static_cast<std::uint8_t>(*number);
        return true;
    }
    Log(error, 1);
    return false;
}

bool CBoardOperations::DataArgument(std::string_view text, const char* error, std::uint32_t& value) {
    if (const auto number = ParseHex(*this, text, kDataDigits, kDataTooLong)) {
        value = static_cast<std::uint32_t>(*number);
        return true;
    }
    Log(error, 1);
    return false;
}

bool CBoardOperations::Console(std::string_view line) {
    Scope scope(*this);
    // Ends the line the user typed.
    Log("", 0);
    std::string lowered(line);
    for (char& c : lowered)
        c = ToLower(c);

    // Only the blank separates words; a tab stays inside its word.
    std::string_view rest = lowered;
    std::size_t arguments = 0;
    for (std::size_t slot = 0;; ++slot) {
        if (slot == slots_.size()) {
            Log("Too Many Arguments", 1);
            return false;
        }
        rest = Trim(rest);
        const std::size_t blank = rest.find(' ');
        if (blank == std::string_view::npos) {
            slots_[slot] = rest;
            arguments = slot;
            break;
        }
        slots_[slot] = Trim(rest.substr(0, blank));
        rest.remove_prefix(blank + 1);
    }

    for (const ConsoleCommand& command : kCommands) {
        if (command.word != slots_[0])
            continue;
        if (arguments != command.arguments) {
            Log(command.arguments == 0 ? "Error: This function takes no arguments"
                                       : "Error: Incorrect Number of arguments",
                1);
            Log("Usage: " + std::string(command.usage), 1);
            return false;
        }
        // Copies, so that a console line typed by a view during the operation cannot change them.
        const std::array<std::string, 4> slots = slots_;
        command.call(*this, slots);
        return true;
    }
    if (IsHelp(slots_[0])) {
        if (arguments == 1 && slots_[1] == "registers")
            LogRegisterHelp(*this);
        else
            LogHelp(*this);
        return true;
    }
    Log("Unrecognized Command", 1);
    Log("type help for the list", 1);
    return false;
}

bool CBoardOperations::Poke(std::string_view address, std::string_view data) {
    Scope scope(*this);
    std::uint8_t a = 0;
    std::uint32_t d = 0;
    return AddressArgument(address, kInvalidAddress, a) && DataArgument(data, kInvalidData, d) &&
           DoPoke(Form::Text, a, d);
}

bool CBoardOperations::Peek(std::string_view address) {
    Scope scope(*this);
    std::uint8_t a = 0;
    std::uint32_t value = 0;
    return AddressArgument(address, kInvalidAddress, a) && DoPeek(Form::Text, a, value);
}

bool CBoardOperations::ModifyBits(std::string_view address, std::string_view data, std::string_view mask) {
    Scope scope(*this);
    std::uint8_t a = 0;
    std::uint32_t d = 0;
    std::uint32_t m = 0;
    return AddressArgument(address, kInvalidAddress, a) && DataArgument(data, kInvalidData, d) &&
           DataArgument(mask, kInvalidMask, m) && DoModifyBits(Form::Text, a, d, m);
}

bool CBoardOperations::SetBits(std::string_view address, std::string_view mask) {
    Scope scope(*this);
    std::uint8_t a = 0;
    std::uint32_t m = 0;
    return AddressArgument(address, kInvalidAddress, a) && DataArgument(mask, kInvalidMask, m) &&
           DoSetBits(Form::Text, a, m);
}

bool CBoardOperations::ResetBits(std::string_view address, std::string_view mask) {
    Scope scope(*this);
    std::uint8_t a = 0;
    std::uint32_t m = 0;
    return AddressArgument(address, kInvalidAddress, a) && DataArgument(mask, kInvalidMask, m) &&
           DoResetBits(Form::Text, a, m);
}

// Bridge and PLD bytes go through the address parser, as register numbers do.
bool CBoardOperations::Write(std::string_view reg, std::string_view data) {
    Scope scope(*this);
    std::uint8_t r = 0;
    std::uint8_t d = 0;
    return AddressArgument(reg, kInvalidAddress, r) && AddressArgument(data, kInvalidData, d) &&
           DoWrite(Form::Text, r, d);
}

bool CBoardOperations::Read(std::string_view reg) {
    Scope scope(*this);
    std::uint8_t r = 0;
    std::uint8_t value = 0;
    return AddressArgument(reg, kInvalidAddress, r) && DoRead(Form::Text, r, value);
}

bool CBoardOperations::PldWrite(std::string_view reg, std::string_view data) {
    Scope scope(*this);
    std::uint8_t r = 0;
    std::uint8_t d = 0;
    return AddressArgument(reg, kInvalidAddress, r) && AddressArgument(data, kInvalidData, d) &&
           DoPldWrite(Form::Text, r, d);
}

bool CBoardOperations::PldRead(std::string_view reg) {
    Scope scope(*this);
    std::uint8_t r = 0;
    std::uint8_t value = 0;
    return AddressArgument(reg, kInvalidAddress, r) && DoPldRead(Form::Text, r, value);
}

} // namespace tarsion
