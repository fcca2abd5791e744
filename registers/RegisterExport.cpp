#include "registers/RegisterExport.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "board/RegisterShadow.h"
#include "registers/RegisterFieldTable.h"

#include <algorithm>
#include <vector>

namespace tarsion {

namespace {

// Comments must not end early: "*/" in a list text or a name would close them.
std::string CommentText(std::string text) {
    for (std::size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/"))
        text.replace(at, 2, "* /");
    return text;
}

std::string FieldComments(const CRegisterSnapshot& snapshot, std::uint8_t reg, std::uint32_t word) {
    const double sysClk = RegisterShadow::SysClkFor(snapshot.clockPin, snapshot.chip[0x07].value_or(0));
    std::string text;
    std::vector<std::string> seen;
    for (const RegisterField& field : RegisterFields()) {
        if (field.space != RegisterSpace::Chip || field.reg != reg || field.kind == RegisterField::Kind::Word)
            continue;
        const std::string line = field.Title() + ": " + FieldText(field, word, sysClk);
        if (std::find(seen.begin(), seen.end(), line) != seen.end())
            continue;
        seen.push_back(line);
        text += "    /*   " + CommentText(line) + " */\n";
    }
    return text;
}

} // namespace

std::string RegistersAsCHeader(const CRegisterSnapshot& snapshot) {
    std::string text =
        "/* TRM90627 registers: " + CommentText(snapshot.name) + ", " + CommentText(snapshot.time) +
        " UTC */\n"
        "#ifndef TRM90627_REGISTERS_H\n#define TRM90627_REGISTERS_H\n\n#include <stdint.h>\n\n"
        "static const struct {\n    uint8_t address;\n    uint32_t value;\n} trm90627_registers[] = {\n";
    const auto& table = ChipRegisterTable();
    for (const std::uint8_t reg : kValueRegisters) {
        const std::uint32_t word = snapshot.chip[reg].value_or(0);
        text += FormatText("    {0x%.2x, 0x%.8xu}, /* ", reg, word) + std::string(table[reg]->name) + " */\n";
        text += FieldComments(snapshot, reg, word);
    }
    return text + "};\n\n#endif\n";
}

std::string RegistersAsHexListing(const CRegisterSnapshot& snapshot) {
    std::string text;
    const auto& table = ChipRegisterTable();
    for (const std::uint8_t reg : kValueRegisters)
        text += FormatText("%.2x %.8x ", reg, snapshot.chip[reg].value_or(0)) +
                std::string(table[reg]->name) + '\n';
    for (int reg = CRegisterSnapshot::kFirstBridge; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
        text += FormatText("bridge %.2x %.2x\n", reg, snapshot.bridge[reg]);
    for (int reg = CRegisterSnapshot::kFirstPld; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
        text += FormatText("pld %.2x %.2x\n", reg, snapshot.pld[reg]);
    return text;
}

} // namespace tarsion
