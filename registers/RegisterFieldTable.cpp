#include "registers/RegisterFieldTable.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "board/RegisterShadow.h"

#include <cstdio>
#include <cstdlib>

namespace tarsion {

namespace {

using Kind = RegisterField::Kind;
using namespace chipreg;

constexpr int kNcoStatus = 0;
constexpr int kFifoIo = 1;
constexpr int kDataFlow = 2;
constexpr int kPlls = 3;
constexpr int kFilter = 4;
constexpr int kBoard = 5;

constexpr std::uint32_t kTopByte = 0xff000000;
constexpr std::uint32_t kFraction = pageconv::kFractionFieldLargest;

constexpr const char* kAccessItems[] = {"No Access",
                                        "I Coeff   Mem Access",
                                        "Q Coeff Mem Access",
                                        "I+Q Coeff Mem Access",
                                        "Constellation Mem Access",
                                        "Fifo Access"};
constexpr const char* kWordItems[] = {"0", "1", "2", "3"};
constexpr const char* kPinItems[] = {"Empty", "UnderFlow"};
constexpr const char* kThresholdModeItems[] = {"Disabled ", "No Action", "Fifo Freq Error Term",
                                               "Loop Filter to Limit"};
constexpr const char* kInterpolationItems[] = {"x2", "x 4", "x 8", "x 16"};
constexpr const char* kRoundingItems[] = {"No Rounding", "Round to 14 bits at Output",
                                          "Round to 12 bits at Output", "Round in both Positions"};
constexpr const char* kDecrementItems[] = {"-0.50", "-0.25"};
constexpr const char* kIncrementItems[] = {"+0.0625", "+0.125", "+0.25", "+0.5"};
constexpr const char* kClkDividerItems[] = {"1", "2", "4", "8"};
constexpr const char* kVcoDividerItems[] = {"1", "2", "4", "8", "16", "32"};
constexpr const char* kDataClkItems[] = {"RefClk", "2xSymbolClk", "SysClk/2", "Tristated "};

// The shaping interpolation list shows x2 as "x 4" with decimate by 2 (bit 2): with bit 2 the
// index is bits 10-11, without it bits 10-11 + 1.
int InterpolationIndex(std::uint32_t word) {
    constexpr std::uint32_t kDecimate = 0x4;
    const int field = static_cast<int>((word >> 10) & 0x3);
    const int index = (word & kDecimate) != 0 ? field : field + 1;
    return index <= 3 ? index : -1;
}

constexpr RegisterField Bit(int page, const char* name, const char* label, std::uint8_t reg,
                            std::uint32_t mask, bool activeLow = false, const char* group = "") {
    return {.page = page,
            .name = name,
            .label = label,
            .group = group,
            .reg = reg,
            .mask = mask,
            .kind = Kind::Bit,
            .activeLow = activeLow};
}

constexpr RegisterField List(int page, const char* name, const char* label, std::uint8_t reg,
                             std::uint32_t mask, int shift, std::span<const char* const> items,
                             const char* group = "") {
    return {.page = page,
            .name = name,
            .label = label,
            .group = group,
            .reg = reg,
            .mask = mask,
            .shift = shift,
            .kind = Kind::List,
            .items = items};
}

constexpr RegisterField Hex(int page, const char* name, const char* label, std::uint8_t reg,
                            std::uint32_t mask, int shift, int digits) {
    return {.page = page,
            .name = name,
            .label = label,
            .reg = reg,
            .mask = mask,
            .shift = shift,
            .kind = Kind::Hex,
            .digits = digits};
}

constexpr RegisterField Whole(int page, const char* name, const char* group, std::uint8_t reg,
                              std::uint32_t mask = 0xffffffff, int digits = 8) {
    return {.page = page, .name = name, .group = group, .reg = reg, .mask = mask, .digits = digits};
}

constexpr RegisterField Cpld(RegisterSpace space, std::uint8_t reg) {
    return {.space = space, .reg = reg, .mask = 0xff, .digits = 2};
}

constexpr RegisterField Fraction(const char* name, const char* label, const char* group, std::uint8_t reg,
                                 int shift, double base) {
    return {.page = kDataFlow,
            .name = name,
            .label = label,
            .group = group,
            .reg = reg,
            .mask = kFraction << shift,
            .shift = shift,
            .kind = Kind::Fraction,
            .base = base};
}

constexpr RegisterField Gain(int page, const char* name, const char* label, std::uint8_t reg,
                             int mantissaShift, int exponentShift, const pageconv::GainFormat& format,
                             bool sixDecimals) {
    return {.page = page,
            .name = name,
            .label = label,
            .reg = reg,
            .mask = (((1u << format.mantissaBits) - 1) << mantissaShift) |
                    (static_cast<std::uint32_t>(format.largestExponent) << exponentShift),
            .shift = mantissaShift,
            .kind = Kind::Gain,
            .exponentShift = exponentShift,
            .gain = &format,
            .sixDecimals = sixDecimals};
}

const RegisterField kFields[] = {
    // NCO/Status
    Whole(kNcoStatus, "carrierHex", "Carrier Frequency (0x0A)", kCarrierFrequency),
    {.page = kNcoStatus,
     .name = "carrierFrequency",
     .label = "Frequency",
     .group = "Carrier Frequency (0x0A)",
     .reg = kCarrierFrequency,
     .kind = Kind::Carrier},
    Whole(kNcoStatus, "symbolHex", "Symbol Rate (0x0B)", kSymbolFrequency),
    {.page = kNcoStatus,
     .name = "symbolFrequency",
     .label = "Frequency",
     .group = "Symbol Rate (0x0B)",
     .reg = kSymbolFrequency,
     .kind = Kind::Symbol},
    Whole(kNcoStatus, "memoryControlHex", "Memory Control  Register (0x00)", kMemoryControl, 0xff, 2),
    Bit(kNcoStatus, "autoIncrement", "Auto Increment", kMemoryControl, 0x40),
    Bit(kNcoStatus, "readNotWrite", "Read Not Write", kMemoryControl, 0x20),
    List(kNcoStatus, "memoryAccessSelect", "Memory Access Select", kMemoryControl, 0x1c, 2, kAccessItems),
    List(kNcoStatus, "wordSelect", "Word Select", kMemoryControl, 0x03, 0, kWordItems),
    Whole(kNcoStatus, "interruptEnableHex", "Interrupt Enable Register (0x09)", kInterruptEnable, 0x7f, 2),
    Bit(kNcoStatus, "enableResetDone", "Reset Done", kInterruptEnable, 0x01),
    Bit(kNcoStatus, "enableReserved", "Reserved", kInterruptEnable, 0x02),
    Bit(kNcoStatus, "enablePllLock", "Digital Pll Lock", kInterruptEnable, 0x04),
    Bit(kNcoStatus, "enableFifoUnderflow", "Fifo Underflow", kInterruptEnable, 0x08),
    Bit(kNcoStatus, "enableFifoOverflow", "Fifo Overflow", kInterruptEnable, 0x10),
    Bit(kNcoStatus, "enableFifoEmpty", "Fifo Empty", kInterruptEnable, 0x20),
    Bit(kNcoStatus, "enableFifoFull", "Fifo Full", kInterruptEnable, 0x40),
    Whole(kNcoStatus, "interruptStatusHex", "Interrupt Status Register (0x08)", kInterruptStatus, 0x7f, 2),
    Bit(kNcoStatus, "statusResetDone", "Reset Done", kInterruptStatus, 0x01),
    Bit(kNcoStatus, "statusReserved", "Reserved", kInterruptStatus, 0x02),
    Bit(kNcoStatus, "statusPllLock", "Digital PLL Lock", kInterruptStatus, 0x04),
    Bit(kNcoStatus, "statusFifoUnderflow", "Fifo Underflow", kInterruptStatus, 0x08),
    Bit(kNcoStatus, "statusFifoOverflow", "Fifo Overflow", kInterruptStatus, 0x10),
    Bit(kNcoStatus, "statusFifoEmpty", "Fifo Empty", kInterruptStatus, 0x20),
    Bit(kNcoStatus, "statusFifoFull", "Fifo Full", kInterruptStatus, 0x40),

    // FIFO/IO, register 0x02 in the order the group shows it
    Whole(kFifoIo, "fifoControlHex", "Fifo/I0 Control Register (0x02)", kFifoControl),
    Bit(kFifoIo, "qDacEnable", "QDac Enable", kFifoControl, 1u << 0),
    Bit(kFifoIo, "iDacEnable", "IDac Enable", kFifoControl, 1u << 1),
    Bit(kFifoIo, "noFifoReset", "No Fifo Reset on active TxEnable", kFifoControl, 1u << 2),
    Bit(kFifoIo, "invertSysClk2", "Invert SysClk/2", kFifoControl, 1u << 3),
    Bit(kFifoIo, "iStrobeActiveHigh", "iStrobe Active High", kFifoControl, 1u << 4),
    Bit(kFifoIo, "txEnableActiveLow", "TxEnable Active Low", kFifoControl, 1u << 5),
    Bit(kFifoIo, "enableQout", "Enable Qout Bus", kFifoControl, 1u << 6),
    Bit(kFifoIo, "enableIout", "Enable Iout Bus", kFifoControl, 1u << 7),
    Bit(kFifoIo, "enableInterruptPin", "Enable Interrupt Pin", kFifoControl, 1u << 8),
    Bit(kFifoIo, "enableSysClk2Output", "Enable SysClk/2 Output", kFifoControl, 1u << 9),
    Bit(kFifoIo, "enableLockDetectOutput", "Enable LockDetect Output", kFifoControl, 1u << 10),
    Bit(kFifoIo, "enableFifoEmptyOutput", "Enable Fifo Empty/Under Output", kFifoControl, 1u << 11),
    Bit(kFifoIo, "enableFifoOverflowOutput", "Enable Fifo Overflow Output", kFifoControl, 1u << 12),
    Bit(kFifoIo, "enableFifoFullOutput", "Enable FifoFull Output", kFifoControl, 1u << 13),
    Bit(kFifoIo, "enable2xSymbolClockOutput", "Enable 2xSymbolClock Output", kFifoControl, 1u << 14),
    Bit(kFifoIo, "symbolClkActiveHigh", "2xSymbolClk pulse Active High", kFifoControl, 1u << 15),
    Bit(kFifoIo, "gateFifoReads", "Gate Fifo Reads With TxEnable", kFifoControl, 1u << 17),
    Bit(kFifoIo, "gateFifoWrites", "Gate Fifo Writes With TxEnable", kFifoControl, 1u << 18, true),
    Bit(kFifoIo, "zeroDataTxInactive", "Zero Data ifTxEnable is inactive", kFifoControl, 1u << 19),
    Bit(kFifoIo, "zeroFifoOutput", "Zero Fifo Output When Empty", kFifoControl, 1u << 22),
    Bit(kFifoIo, "stopWritingWhenFull", "Stop Writing when Fifo Full", kFifoControl, 1u << 23),
    List(kFifoIo, "underflowPin", "UnderFlow / Empty Pin function", kFifoControl, 1u << 16, 16, kPinItems),
    List(kFifoIo, "fifoThresholdMode", "Fifo Threshold Mode", kFifoControl, 0x00300000, 20,
         kThresholdModeItems),
    Hex(kFifoIo, "fifoErrorTerm", "Fifo Frequency Error Term", kFifoControl, kTopByte, 24, 2),
    Hex(kFifoIo, "fifoUpperThreshold", "FifoUpperThreshold", kIChannelControl, kTopByte, 24, 2),
    Hex(kFifoIo, "fifoLowerThreshold", "FifoLowerThreshold", kQChannelControl, kTopByte, 24, 2),

    // DataFlow
    Whole(kDataFlow, "deviceConfigHex", "Device Config (0x01)", kDeviceConfig),
    Bit(kDataFlow, "fifoBypass", "FIFO Bypass", kDeviceConfig, 1u << 0),
    Bit(kDataFlow, "constellationBypass", "Constellation Map Bypass", kDeviceConfig, 1u << 1),
    Bit(kDataFlow, "halfBandEnable", "Half Band Filter Enable", kDeviceConfig, 1u << 4),
    Bit(kDataFlow, "xSinXBypass", "X/SinX Filter Bypass", kDeviceConfig, 1u << 5),
    Bit(kDataFlow, "reserved", "Reserved", kDeviceConfig, 1u << 14),
    Hex(kDataFlow, "dataBitWidth", "Data Bit Width", kDeviceConfig, 0x3c0, 6, 1),
    Bit(kDataFlow, "shapingBypass", "Bypass", kDeviceConfig, 1u << 3, false, "Shaping Filter"),
    Bit(kDataFlow, "twoBitMode", "2 Bit Mode", kDeviceConfig, 1u << 12, false, "Shaping Filter"),
    {.page = kDataFlow,
     .name = "shapingInterpolation",
     .label = "Shaping Filter Interpolation",
     .group = "Shaping Filter",
     .reg = kDeviceConfig,
     .mask = 0xc04,
     .kind = Kind::List,
     .items = kInterpolationItems,
     .indexOf = InterpolationIndex},
    Bit(kDataFlow, "interpolationBypass", "Bypass", kDeviceConfig, 1u << 13, false, "Interpolation Filter"),
    Bit(kDataFlow, "integerInterpolation", "Integer Interpolation Mode", kDeviceConfig, 1u << 15, false,
        "Interpolation Filter"),
    {.page = kDataFlow,
     .name = "factorHalf",
     .label = "Factor/2",
     .group = "Interpolation Filter",
     .reg = kDeviceConfig,
     .mask = 0xffff0000,
     .shift = 16,
     .kind = Kind::Integer,
     .offset = 1},
    Whole(kDataFlow, "iHex", "I Calibration (0x03)", kIChannelControl),
    List(kDataFlow, "iRounding", "", kIChannelControl, 0x3, 0, kRoundingItems, "I Calibration (0x03)"),
    Fraction("iScale", "Scale", "I Calibration (0x03)", kIChannelControl, 14, pageconv::kScaleBase),
    Fraction("iOffset", "Offset", "I Calibration (0x03)", kIChannelControl, 4, pageconv::kOffsetBase),
    Bit(kDataFlow, "iNegateScale", "Negate Scale", kIChannelControl, 0x8, false, "I Calibration (0x03)"),
    Bit(kDataFlow, "iNegateOffset", "Negate Offset", kIChannelControl, 0x4, false, "I Calibration (0x03)"),
    Whole(kDataFlow, "qHex", "Q Calibration (0x04)", kQChannelControl),
    List(kDataFlow, "qRounding", "", kQChannelControl, 0x3, 0, kRoundingItems, "Q Calibration (0x04)"),
    Fraction("qScale", "Scale", "Q Calibration (0x04)", kQChannelControl, 14, pageconv::kScaleBase),
    Fraction("qOffset", "Offset", "Q Calibration (0x04)", kQChannelControl, 4, pageconv::kOffsetBase),
    Bit(kDataFlow, "qNegateScale", "Negate Scale", kQChannelControl, 0x8, false, "Q Calibration (0x04)"),
    Bit(kDataFlow, "qNegateOffset", "Negate Offset", kQChannelControl, 0x4, false, "Q Calibration (0x04)"),
    Whole(kDataFlow, "gainHex", "Gain Control (0x05)", kGainControl),
    Gain(kDataFlow, "postShapingGain", "Post Shaping Filter Gain", kGainControl, 26, 22,
         pageconv::kPostShapingGain, false),
    Whole(kDataFlow, "dcOffsetHex", "Shaping Filter DC Offset (0x11)", kCoefRamPreload, 0x7ffff, 5),

    // PLLs
    Whole(kPlls, "dlfHex", "Digital Loop Filter (0x06)", kDlfControl),
    Gain(kPlls, "lead", "Lead", kDlfControl, 16, 1, pageconv::kLoopFilterGain, true),
    Gain(kPlls, "lag", "Lag", kDlfControl, 24, 11, pageconv::kLoopFilterGain, true),
    Gain(kPlls, "freq", "Freq", kDlfControl, 20, 6, pageconv::kLoopFilterGain, true),
    Bit(kPlls, "disableLagAccumulator", "Disable Lag Accumulator", kDlfControl, 0x1),
    Bit(kPlls, "disableOffsetFrequency", "Disable Offset Frequency", kDlfControl, 0x10000000),
    Bit(kPlls, "invertFrequencyError", "Invert Frequency Error", kDlfControl, 0x20000000),
    Bit(kPlls, "invertPhaseError", "Invert Phase Error", kDlfControl, 0x40000000),
    Whole(kPlls, "upperLimitHex", "Upper Limit (0x0c)", kDlfUpperLimit),
    Whole(kPlls, "lowerLimitHex", "Lower Limit (0x0d)", kDlfLowerLimit),
    {.page = kPlls,
     .name = "refClkDivider",
     .label = "RefClk Divider",
     .reg = kGainControl,
     .mask = 0xff,
     .kind = Kind::Integer},
    {.page = kPlls,
     .name = "ncoDivider",
     .label = "NCO Divider",
     .reg = kGainControl,
     .mask = 0x3fff00,
     .shift = 8,
     .kind = Kind::Integer},
    Whole(kPlls, "lockDetectHex", "Lock Detect / APLL (0x07)", kLockDetectControl),
    List(kPlls, "thresholdDecrement", "Greater than Threshold Decrement", kLockDetectControl, 0x1, 0,
         kDecrementItems, "Lock Detect"),
    List(kPlls, "thresholdIncrement", "Less than Threshold Increment", kLockDetectControl, 0x6, 1,
         kIncrementItems, "Lock Detect"),
    Hex(kPlls, "phaseErrorThreshold", "Phase Error Threshold", kLockDetectControl, 0xfffff8, 3, 6),
    Bit(kPlls, "analogLockStatus", "Use Analog Pll Lock Status Bit For Lock Detect", kLockDetectControl,
        0x80000000),
    Bit(kPlls, "useAnalogPll", "Use Analog PLL", kLockDetectControl, 0x1000000, false, "Analog PLL"),
    Bit(kPlls, "enableAnalogPll", "Enable Analog PLL", kLockDetectControl, 0x2000000, false, "Analog PLL"),
    List(kPlls, "clkDivider", "Clk Divider", kLockDetectControl, 0xc000000, 26, kClkDividerItems,
         "Analog PLL"),
    List(kPlls, "vcoDivider", "VCO Divider", kLockDetectControl, 0x70000000, 28, kVcoDividerItems,
         "Analog PLL"),

    // Filter
    Whole(kFilter, "dcOffset", "Shaping Filter DC Offset (0x11)", kCoefRamPreload, 0x7ffff, 5),

    // Board
    {.page = kBoard,
     .name = "dataClk",
     .label = "Source for DataClk",
     .space = RegisterSpace::Bridge,
     .reg = 9,
     .mask = 0x3,
     .kind = Kind::List,
     .items = kDataClkItems},
    {.page = kBoard,
     .name = "patternMemory",
     .label = "Pattern Memory",
     .group = "Source for Din[15:0]",
     .space = RegisterSpace::Pld,
     .reg = 12,
     .mask = 0x1,
     .kind = Kind::Bit},

    // On no page.
    Whole(RegisterField::kNoPage, "", "TestRegister", kTestRegister),
    Cpld(RegisterSpace::Bridge, 8),
    Cpld(RegisterSpace::Bridge, 9),
    Cpld(RegisterSpace::Bridge, 10),
    Cpld(RegisterSpace::Bridge, 11),
    Cpld(RegisterSpace::Bridge, 12),
    Cpld(RegisterSpace::Bridge, 13),
    Cpld(RegisterSpace::Bridge, 14),
    Cpld(RegisterSpace::Bridge, 15),
    Cpld(RegisterSpace::Pld, 9),
    Cpld(RegisterSpace::Pld, 10),
    Cpld(RegisterSpace::Pld, 11),
    Cpld(RegisterSpace::Pld, 12),
    Cpld(RegisterSpace::Pld, 13),
    Cpld(RegisterSpace::Pld, 14),
    Cpld(RegisterSpace::Pld, 15),
};

std::uint32_t FieldValue(const RegisterField& field, std::uint32_t word) {
    return (word & field.mask) >> field.shift;
}

} // namespace

std::string RegisterField::Title() const {
    return *label ? label : group;
}

int RegisterField::ListIndex(std::uint32_t word) const {
    if (indexOf)
        return indexOf(word);
    const auto index = static_cast<std::size_t>((word & mask) >> shift);
    return index < items.size() ? static_cast<int>(index) : -1;
}

std::span<const RegisterField> RegisterFields() {
    return kFields;
}

const RegisterField* FindRegisterField(int page, std::string_view name) {
    for (const RegisterField& field : kFields)
        if (field.page == page && name == field.name)
            return &field;
    return nullptr;
}

const RegisterField& PageField(int page, std::string_view name) {
    const RegisterField* field = FindRegisterField(page, name);
    if (!field) {
        std::fprintf(stderr, "no register field %.*s on page %d\n", static_cast<int>(name.size()),
                     name.data(), page);
        std::abort();
    }
    return *field;
}

std::string FieldText(const RegisterField& field, std::uint32_t word, double sysClk) {
    switch (field.kind) {
    case Kind::Bit:
        return ((word & field.mask) != 0) != field.activeLow ? "ticked" : "not ticked";
    case Kind::List: {
        const int index = field.ListIndex(word);
        return index < 0 ? FormatText("(none: 0x%x)", FieldValue(field, word)) : field.items[index];
    }
    case Kind::Hex:
        return pageconv::FormatHex(FieldValue(field, word), field.digits);
    case Kind::Integer:
        return std::to_string(static_cast<std::int64_t>(FieldValue(field, word)) + field.offset);
    case Kind::Gain: {
        const std::uint32_t exponentMask = static_cast<std::uint32_t>(field.gain->largestExponent)
                                           << field.exponentShift;
        const pageconv::GainCode code{(word & field.mask & ~exponentMask) >> field.shift,
                                      (word & exponentMask) >> field.exponentShift};
        const double gain = pageconv::DecodeGain(code, *field.gain);
        return field.sixDecimals ? pageconv::FormatF(gain) : pageconv::FormatG(gain);
    }
    case Kind::Fraction:
        return pageconv::FormatG(pageconv::FieldToFraction(FieldValue(field, word), field.base));
    case Kind::Carrier:
        return pageconv::FormatFrequency(pageconv::CarrierFrequency(word, sysClk));
    case Kind::Symbol:
        return pageconv::FormatFrequency(pageconv::SymbolRate(word, sysClk));
    case Kind::Word:
        break;
    }
    return pageconv::FormatHex(word & field.mask, field.digits);
}

std::string RegisterName(RegisterSpace space, std::uint8_t reg) {
    switch (space) {
    case RegisterSpace::Bridge:
        return FormatText("bridge %.2x", reg);
    case RegisterSpace::Pld:
        return FormatText("pld %.2x", reg);
    case RegisterSpace::Chip:
        break;
    }
    const auto& info = ChipRegisterTable()[reg & 0x1f];
    return info ? std::string(info->name) : FormatText("%.2x", reg);
}

} // namespace tarsion
