#pragma once

#include "board/BoardLink.h"
#include "TarsionDoc.h"
#include "UserPrompt.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarsion {

// Every board operation a person or a script can ask for. Numeric forms log their first line at
// indent 0, record their script line, act, and log the result at indent 1; text forms (the
// console's) parse hexadecimal arguments first and log no first line. Each returns true on success.
class CBoardOperations {
public:
    CBoardOperations(CBoardLink& link, CTarsionDoc& doc, IUserPrompt& prompt);

    void Log(std::string_view text, int indent);
    void Record(std::string_view line);

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
    bool LoadCoefficientRam(std::int16_t which, const std::string& file, bool bestFit, double scale, bool loadOffset,
                            std::int16_t interpolation, bool twoBitMode, bool symmetric);
    bool DumpCoefficientRam(std::int16_t which, const std::string& file);
    bool LoadConstellationRam(const std::string& file);
    bool DumpConstellationRam(const std::string& file);
    bool LoadExternalMemory(const std::string& file);
    bool LoadExternalMem(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                         double samplesPerCycle, double numberOfSamples);
    bool SaveSettings(const std::string& path);

    // Reads the registers that a reset changes back into the shadow.
    bool ReadOutAfterReset();

    CBoardLink& Link() { return link_; }
    CTarsionDoc& Doc() { return doc_; }
    IUserPrompt& Prompt() { return prompt_; }

private:
    enum class Form { Numeric, Text };

    bool DoPoke(Form form, std::uint8_t address, std::uint32_t data);
    bool DoPeek(Form form, std::uint8_t address, std::uint32_t& value);
    bool DoModifyBits(Form form, std::uint8_t address, std::uint32_t data, std::uint32_t mask);
    bool DoWrite(Form form, std::uint8_t reg, std::uint8_t data);
    bool DoRead(Form form, std::uint8_t reg, std::uint8_t& value);
    bool DoPldWrite(std::uint8_t reg, std::uint8_t data);
    bool DoPldRead(std::uint8_t reg, std::uint8_t& value);

    CBoardLink& link_;
    CTarsionDoc& doc_;
    IUserPrompt& prompt_;
    // Console slots: the command word and up to three arguments of the last line.
    std::array<std::string, 4> slots_;
};

} // namespace tarsion
