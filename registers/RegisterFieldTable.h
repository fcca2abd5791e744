#pragma once

#include "ops/RegisterWrite.h"
#include "registers/PageConversions.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

// One register field as a page shows it: the control (its object name), the page's label for it,
// where its bits live and how they read in the page's units. The pages build their controls
// from these entries, and the compare view and the find box read the same entries.
struct RegisterField {
    enum class Kind {
        Bit,      // a check box: ticked or not (active low: ticked when the bits are clear)
        List,     // a drop-down list or a pair of radio buttons: the item text
        Hex,      // a hexadecimal field, "0x" and `digits` digits
        Integer,  // a decimal field shown as field + `offset`
        Gain,     // mantissa and exponent of a gain
        Fraction, // base + field / 4096
        Carrier,  // the carrier NCO word as a frequency
        Symbol,   // the symbol NCO word as a frequency
        Word,     // the whole register in hexadecimal
    };
    // No page: the register shows on none (compare only).
    static constexpr int kNoPage = -1;

    int page = kNoPage;
    const char* name = "";
    const char* label = "";
    // The group the control sits in, for a label that needs it ("Shaping Filter").
    const char* group = "";
    RegisterSpace space = RegisterSpace::Chip;
    std::uint8_t reg = 0;
    std::uint32_t mask = 0xffffffff;
    int shift = 0;
    Kind kind = Kind::Word;
    bool activeLow = false;
    std::span<const char* const> items = {};
    int digits = 8;
    std::int64_t offset = 0;
    int exponentShift = 0;
    const pageconv::GainFormat* gain = nullptr;
    bool sixDecimals = false;
    double base = 0;
    // Lists whose index is not simply the field value.
    int (*indexOf)(std::uint32_t word) = nullptr;

    // The label, or the group when the page gives the control none.
    std::string Title() const;
    // The list index a register word selects, -1 for none.
    int ListIndex(std::uint32_t word) const;
};

// Every field of every page, in page order, then the registers no page shows.
std::span<const RegisterField> RegisterFields();
// The field whose control has that object name on that page; nullptr for none.
const RegisterField* FindRegisterField(int page, std::string_view name);
// The entry a page builds a control from: a missing one is a programming error.
const RegisterField& PageField(int page, std::string_view name);

// The field of a register word in the page's units ("10.000000MHz", "ticked", "x 4", ...).
// `sysClk` is needed for the frequencies.
std::string FieldText(const RegisterField& field, std::uint32_t word, double sysClk);

// "MemoryControl", "bridge 09", "pld 0c".
std::string RegisterName(RegisterSpace space, std::uint8_t reg);

} // namespace tarsion
