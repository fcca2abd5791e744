#pragma once

#include "board/BoardLink.h"
#include "ops/OperationLog.h"
#include "ops/RegisterWrite.h"
#include "ops/TarsionDoc.h"
#include "ops/UserPrompt.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tarsion {

struct ImportPreview;

// The files a coefficient load writes for inspection beside its work: the bit listing "temp.ram"
// and the RAM image files. A private board writes none.
enum class InspectionFiles { Written, Skipped };

// Every board operation a person or a script can ask for. Numeric forms log their first line at
// indent 0, record their script line, act, and log the result at indent 1; text forms (the
// console's) parse hexadecimal arguments first and log no first line. Each returns true on success.
class CBoardOperations {
public:
    // Marks an operation in progress for as long as it lives; scopes nest. Every public entry point
    // (loaders defined elsewhere too) opens one, so callers can tell when the board is free again.
    class Scope {
    public:
        explicit Scope(CBoardOperations& ops);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CBoardOperations& ops_;
    };

    // `log` is the channel the board link logs to as well (CBoardStack assembles them).
    CBoardOperations(CBoardLink& link, CTarsionDoc& doc, COperationLog& log, IUserPrompt& prompt);

    // True while an operation, a loader or a console line runs.
    bool IsBusy() const { return depth_ > 0; }
    // Called each time the outermost operation ends.
    void SetIdleHandler(std::function<void()> handler) { idle_ = std::move(handler); }

    void Log(std::string_view text, int indent);
    void Record(std::string_view line);
    // The result lines of the operations as values: of the last one, and of its current step.
    COperationLog& Outcome() { return log_; }

    // The observer of every register write; nullptr for none.
    void SetWriteObserver(IRegisterWriteObserver* observer) { writeObserver_ = observer; }
    // Who the writes are made for, until the next call (the console's own writes always count as
    // the console's).
    void SetWriteSource(WriteSource source) { writeSource_ = source; }
    WriteSource CurrentWriteSource() const { return writeSource_; }

    // The one path of every register write made for a caller (single operations, batches, undo):
    // writes `write.newValue` over the board link, fills in `write.oldValue` from the shadow, and
    // adds the write to those of the operation in progress. The observer is told of them, as one
    // entry described by NoteWrites, when the outermost operation ends. False when the transfer
    // failed (the board link has logged why); nothing is noted then.
    bool TransferRegister(RegisterWrite& write);
    // Names the writes of the operation in progress ("Poke 0a 20000000"); `batch` for a batch.
    void NoteWrites(std::string what, bool console, bool batch = false);

    bool SoftReset();
    bool Reset();
    bool Send();
    bool Stop();

    bool Poke(std::uint8_t address, std::uint32_t data);
    bool Peek(std::uint8_t address, std::uint32_t& value);
    bool ModifyBits(std::uint8_t address, std::uint32_t data, std::uint32_t mask);
    bool SetBits(std::uint8_t address, std::uint32_t mask);
    bool ResetBits(std::uint8_t address, std::uint32_t mask);
    bool Write(std::uint8_t reg, std::uint8_t data);
    bool Read(std::uint8_t reg, std::uint8_t& value);
    bool PldWrite(std::uint8_t reg, std::uint8_t data);
    bool PldRead(std::uint8_t reg, std::uint8_t& value);

    // Text forms.
    bool Poke(std::string_view address, std::string_view data);
    bool Peek(std::string_view address);
    bool ModifyBits(std::string_view address, std::string_view data, std::string_view mask);
    bool SetBits(std::string_view address, std::string_view mask);
    bool ResetBits(std::string_view address, std::string_view mask);
    bool Write(std::string_view reg, std::string_view data);
    bool Read(std::string_view reg);
    bool PldWrite(std::string_view reg, std::string_view data);
    bool PldRead(std::string_view reg);

    // The console: one line typed into the log window. True when a command was recognised and its
    // operation called, whatever the operation's result.
    bool Console(std::string_view line);

    // Memory loaders and the configuration script.
    bool LoadCoefficientRam(std::int16_t which, const std::string& file, bool bestFit, double scale,
                            bool loadOffset, std::int16_t interpolation, bool twoBitMode, bool symmetric);
    bool DumpCoefficientRam(std::int16_t which, const std::string& file);
    bool LoadConstellationRam(const std::string& file);
    bool DumpConstellationRam(const std::string& file);
    bool LoadExternalMemory(const std::string& file);
    // Writes a pattern imported from CSV, NumPy or WAV (see PreviewImport) as a pattern file load
    // writes its pairs; logs the refusal of one that was refused.
    bool ImportPattern(const ImportPreview& preview);
    bool LoadExternalMem(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                         double samplesPerCycle, double numberOfSamples);
    bool SaveSettings(const std::string& path);

    // Reads the registers that a reset changes back into the shadow.
    bool ReadOutAfterReset();

    CBoardLink& Link() { return link_; }
    CTarsionDoc& Doc() { return doc_; }
    IUserPrompt& Prompt() { return prompt_; }
    InspectionFiles WritesInspectionFiles() const { return inspectionFiles_; }
    void SetInspectionFiles(InspectionFiles files) { inspectionFiles_ = files; }

private:
    enum class Form { Numeric, Text };

    // Logs the first line (numeric form only) and records the script line.
    void Announce(Form form, const std::string& first, const std::string& record);
    // Parse a console argument; log the parser's message and then `error` on failure.
    bool AddressArgument(std::string_view text, const char* error, std::uint8_t& value);
    bool DataArgument(std::string_view text, const char* error, std::uint32_t& value);

    bool DoPoke(Form form, std::uint8_t address, std::uint32_t data);
    bool DoPeek(Form form, std::uint8_t address, std::uint32_t& value);
    bool DoModifyBits(Form form, std::uint8_t address, std::uint32_t data, std::uint32_t mask);
    bool DoSetBits(Form form, std::uint8_t address, std::uint32_t mask);
    bool DoResetBits(Form form, std::uint8_t address, std::uint32_t mask);
    // Reads the register and writes (old AND keep) OR set; logs "Done" or `failure`.
    bool ReadModifyWrite(std::uint8_t address, std::uint32_t keep, std::uint32_t set,
                         const std::string& failure);
    // The observer learns of the writes of the operation that has just ended.
    void TellWrites();
    bool DoWrite(Form form, std::uint8_t reg, std::uint8_t data);
    bool DoRead(Form form, std::uint8_t reg, std::uint8_t& value);
    bool DoPldWrite(Form form, std::uint8_t reg, std::uint8_t data);
    bool DoPldRead(Form form, std::uint8_t reg, std::uint8_t& value);
    bool WritePatternSender(std::uint8_t value);
    void NoteClockChange(double before);
    void NoteMemoryTouch(const RegisterWrite& write);
    void MarkTouchedMemories(const WrittenRegisters& written);

    CBoardLink& link_;
    CTarsionDoc& doc_;
    COperationLog& log_;
    IUserPrompt& prompt_;
    // Console slots: the command word and up to three arguments of the last line.
    std::array<std::string, 4> slots_;
    int depth_ = 0;
    std::function<void()> idle_;
    InspectionFiles inspectionFiles_ = InspectionFiles::Written;
    IRegisterWriteObserver* writeObserver_ = nullptr;
    WriteSource writeSource_ = WriteSource::Page;
    // The writes of the operation in progress.
    WrittenRegisters written_;
    // The memories this operation's register writes reached, marked changed when it ends.
    std::array<bool, kChipMemories> touched_{};
};

// Names the source of the writes `ops` makes while it lives (scripts run from the program).
class CWriteSourceScope {
public:
    CWriteSourceScope(CBoardOperations& ops, WriteSource source)
        : ops_(ops), saved_(ops.CurrentWriteSource()) {
        ops_.SetWriteSource(source);
    }
    ~CWriteSourceScope() { ops_.SetWriteSource(saved_); }
    CWriteSourceScope(const CWriteSourceScope&) = delete;
    CWriteSourceScope& operator=(const CWriteSourceScope&) = delete;

private:
    CBoardOperations& ops_;
    WriteSource saved_;
};

} // namespace tarsion
