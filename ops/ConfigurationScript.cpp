#include "ops/ConfigurationScript.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/FilePaths.h"
#include "ops/MemoryReadBack.h"
#include "ops/MemoryRestore.h"
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

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\n" + line;
    return text;
}

// The configuration's name without ".js", for the files saved beside it.
std::string CompanionBase(const std::string& path) {
    return path.size() > 3 && path.ends_with(".js") ? path.substr(0, path.size() - 3) : path;
}
} // namespace

std::optional<std::vector<std::string>> CConfigurationScript::RestoreFromRead(ChipMemory memory,
                                                                              const std::string& path) {
    const LoadedMemories& loaded = ops_.Doc().loaded;
    std::string error;
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ: {
        const int which = memory == ChipMemory::CoefficientI ? 0 : 1;
        const CoefficientRamImage& words = loaded.CoefficientsRead(which)->contents;
        return CoefficientWriteLines(which, 0, {words.begin(), words.end()});
    }
    case ChipMemory::Constellation: {
        const std::string file = WithForwardSlashes(CompanionBase(path) + "_constellation.hex");
        if (WriteCompanionFile(file, ConstellationFileText(loaded.ConstellationRead()->contents), error))
            return std::vector<std::string>{LoadConstellationRamCall(file)};
        ops_.Log("Couldn't write " + file + ": " + error, 1);
        return std::nullopt;
    }
    case ChipMemory::Pattern:
        break;
    }
    const PatternReadBack& read = loaded.PatternRead()->contents;
    const std::uint32_t fifoControl = ops_.Doc().Shadow().FetchChipReg(chipreg::kFifoControl);
    if (const auto pairs = PatternFilePairs(read.words, fifoControl)) {
        const std::string file = WithForwardSlashes(CompanionBase(path) + "_pattern.pat");
        if (WriteCompanionFile(file, PatternFileText(*pairs, "Pattern memory as read from the board"), error))
            return std::vector<std::string>{LoadExternalMemoryCall(file)};
        ops_.Log("Couldn't write " + file + ": " + error, 1);
        return std::nullopt;
    }
    // Words no pattern file can give: the PLD writes that repeat them, and the start address.
    std::vector<std::string> lines = PatternStartLines(read.start);
    const std::vector<std::string> words = PatternWriteLines(read.start, read.words);
    lines.insert(lines.end(), words.begin(), words.end());
    return lines;
}

void CConfigurationScript::ChooseRestores(const std::string& path) {
    restores_ = {};
    // In demo mode no memory exists beyond what the program wrote.
    if (ops_.Link().IsDemo())
        return;
    const LoadedMemories& loaded = ops_.Doc().loaded;
    std::string notRestored;
    for (const ChipMemory memory : {ChipMemory::Pattern, ChipMemory::Constellation, ChipMemory::CoefficientI,
                                    ChipMemory::CoefficientQ}) {
        if (loaded.HoldsItsLoad(memory))
            continue;
        const std::string why = loaded.MismatchNote(memory).value_or("not loaded in this run");
        const std::string name = ChipMemoryName(memory);
        const std::string* readAt = nullptr;
        switch (memory) {
        case ChipMemory::CoefficientI:
        case ChipMemory::CoefficientQ:
            if (const auto& read = loaded.CoefficientsRead(memory == ChipMemory::CoefficientI ? 0 : 1))
                readAt = &read->readAt;
            break;
        case ChipMemory::Constellation:
            if (const auto& read = loaded.ConstellationRead())
                readAt = &read->readAt;
            break;
        case ChipMemory::Pattern:
            if (const auto& read = loaded.PatternRead())
                readAt = &read->readAt;
            break;
        }
        if (readAt) {
            const std::string question =
                "The configuration would not restore the " + name + ": " + why +
                ".\nIt was read from the board at " + *readAt +
                ". Save what was read beside the configuration and restore it from there?";
            if (ops_.Prompt().AskYesNo("Save Configuration", question))
                restores_[static_cast<std::size_t>(memory)] = RestoreFromRead(memory, path);
            if (restores_[static_cast<std::size_t>(memory)])
                continue;
        }
        ops_.Log("Not restored: " + name + ", " + why, 1);
        notRestored += "\n" + name + ": " + why;
    }
    if (!notRestored.empty())
        ops_.Prompt().ShowMessage("The configuration will not restore:" + notRestored +
                                  "\nRead a memory from the board in its signal view to save it with the "
                                  "configuration.");
}

std::optional<std::string> CConfigurationScript::PatternLines(std::uint8_t dataClkSource,
                                                              const std::string& path) {
    CTarsionDoc& doc = ops_.Doc();
    PatternSettings& pattern = doc.pattern;
    const std::optional<std::vector<std::string>>& restore =
        restores_[static_cast<std::size_t>(ChipMemory::Pattern)];
    if (pattern.fileName == kUnknownFile && !restore)
        return std::string();
    // With the DataClk source tristated an external generator may drive Din[15:0] instead.
    if (dataClkSource == bridgereg::kDataClkTristated &&
        ops_.Prompt().AskYesNo(kExternalGenerator, kExternalGenerator))
        return std::string();
    std::string lines = "\nTarsion.write(9,0);\n";
    if (restore)
        return lines + Lines(*restore).substr(1);
    const std::optional<LoadedPattern>& loaded = doc.loaded.Pattern();
    if (loaded && loaded->imported) {
        // The loaders read no CSV, NumPy or WAV: the words imported are restored as a pattern file.
        const std::string file = WithForwardSlashes(CompanionBase(path) + "_pattern.pat");
        std::string error;
        if (WriteCompanionFile(
                file, PatternFileText(loaded->pairs, "Pattern imported from " + pattern.fileName), error))
            return lines + LoadExternalMemoryCall(file);
        ops_.Log("Couldn't write " + file + ": " + error, 1);
        return std::nullopt;
    }
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
    const auto restore = [this](ChipMemory memory) -> const std::optional<std::vector<std::string>>& {
        return restores_[static_cast<std::size_t>(memory)];
    };
    if (restore(ChipMemory::Constellation)) {
        lines += Lines(*restore(ChipMemory::Constellation));
    } else if (doc.constellationFile != kUnknownFile) {
        doc.constellationFile = WithForwardSlashes(doc.constellationFile);
        lines += '\n';
        lines += LoadConstellationRamCall(doc.constellationFile);
    }
    lines += restore(ChipMemory::CoefficientI) ? Lines(*restore(ChipMemory::CoefficientI))
                                               : CoefficientLine(0, doc.coefficientI);
    lines += restore(ChipMemory::CoefficientQ) ? Lines(*restore(ChipMemory::CoefficientQ))
                                               : CoefficientLine(1, doc.coefficientQ);
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
    ChooseRestores(path);
    std::string text = kHeader;
    const std::optional<std::string> pattern = PatternLines(boardControl & bridgereg::kDataClkMask, path);
    if (!pattern)
        return false;
    text += *pattern;
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
