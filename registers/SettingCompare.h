#pragma once

#include "registers/RegisterSnapshot.h"

#include <span>
#include <string>
#include <vector>

namespace tarsion {

// One memory-load setting as the Filter or Board page shows it: the control (its object name),
// the group it sits in, the page's label for it and what it holds.
struct SettingField {
    enum class Value {
        CoefficientFile,
        BestFit,
        Scale,
        LoadOffset,
        DcGain,
        Interpolation,
        TwoBitMode,
        Symmetric,
        ConstellationFile,
        PatternFile,
        IKind,
        IAmplitude,
        QKind,
        QAmplitude,
        SamplesPerCycle,
        NumberOfSamples,
    };
    enum class Channel { I, Q };

    int page = 0;
    const char* name = "";
    const char* group = "";
    const char* label = "";
    Value value = Value::CoefficientFile;
    // The coefficient RAM of a coefficient setting.
    Channel channel = Channel::I;
};

// Every memory-load setting, in page order.
std::span<const SettingField> SettingFields();

// The setting's text as its page shows it ("lp.coe", "Best Fit", "ticked", "x8", "Sine Wave", "0.5").
std::string SettingText(const SettingField& field, const CRegisterSnapshot& snapshot);

// One setting of two board settings side by side. No raw words: a setting is no register.
struct SettingRow {
    const SettingField* field = nullptr;
    std::string before;
    std::string after;
    bool differs = false;
};

// A row per setting that differs, in page order; equal ones too when asked.
std::vector<SettingRow> CompareSettings(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                                        bool includeEqual);

} // namespace tarsion
