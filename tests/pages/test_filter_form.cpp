#include "PageBench.h"
#include "ops/MemoryTransfer.h"
#include "pages/FilterForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>

namespace tarsion::test {
namespace {

constexpr int kFilterPage = 4;
constexpr double kPhaseLimit = 0.9999856948853;

QString Shown(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    return QString::fromLatin1(text);
}

// Field 4 (bits 71..54) of a coefficient word, sign-extended from 18 bits.
std::int32_t Field4(const VirtualBoard::CoefficientWord& word) {
    const std::uint32_t top = word[8] << 16 | word[7] << 8 | word[6];
    const auto field = static_cast<std::int32_t>((top >> 6) & 0x3ffff);
    return field >= 0x20000 ? field - 0x40000 : field;
}
// Field 3 (bits 53..36).
std::uint32_t Field3(const VirtualBoard::CoefficientWord& word) {
    const std::uint32_t bits = word[6] << 16 | word[5] << 8 | word[4];
    return (bits >> 4) & 0x3ffff;
}

class FilterFormTest : public PageTest {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/filterform-XXXXXX";
        folder_ = mkdtemp(pattern);
        Open(kFilterPage);
        Form()->SetFileChooser([this](const char*, const QString&, const QString&) { return chosen_; });
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    CFilterForm* Form() { return qobject_cast<CFilterForm*>(page_.get()); }
    // A coefficient file of one tap: seven header lines, then the tap.
    std::string OneTapFile(double tap) {
        const std::string path = folder_ + "/lp.coe";
        std::ofstream out(path);
        for (int line = 1; line <= 7; ++line)
            out << "header\n";
        out << std::setprecision(17) << tap << "\n";
        return path;
    }
    void Choose(const char* list, int index) {
        auto* box = Find<QComboBox>(list);
        box->setCurrentIndex(index);
    }

    std::string folder_;
    QString chosen_;
};

// Best Fit for one tap t at rate R: the tap fits its 18-bit field, so only the phase sum |t| x G
// decides, and each adjustment scales G by limit / A.
double BestFitGainOfOneTap(double tap, double rate) {
    double gain = rate;
    for (int adjustment = 0; adjustment < 31 && std::fabs(tap * gain) > kPhaseLimit; ++adjustment)
        gain = gain * kPhaseLimit / std::fabs(tap * gain);
    return gain;
}

// A word written with WriteMemory: the page names the file the RAM no longer holds, and how and
// when it changed; a new load clears the note.
TEST_F(FilterFormTest, WriteMemoryMarksThePageUntilALoad) {
    const std::string map = folder_ + "/qam16.hex";
    std::ofstream(map) << "0011\n0122\n";
    ASSERT_TRUE(ops_->LoadConstellationRam(map));
    CatchUp();
    auto* state = Find<QLabel>("memoryState");
    EXPECT_FALSE(state->isVisibleTo(page_.get()));

    ASSERT_FALSE(CMemoryTransfer(*ops_).Write("constellation", 2, {{0x33}}));
    CatchUp();
    EXPECT_TRUE(state->isVisibleTo(page_.get()));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Constellation RAM: changed since qam16.hex was loaded "
                                                  "\\(WriteMemory \\d\\d:\\d\\d:\\d\\d\\)$"))
                    .match(state->text())
                    .hasMatch())
        << state->text().toStdString();
    EXPECT_EQ(Edit("constellationFile")->text().toStdString(), map);

    ASSERT_TRUE(ops_->LoadConstellationRam(map));
    CatchUp();
    EXPECT_FALSE(state->isVisibleTo(page_.get()));
}

TEST_F(FilterFormTest, BestFitLoadShowsTheGainUsedAndTheNewDcGain) {
    const double tap = 0.12499875; // x 8 = 0.99999: over the phase limit, inside the field
    Preset(0x01, 0x400);           // shaping filter x 8, as the table
    Edit("iFile")->setText(QString::fromStdString(OneTapFile(tap)));
    Type("iScale", "2.5", false);
    Choose("iInterpolation", 1);
    Click("loadI");

    const double gain = BestFitGainOfOneTap(tap, 8.0);
    ASSERT_LT(gain, 8.0);
    const double dcGain = tap * gain / 8.0;
    EXPECT_EQ(Text("iScale"), Shown(gain));
    EXPECT_EQ(Text("iDcGain"), Shown(dcGain));
    EXPECT_TRUE(Find<QRadioButton>("iBestFit")->isChecked());
    // Rate 8: tap 0 sits in field 4 of every word with j = 3, u = 0 and l odd.
    const auto field = static_cast<std::int32_t>(std::floor(tap * gain * 131072.0 + 0.5));
    EXPECT_EQ(Field4(board_->CoefficientRam(0, 0xc1)), field);
    EXPECT_EQ(Field4(board_->CoefficientRam(1, 0xc1)), 0);
    // The offset load: trunc(D x 2^17) + 6 x 2^(data bit width 0).
    const auto offset = static_cast<std::uint32_t>(std::trunc(dcGain * 131072.0)) + 6;
    EXPECT_EQ(Chip(0x11), offset);
    char offsetText[16];
    std::snprintf(offsetText, sizeof offsetText, "0x%.5x", offset);
    EXPECT_EQ(Text("dcOffset"), offsetText);
}

// A table for another rate than the shaping filter's is loaded only after a YES.
TEST_F(FilterFormTest, InterpRateOtherThanTheShapingFiltersAsksFirst) {
    struct Case {
        std::uint32_t deviceConfig;
        int interpolation;
        std::optional<bool> answer; // empty: no question
        const char* question;
    };
    const Case cases[] = {
        {0x000, 0, std::nullopt, ""},
        {0x004, 0, std::nullopt, ""}, // "x2" is the x 4 filter decimated
        {0x800, 2, std::nullopt, ""},
        {0x000, 1, false,
         "Interp Rate|The Interp Rate x8 differs from the shaping filter interpolation set on the DataFlow "
         "page "
         "(x4, register 0x01).\nLoad anyway?"},
        {0xc00, 2, true,
         "Interp Rate|The Interp Rate x16 differs from the shaping filter interpolation set on the DataFlow "
         "page (none, register 0x01).\nLoad anyway?"},
    };
    const double tap = 0.0625;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviceConfig);
        board_->SetCoefficientRam(0, 0xc1, {});
        prompt_.questions.clear();
        if (c.answer)
            prompt_.answers.push_back(*c.answer);
        Preset(0x01, c.deviceConfig);
        Edit("iFile")->setText(QString::fromStdString(OneTapFile(tap)));
        Click("iForceValue");
        Type("iScale", "4", false);
        Choose("iInterpolation", c.interpolation);
        Click("loadI");
        const bool loaded = c.answer.value_or(true);
        EXPECT_EQ(prompt_.questions.empty(), !c.answer);
        if (c.answer) {
            EXPECT_EQ(prompt_.questions.front(), c.question);
        }
        // At every rate tap 0 x gain sits in field 4 of word 0xc1 (j = 3, u = 0, l = 1).
        EXPECT_EQ(Field4(board_->CoefficientRam(0, 0xc1)),
                  loaded ? static_cast<std::int32_t>(tap * 4 * 131072) : 0);
    }
}

TEST_F(FilterFormTest, LoadIPlusQTakesEveryOptionFromTheIGroup) {
    const double tap = 0.0625;
    Preset(0x01, 0x400); // shaping filter x 8, as the I table
    Edit("iFile")->setText(QString::fromStdString(OneTapFile(tap)));
    Choose("iInterpolation", 1);
    Click("iForceValue");
    Type("iScale", "4", false);
    Find<QCheckBox>("iLoadOffset")->setChecked(false);
    Choose("qInterpolation", 2);
    Find<QCheckBox>("qSymmetric")->setChecked(true);
    Type("qScale", "1", false);
    Click("loadIQ");

    // Rate 8 and no mirrored tap: field 4 holds tap x 4, field 3 (tap 1 when symmetric) stays 0.
    for (const int ram : {0, 1}) {
        EXPECT_EQ(Field4(board_->CoefficientRam(ram, 0xc1)), static_cast<std::int32_t>(tap * 4 * 131072))
            << ram;
        EXPECT_EQ(Field3(board_->CoefficientRam(ram, 0xc1)), 0u) << ram;
    }
    EXPECT_EQ(Chip(0x11), 0u);
    EXPECT_EQ(Find<QComboBox>("qInterpolation")->currentText(), "x8");
    EXPECT_FALSE(Find<QCheckBox>("qSymmetric")->isChecked());
    EXPECT_EQ(Text("qScale"), "4");
    EXPECT_TRUE(Find<QRadioButton>("qForceValue")->isChecked());
}

TEST_F(FilterFormTest, BrowseRefusesRamImagesByTheirExactExtension) {
    const QString before = Text("iFile");
    chosen_ = "/data/lp_I.Ram";
    Click("iBrowse");
    EXPECT_EQ(Text("iFile"), before);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "Cannot use a coe file with the extension .ram");

    chosen_ = "/data/x.ram";
    Click("qBrowse");
    EXPECT_EQ(Text("qFile"), "/data/x.ram");
    chosen_ = "/data/map.hex";
    Click("constellationBrowse");
    EXPECT_EQ(Text("constellationFile"), "/data/map.hex");
    chosen_.clear(); // cancelled
    Click("qBrowse");
    EXPECT_EQ(Text("qFile"), "/data/x.ram");
    EXPECT_EQ(prompt_.messages.size(), 1u);
}

TEST_F(FilterFormTest, DcOffsetIsPokedOnceForEnterAndTheFocusLossAfterIt) {
    Type("dcOffset", "0x12345");
    LoseFocus("dcOffset");
    EXPECT_EQ(Chip(0x11), 0x12345u);
    EXPECT_EQ(Text("dcOffset"), "0x12345");
    std::size_t pokes = 0;
    for (auto at = log_.text.find("Poke 11 "); at != std::string::npos;
         at = log_.text.find("Poke 11 ", at + 1))
        ++pokes;
    EXPECT_EQ(pokes, 1u);
    EXPECT_EQ(Edit("dcOffset")->maxLength(), 7);
}

TEST_F(FilterFormTest, FailedLoadsReturnToTheSettingsOfTheLastLoad) {
    Edit("iFile")->setText(QString::fromStdString(folder_ + "/missing.coe"));
    Type("iScale", "3", false);
    Click("loadI");
    EXPECT_EQ(Text("iFile"), "Unknown");
    EXPECT_EQ(Text("iScale"), "1");

    Edit("constellationFile")->setText(QString::fromStdString(folder_ + "/missing.hex"));
    Click("constellationLoad");
    EXPECT_EQ(Text("constellationFile"), "Unknown");
}

TEST_F(FilterFormTest, ChannelGroupsStackOnANarrowWindowAndStandSideBySideOnAWideOne) {
    page_->show();
    const auto y = [this](const char* name) { return Edit(name)->mapTo(page_.get(), QPoint()).y(); };
    page_->resize(550, 400);
    QApplication::processEvents();
    EXPECT_GT(y("qFile"), y("iFile"));
    page_->resize(1280, 400);
    QApplication::processEvents();
    EXPECT_EQ(y("qFile"), y("iFile"));
}

// Each load reads only the options it uses: a Value that is no number stops only the loads that
// take it, and "Load I + Q" takes the I group's.
TEST_F(FilterFormTest, ScaleThatIsNoNumberStopsOnlyTheLoadsThatUseIt) {
    const struct {
        const char* button;
        const char* badScale;
        bool loadsI;
        bool loadsQ;
    } cases[] = {
        {"loadI", "qScale", true, false},  {"loadIQ", "qScale", true, true},
        {"loadQ", "iScale", false, true},  {"loadQ", "qScale", false, false},
        {"loadI", "iScale", false, false}, {"loadIQ", "iScale", false, false},
    };
    const QString file = QString::fromStdString(OneTapFile(0.0625));
    for (const auto& c : cases) {
        for (const int ram : {0, 1})
            board_->SetCoefficientRam(ram, 0xc1, {});
        prompt_.messages.clear();
        Edit("iFile")->setText(file);
        Edit("qFile")->setText(file);
        Type(c.badScale, "abc", false);
        Click(c.button);
        const bool refused = !c.loadsI && !c.loadsQ;
        EXPECT_EQ(Field4(board_->CoefficientRam(0, 0xc1)) != 0, c.loadsI) << c.button << " " << c.badScale;
        EXPECT_EQ(Field4(board_->CoefficientRam(1, 0xc1)) != 0, c.loadsQ) << c.button << " " << c.badScale;
        EXPECT_EQ(prompt_.messages,
                  refused ? std::vector<std::string>{"Please enter a number."} : std::vector<std::string>{})
            << c.button << " " << c.badScale;
        if (refused) {
            EXPECT_EQ(Text(c.badScale), "abc") << c.button;
        }
        Form()->Refresh();
    }
}

} // namespace
} // namespace tarsion::test
