#include "registers/RegisterCompare.h"

#include "board/RegisterShadow.h"
#include "ops/BoardOperations.h"

#include <algorithm>

namespace tarsion {

namespace {

using Kind = RegisterField::Kind;

bool SameField(const RegisterField& a, const RegisterField& b) {
    return a.space == b.space && a.reg == b.reg && a.mask == b.mask && a.kind == b.kind;
}

// The bits of a register that a field other than a whole-register entry shows.
std::uint32_t CoveredBits(RegisterSpace space, std::uint8_t reg) {
    std::uint32_t covered = 0;
    for (const RegisterField& field : RegisterFields())
        if (field.space == space && field.reg == reg && field.kind != Kind::Word)
            covered |= field.mask;
    return covered;
}

double SysClkOf(const CRegisterSnapshot& snapshot) {
    return RegisterShadow::SysClkFor(snapshot.clockPin, snapshot.chip[0x07].value_or(0));
}

} // namespace

std::optional<std::uint32_t> SnapshotWord(const CRegisterSnapshot& snapshot, RegisterSpace space,
                                          std::uint8_t reg) {
    switch (space) {
    case RegisterSpace::Chip:
        return reg < snapshot.chip.size() ? snapshot.chip[reg] : std::nullopt;
    case RegisterSpace::Bridge:
        if (reg >= CRegisterSnapshot::kFirstBridge && reg < CRegisterSnapshot::kSpaceRegisters)
            return snapshot.bridge[reg];
        return std::nullopt;
    case RegisterSpace::Pld:
        if (reg >= CRegisterSnapshot::kFirstPld && reg < CRegisterSnapshot::kSpaceRegisters)
            return snapshot.pld[reg];
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<CompareRow> CompareSnapshots(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                                         bool includeEqual) {
    const double clockBefore = SysClkOf(before);
    const double clockAfter = SysClkOf(after);
    const auto fields = RegisterFields();
    std::vector<CompareRow> rows;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const RegisterField& field = *it;
        if (std::any_of(fields.begin(), it,
                        [&field](const RegisterField& other) { return SameField(other, field); }))
            continue;
        const auto a = SnapshotWord(before, field.space, field.reg);
        const auto b = SnapshotWord(after, field.space, field.reg);
        if (!a || !b)
            continue;
        std::uint32_t mask = field.mask;
        if (field.kind == Kind::Word)
            mask &= ~CoveredBits(field.space, field.reg);
        if (mask == 0)
            continue;
        // Frequencies also move with the clock.
        const bool differs =
            ((*a ^ *b) & mask) != 0 ||
            ((field.kind == Kind::Carrier || field.kind == Kind::Symbol) && clockBefore != clockAfter);
        if (!differs && !includeEqual)
            continue;
        rows.push_back(CompareRow{&field, mask, RegisterName(field.space, field.reg),
                                  FieldText(field, *a, clockBefore), FieldText(field, *b, clockAfter), *a, *b,
                                  differs});
    }
    return rows;
}

std::size_t BoardComparison::Differing() const {
    return static_cast<std::size_t>(
        std::count_if(registers.begin(), registers.end(), [](const CompareRow& row) { return row.differs; }) +
        std::count_if(settings.begin(), settings.end(), [](const SettingRow& row) { return row.differs; }));
}

BoardComparison CompareBoards(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                              bool includeEqual) {
    return BoardComparison{CompareSnapshots(before, after, includeEqual),
                           CompareSettings(before, after, includeEqual)};
}

bool ApplyCompareRow(CBoardOperations& ops, const CompareRow& row, std::uint32_t value) {
    const RegisterShadow& shadow = ops.Doc().Shadow();
    const std::uint8_t reg = row.field->reg;
    switch (row.field->space) {
    case RegisterSpace::Chip:
        return ops.Poke(reg, (shadow.FetchChipReg(reg) & ~row.mask) | (value & row.mask));
    case RegisterSpace::Bridge:
        return ops.Write(
            reg, static_cast<std::uint8_t>((shadow.FetchBridgeReg(reg) & ~row.mask) | (value & row.mask)));
    case RegisterSpace::Pld:
        return ops.PldWrite(
            reg, static_cast<std::uint8_t>((shadow.FetchPldReg(reg) & ~row.mask) | (value & row.mask)));
    }
    return false;
}

} // namespace tarsion
