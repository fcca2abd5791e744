#include "ops/ConfigurationScript.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/FilePaths.h"
#include "ops/PatternMemory.h"
#include "ops/ScriptText.h"
#include "ops/WordProgress.h"

#include <iterator>

namespace tarsion {

namespace {
constexpr const char* kBridgeReadFailed = "Failed to Read CPLD Registers ";
constexpr const char* kChipReadFailed = "Failed to Read the Chip Registers ";
constexpr const char* kCouldNotOpen = "Could Not Open File %s";
constexpr const char* kCouldNotWrite = "Could Not Write File %s";
constexpr const char* kExternalGenerator = "Are you using an External Pattern Generator ?";

constexpr const char* kHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");"
                                "\nvar Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                                "\nTarsion.Reset();";

} // namespace

std::string CConfigurationScript::PatternLines(std::uint8_t dataClkSource) {
    CTarsionDoc& doc = ops_.Doc();
    PatternSettings& pattern = doc.pattern;
    if (pattern.fileName == kUnknownFile)
        return {};
    // With the DataClk source tristated an external generator may drive Din[15:0] instead.
    if (dataClkSource == bridgereg::kDataClkTristated &&
        ops_.Prompt().AskYesNo(kExternalGenerator, kExternalGenerator))
        return {};
    std::string lines = "\nTarsion.write(9,0);\n";
    if (pattern.fileName == kGeneratedPattern) {
        return lines + LoadExternalMemCall(pattern.iKind, pattern.qKind, pattern.iAmplitude,
                                           pattern.qAmplitude, pattern.samplesPerCycle,
                                           pattern.numberOfSamples);
    }
    pattern.fileName = WithForwardSlashes(pattern.fileName);
    return lines + LoadExternalMemoryCall(pattern.fileName);
}

std::string CConfigurationScript::CoefficientLine(int which, CoefficientSettings& settings) {
    if (settings.fileName == kUnknownFile)
        return {};
    settings.fileName = WithForwardSlashes(settings.fileName);
    return FormatText("\nTarsion.LoadCoefficientRam( %d,'", which) + ScriptStringText(settings.fileName) +
           " '," + std::to_string(settings.bestFit) + "," + FixedSix(settings.scale) + "," +
           FormatText("%d,%d,%d,%d );", settings.loadOffset, settings.interpolation, settings.twoBitMode,
                      settings.symmetric);
}

std::string CConfigurationScript::MemoryLoadLines() {
    CTarsionDoc& doc = ops_.Doc();
    std::string lines;
    if (doc.constellationFile != kUnknownFile) {
        doc.constellationFile = WithForwardSlashes(doc.constellationFile);
        lines += '\n';
        lines += LoadConstellationRamCall(doc.constellationFile);
    }
    lines += CoefficientLine(0, doc.coefficientI);
    lines += CoefficientLine(1, doc.coefficientQ);
    return lines;
}

bool CConfigurationScript::AppendChipRegisters(std::string& text) {
    CWordProgress progress(ops_, "SaveSettings", std::size(kValueRegisters), "registers");
    std::size_t read = 0;
    for (const std::uint8_t reg : kValueRegisters) {
        std::uint32_t value = 0;
        if (!ops_.Link().ReadChipReg(reg, value)) {
            ops_.Log(kChipReadFailed, 1);
            return false;
        }
        text += FormatText("\nTarsion.Poke ( 0x%.2x,0x%.8x );", reg, value);
        if (!progress.Advance(++read))
            return false;
    }
    return true;
}

std::string CConfigurationScript::DataClkLines(std::uint8_t boardControl, std::uint8_t sender) {
    const int source = boardControl & bridgereg::kDataClkMask;
    if (source == bridgereg::kDataClkTristated)
        return "\nTarsion.Write(9,3);";
    std::string lines = FormatText("\nTarsion.Write(9,0);\nTarsion.PldWrite(12,%d);", sender);
    if (source != 0)
        lines += FormatText("\nTarsion.Write(9,%d);", boardControl);
    return lines;
}

bool CConfigurationScript::Save(const std::string& path) {
    ops_.Log("SaveSettings  " + path, 0);
    std::uint8_t boardControl = 0;
    if (!ops_.Link().ReadBridgeReg(bridgereg::kBoardControl, boardControl)) {
        ops_.Log(kBridgeReadFailed, 1);
        return false;
    }
    const std::uint8_t sender = ops_.Doc().Shadow().FetchPldReg(pldreg::kPatternSender);
    CReplacementFile file(path);
    if (!file.IsOpen()) {
        ops_.Log(FormatText(kCouldNotOpen, path.c_str()), 1);
        return false;
    }
    std::string text = kHeader;
    text += PatternLines(boardControl & bridgereg::kDataClkMask);
    text += MemoryLoadLines();
    if (!AppendChipRegisters(text))
        return false;
    text += DataClkLines(boardControl, sender);
    if (!file.Commit(text)) {
        ops_.Log(FormatText(kCouldNotWrite, path.c_str()), 1);
        return false;
    }
    ops_.Log("Done", 1);
    return true;
}

bool CBoardOperations::SaveSettings(const std::string& path) {
    Scope scope(*this);
    return CConfigurationScript(*this).Save(path);
}

} // namespace tarsion
