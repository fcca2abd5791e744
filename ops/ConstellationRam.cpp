#include "ops/ConstellationRam.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "base/TextLines.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/FilePaths.h"
#include "ops/MemoryReadBack.h"
#include "ops/ScriptText.h"
#include "ops/WordProgress.h"

#include <sstream>

namespace tarsion {

namespace {
constexpr const char* kCouldNotOpen = "Could Not Open File %s";
constexpr const char* kCouldNotCreate = "Could Not Create File %s";
constexpr const char* kCouldNotWrite = "Could Not Write File %s";
constexpr const char* kFormatError = "Incorrect Constellation file format";
constexpr const char* kUnchanged = "The constellation RAM is unchanged.";

// The value of `digits` when all of them are hexadecimal, else -1.
int HexNumber(std::string_view digits) {
    int number = 0;
    for (const char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return -1;
        number = number * 16 + digit;
    }
    return number;
}
} // namespace

bool ParseConstellationLine(std::string_view line, ConstellationEntry& entry) {
    if (line.size() != 4)
        return false;
    const bool prefixed = line[0] == '0' && (line[1] == 'x' || line[1] == 'X');
    const int number = HexNumber(prefixed ? line.substr(2) : line);
    if (number < 0)
        return false;
    entry.address = static_cast<std::uint8_t>(number >> 8);
    entry.value = static_cast<std::uint8_t>(number);
    return true;
}

std::array<std::uint8_t, 256> ConstellationImageOf(const std::vector<ConstellationEntry>& entries) {
    std::array<std::uint8_t, 256> image{};
    for (const ConstellationEntry& entry : entries)
        image[entry.address] = entry.value;
    return image;
}

IqPoint ConstellationPoint(std::uint8_t entry) {
    // Four bits sign-extended: 0..7 stay, 8..15 are -8..-1.
    const auto signedNibble = [](int nibble) { return nibble >= 8 ? nibble - 16 : nibble; };
    return {signedNibble(entry >> 4), signedNibble(entry & 0x0F)};
}

std::vector<IqPoint> ConstellationPoints(const std::array<std::uint8_t, 256>& image) {
    std::vector<IqPoint> points;
    points.reserve(image.size());
    for (const std::uint8_t entry : image)
        points.push_back(ConstellationPoint(entry));
    return points;
}

int DifferingEntries(const std::array<std::uint8_t, 256>& a, const std::array<std::uint8_t, 256>& b) {
    int count = 0;
    for (std::size_t address = 0; address < a.size(); ++address)
        count += a[address] != b[address] ? 1 : 0;
    return count;
}

std::string LoadConstellationRamCall(const std::string& path) {
    return "Tarsion.LoadConstellationRam('" + ScriptStringText(path) + " ' );";
}

ConstellationFile ReadConstellationFile(std::istream& in) {
    ConstellationFile file;
    CTextLines lines(in);
    std::string line;
    std::size_t number = 0;
    while (lines.Next(line)) {
        ++number;
        const std::string_view text = TrimmedText(line);
        if (text.empty())
            continue;
        ConstellationEntry entry;
        if (!ParseConstellationLine(text, entry)) {
            file.formatError = true;
            file.errorLine = number;
            break;
        }
        file.entries.push_back(entry);
    }
    return file;
}

bool CConstellationRam::SelectMemory(std::uint32_t memoryControl) {
    if (ops_.Link().WriteChipReg(chipreg::kMemoryControl, memoryControl))
        return true;
    ops_.Log(kMemoryControlFailed, 1);
    return false;
}

bool CConstellationRam::WriteEntry(std::uint8_t address, std::uint8_t value) {
    std::uint8_t buffer[1] = {value};
    if (ops_.Link().AccessChipMemory(address, buffer))
        return true;
    ops_.Log(kRamAccessFailed, 1);
    return false;
}

bool CConstellationRam::WriteEntries(const std::vector<ConstellationEntry>& entries,
                                     CWordProgress& progress) {
    // Addresses the file leaves out read 0 after the load.
    std::size_t written = 0;
    for (int address = 0; address < kEntries; ++address) {
        if (!WriteEntry(static_cast<std::uint8_t>(address), 0) || !progress.Advance(++written))
            return false;
    }
    for (const ConstellationEntry& entry : entries) {
        if (!WriteEntry(entry.address, entry.value) || !progress.Advance(++written))
            return false;
    }
    return true;
}

bool CConstellationRam::Load(const std::string& file) {
    CTarsionDoc& doc = ops_.Doc();
    const std::string path = ResolveLoaderPath(doc.startDirectory, file);
    ops_.Log("LoadConstellationRam " + path, 0);
    ops_.Record(LoadConstellationRamCall(WithForwardSlashes(path)));

    std::string text;
    if (ReadRegularFile(path, kLoaderFileLimit, text) != FileRead::Ok) {
        ops_.Log(FormatText(kCouldNotOpen, path.c_str()), 1);
        return false;
    }
    std::istringstream in(std::move(text));
    const ConstellationFile contents = ReadConstellationFile(in);
    // A bad file is refused before the first write: a good map must not give way to part of a bad one.
    if (contents.formatError) {
        const std::string where = FileLineText(path, contents.errorLine);
        ops_.Log(kFormatError, 1);
        ops_.Prompt().ShowMessage(std::string(kFormatError) + "\n" + where + "\n" + kUnchanged);
        return false;
    }
    CWordProgress progress(ops_, "LoadConstellationRam", kEntries + contents.entries.size());
    if (!SelectMemory(kSelectForWriting))
        return false;
    // From the first entry written on, the RAM no longer holds the last load.
    if (!WriteEntries(contents.entries, progress)) {
        MarkPartlyLoaded(FormatText("partly loaded from %s", FileNameOf(path).c_str()), progress.Cancelled());
        return false;
    }
    doc.constellationFile = StoredFileName(doc.startDirectory, path);
    doc.loaded.SetConstellation(ConstellationImageOf(contents.entries));
    ops_.Link().WriteChipReg(chipreg::kMemoryControl, kNoMemoryAccess);
    ops_.Log("Done", 1);
    return true;
}

void CConstellationRam::MarkPartlyLoaded(std::string note, bool cancelled) {
    ops_.Doc().loaded.SetPartial(ChipMemory::Constellation, {std::move(note), cancelled});
}

bool CConstellationRam::Dump(const std::string& file) {
    const std::string& startDirectory = ops_.Doc().startDirectory;
    std::string name = DumpFileName(startDirectory, WithoutTrailingBlanks(file));
    ops_.Log("DumpConstellationRam " + name, 0);
    name = WithForwardSlashes(name);
    ops_.Record("Tarsion.DumpConstellationRam('" + ScriptStringText(name) + " ' );");

    // Written in full or not at all, and only to a regular file (a FIFO would block the program).
    CReplacementFile out(ResolveLoaderPath(startDirectory, name), CReplacementFile::Links::WriteThrough);
    if (!out.IsOpen()) {
        ops_.Log(FormatText(kCouldNotCreate, name.c_str()), 1);
        return false;
    }
    ConstellationImage entries{};
    if (!ReadConstellationRam(ops_, entries))
        return false;
    std::string text;
    for (int address = 0; address < kEntries; ++address)
        text += FormatText("%.4x\n", address * 256 + entries[address]);
    if (!out.Commit(text)) {
        ops_.Log(FormatText(kCouldNotWrite, name.c_str()), 1);
        return false;
    }
    ops_.Log("Done", 1);
    return true;
}

bool CBoardOperations::LoadConstellationRam(const std::string& file) {
    Scope scope(*this);
    return CConstellationRam(*this).Load(file);
}

bool CBoardOperations::DumpConstellationRam(const std::string& file) {
    Scope scope(*this);
    return CConstellationRam(*this).Dump(file);
}

} // namespace tarsion
