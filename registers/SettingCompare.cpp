#include "registers/SettingCompare.h"

#include "base/TextHelpers.h"

namespace tarsion {

namespace {

using Value = SettingField::Value;
using Channel = SettingField::Channel;

// Tab order, as the page factory has it.
constexpr int kFilter = 4;
constexpr int kBoard = 5;

constexpr const char* kIGroup = "I Coefficient Memory";
constexpr const char* kQGroup = "Q Coefficient Memory";
constexpr const char* kPatternGroup = "Pattern Parameters";

constexpr const char* kInterpolationItems[] = {"x4", "x8", "x16"};
constexpr const char* kKindItems[] = {"DC", "Sine Wave", "Cos Wave"};

constexpr SettingField kFields[] = {
    {kFilter, "iFile", kIGroup, "Coefficient File", Value::CoefficientFile, Channel::I},
    {kFilter, "iBestFit", kIGroup, "Scale", Value::BestFit, Channel::I},
    {kFilter, "iScale", kIGroup, "Scale: Value", Value::Scale, Channel::I},
    {kFilter, "iLoadOffset", kIGroup, "Offset: Load", Value::LoadOffset, Channel::I},
    {kFilter, "iDcGain", kIGroup, "DC Gain", Value::DcGain, Channel::I},
    {kFilter, "iInterpolation", kIGroup, "Interp Rate", Value::Interpolation, Channel::I},
    {kFilter, "iTwoBitMode", kIGroup, "2 Bit Mode", Value::TwoBitMode, Channel::I},
    {kFilter, "iSymmetric", kIGroup, "Symmetric", Value::Symmetric, Channel::I},
    {kFilter, "qFile", kQGroup, "Coefficient File", Value::CoefficientFile, Channel::Q},
    {kFilter, "qBestFit", kQGroup, "Scale", Value::BestFit, Channel::Q},
    {kFilter, "qScale", kQGroup, "Scale: Value", Value::Scale, Channel::Q},
    {kFilter, "qLoadOffset", kQGroup, "Offset: Load", Value::LoadOffset, Channel::Q},
    {kFilter, "qDcGain", kQGroup, "DC Gain", Value::DcGain, Channel::Q},
    {kFilter, "qInterpolation", kQGroup, "Interp Rate", Value::Interpolation, Channel::Q},
    {kFilter, "qTwoBitMode", kQGroup, "2 Bit Mode", Value::TwoBitMode, Channel::Q},
    {kFilter, "qSymmetric", kQGroup, "Symmetric", Value::Symmetric, Channel::Q},
    {kFilter, "constellationFile", "Constellation Memory", "Constellation File", Value::ConstellationFile},
    // The page gives the pattern file's edit no label of its own.
    {kBoard, "patternFile", "Pattern Memory Contents", "Pattern File", Value::PatternFile},
    {kBoard, "iKind", kPatternGroup, "I Pattern", Value::IKind},
    {kBoard, "iAmplitude", kPatternGroup, "I Amplitude", Value::IAmplitude},
    {kBoard, "qKind", kPatternGroup, "Q Pattern", Value::QKind},
    {kBoard, "qAmplitude", kPatternGroup, "Q Amplitude", Value::QAmplitude},
    {kBoard, "samplesPerCycle", kPatternGroup, "Samples Per Cycle", Value::SamplesPerCycle},
    {kBoard, "numberOfSamples", kPatternGroup, "Total Number Of Sample pairs", Value::NumberOfSamples},
};

// As the pages' edits show a real number.
std::string Real(double value) {
    return FormatText("%.*g", 15, value);
}

std::string Ticked(bool ticked) {
    return ticked ? "ticked" : "not ticked";
}

// The item the page's list shows; an index outside the list selects none.
template <std::size_t N>
std::string Item(const char* const (&items)[N], std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? items[index] : FormatText("(none: %d)", index);
}

} // namespace

std::span<const SettingField> SettingFields() {
    return kFields;
}

std::string SettingText(const SettingField& field, const CRegisterSnapshot& s) {
    const CoefficientSettings& c = field.channel == Channel::I ? s.coefficientI : s.coefficientQ;
    const PatternSettings& p = s.pattern;
    switch (field.value) {
    case Value::CoefficientFile:
        return c.fileName;
    case Value::BestFit:
        return c.bestFit ? "Best Fit" : "Force Value";
    case Value::Scale:
        return Real(c.scale);
    case Value::LoadOffset:
        return Ticked(c.loadOffset);
    case Value::DcGain:
        return Real(c.dcGain);
    case Value::Interpolation:
        return Item(kInterpolationItems, c.interpolation);
    case Value::TwoBitMode:
        return Ticked(c.twoBitMode);
    case Value::Symmetric:
        return Ticked(c.symmetric);
    case Value::ConstellationFile:
        return s.constellationFile;
    case Value::PatternFile:
        return p.fileName;
    case Value::IKind:
        return Item(kKindItems, p.iKind);
    case Value::IAmplitude:
        return Real(p.iAmplitude);
    case Value::QKind:
        return Item(kKindItems, p.qKind);
    case Value::QAmplitude:
        return Real(p.qAmplitude);
    case Value::SamplesPerCycle:
        return Real(p.samplesPerCycle);
    case Value::NumberOfSamples:
        return Real(p.numberOfSamples);
    }
    return {};
}

std::vector<SettingRow> CompareSettings(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                                        bool includeEqual) {
    std::vector<SettingRow> rows;
    for (const SettingField& field : kFields) {
        std::string a = SettingText(field, before);
        std::string b = SettingText(field, after);
        // The page's text is the comparison: what looks the same on the page is the same setting.
        const bool differs = a != b;
        if (differs || includeEqual)
            rows.push_back(SettingRow{&field, std::move(a), std::move(b), differs});
    }
    return rows;
}

} // namespace tarsion
