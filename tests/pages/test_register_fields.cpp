#include "PageBench.h"
#include "board/ChipRegisters.h"
#include "registers/RegisterCompare.h"
#include "registers/RegisterFieldTable.h"
#include "registers/RegisterSnapshot.h"
#include "registers/SettingCompare.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

namespace tarsion::test {
namespace {

using Kind = RegisterField::Kind;

// Words with every kind of bit pattern, so a wrong mask, shift or item list shows.
constexpr std::uint32_t kWords[] = {0x00000000, 0xffffffff, 0x5a5a5a5a, 0xa5c3e10f, 0x12345678};

class RegisterFieldTable : public PageTest {};

// Each entry is what its page shows: the same control, label and value for any register word.
TEST_F(RegisterFieldTable, EveryEntryReadsAsItsPageShowsIt) {
    for (const std::uint32_t word : kWords) {
        for (std::uint8_t reg : kValueRegisters)
            Preset(reg, word & ChipRegisterTable()[reg]->largestValue);
        for (int page = 0; page < 6; ++page) {
            Open(page);
            for (const RegisterField& field : RegisterFields()) {
                if (field.page != page || field.space != RegisterSpace::Chip)
                    continue;
                const std::uint32_t value = doc_.Shadow().FetchChipReg(field.reg);
                const std::string shown = FieldText(field, value, doc_.Shadow().SysClk());
                QWidget* control = Find<QWidget>(field.name);
                ASSERT_NE(control, nullptr) << field.name;
                if (auto* box = qobject_cast<QComboBox*>(control)) {
                    EXPECT_EQ(box->currentIndex(), field.ListIndex(value)) << field.name;
                    if (box->currentIndex() >= 0) {
                        EXPECT_EQ(box->currentText().toStdString(), shown) << field.name;
                    }
                } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                    EXPECT_EQ(edit->text().toStdString(), shown) << field.name << " " << std::hex << value;
                } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                    // A check box, or the radio button that stands for "UnderFlow".
                    EXPECT_EQ(button->isChecked(), shown == "ticked" || shown == "UnderFlow") << field.name;
                }
                if (field.kind == Kind::Bit) {
                    EXPECT_EQ(qobject_cast<QAbstractButton*>(control)->text().toStdString(), field.label);
                }
            }
        }
    }
}

TEST_F(RegisterFieldTable, OneDifferentFieldOfDeviceConfigIsExactlyOneRowInPageTerms) {
    Preset(0x01, 0x00010000);
    const CRegisterSnapshot before = CRegisterSnapshot::Take(doc_, "before");
    Open(2);
    Find<QAbstractButton>("halfBandEnable")->click();
    ASSERT_EQ(Chip(0x01), 0x00010010u);
    const CRegisterSnapshot after = CRegisterSnapshot::Take(doc_, "after");

    const auto rows = CompareSnapshots(before, after, false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].registerName, "DeviceConfig");
    EXPECT_EQ(rows[0].field->Title(), "Half Band Filter Enable");
    EXPECT_EQ(rows[0].before, "not ticked");
    EXPECT_EQ(rows[0].after, "ticked");
    EXPECT_EQ(rows[0].rawBefore, 0x00010000u);
    EXPECT_EQ(rows[0].rawAfter, 0x00010010u);

    // Applying the other side writes that field back with one Poke.
    log_.text.clear();
    ASSERT_TRUE(ApplyCompareRow(*ops_, rows[0], rows[0].rawBefore));
    EXPECT_EQ(Chip(0x01), 0x00010000u);
    EXPECT_EQ(Logged("Poke 01 00010000"), 1u);
}

TEST_F(RegisterFieldTable, FrequenciesAndListsCompareInPageUnits) {
    Preset(0x0a, 0);
    Preset(0x07, 0);
    const CRegisterSnapshot before = CRegisterSnapshot::Take(doc_, "before");
    ASSERT_TRUE(ops_->Poke(0x0a, 0x20000000));
    ASSERT_TRUE(ops_->Poke(0x07, 0x0c000000));
    const auto rows = CompareSnapshots(before, CRegisterSnapshot::Take(doc_, "after"), false);
    std::vector<std::string> seen;
    for (const CompareRow& row : rows)
        seen.push_back(row.field->Title() + ": " + row.before + " -> " + row.after);
    // The carrier word is an eighth of the 80 MHz clock; bits 27..26 pick the divider.
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Frequency: 0.000000Hz -> 10.000000MHz", "Clk Divider: 1 -> 8"}));
}

// Each memory-load setting reads as its page shows it, for the defaults and for settings that
// differ from them in every field.
TEST_F(RegisterFieldTable, EverySettingReadsAsItsPageShowsIt) {
    const CoefficientSettings loaded{2, 0.75, false, false, 1.25, true, true, "/lab/filters/hp.coe"};
    const struct {
        CoefficientSettings i, q;
        std::string constellation;
        PatternSettings pattern;
    } cases[] = {
        {{}, {}, kUnknownFile, {}},
        {loaded, CoefficientSettings{1, 3, true, true, -0.5, false, false, "lp.coe"}, "/lab/qam16.hex",
         PatternSettings{2, 1, 0.5, -0.25, 12.5, 100, kGeneratedPattern}},
        {loaded, loaded, "a b.hex", PatternSettings{0, 2, 1, 0.1, 3, 131072, "/lab/tone.pat"}},
    };
    for (const auto& c : cases) {
        doc_.coefficientI = c.i;
        doc_.coefficientQ = c.q;
        doc_.constellationFile = c.constellation;
        doc_.pattern = c.pattern;
        const CRegisterSnapshot snapshot = CRegisterSnapshot::Take(doc_, "now");
        for (const int page : {4, 5}) {
            Open(page);
            for (const SettingField& field : SettingFields()) {
                if (field.page != page)
                    continue;
                const std::string shown = SettingText(field, snapshot);
                QWidget* control = Find<QWidget>(field.name);
                ASSERT_NE(control, nullptr) << field.name;
                if (auto* box = qobject_cast<QComboBox*>(control)) {
                    EXPECT_EQ(box->currentText().toStdString(), shown) << field.name;
                } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                    EXPECT_EQ(edit->text().toStdString(), shown) << field.name;
                } else {
                    // "Best Fit" is a radio button, the others check boxes.
                    auto* button = qobject_cast<QAbstractButton*>(control);
                    ASSERT_NE(button, nullptr) << field.name;
                    EXPECT_EQ(button->isChecked(), shown == "ticked" || shown == "Best Fit") << field.name;
                }
            }
        }
    }
}

TEST_F(RegisterFieldTable, OnePatternSettingAndOneFileNameAreExactlyTheirTwoRows) {
    QTemporaryDir dir;
    const QString map = dir.filePath(QStringLiteral("qam.hex"));
    QFile file(map);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("0001\n0102\n") > 0);
    file.close();
    ASSERT_TRUE(ops_->LoadExternalMem(1, 0, 1.0, 0.0, 16, 64));
    const CRegisterSnapshot before = CRegisterSnapshot::Take(doc_, "before");
    ASSERT_TRUE(ops_->LoadExternalMem(1, 0, 1.0, 0.0, 32, 64));
    ASSERT_TRUE(ops_->LoadConstellationRam(map.toStdString()));
    const CRegisterSnapshot after = CRegisterSnapshot::Take(doc_, "after");

    std::vector<std::string> seen;
    for (const SettingRow& row : CompareBoards(before, after, false).settings)
        seen.push_back(std::string(row.field->group) + " | " + row.field->label + " | " + row.before + " | " +
                       row.after);
    EXPECT_EQ(seen, (std::vector<std::string>{"Constellation Memory | Constellation File | Unknown | " +
                                                  map.toStdString(),
                                              "Pattern Parameters | Samples Per Cycle | 16 | 32"}));
    // Asked for equal ones too, every setting is a row, and still only those two differ.
    const auto all = CompareSettings(before, after, true);
    EXPECT_EQ(all.size(), SettingFields().size());
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const SettingRow& row) { return row.differs; }), 2);
}

} // namespace
} // namespace tarsion::test
