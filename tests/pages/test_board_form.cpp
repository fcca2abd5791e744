#include "PageBench.h"
#include "pages/BoardForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWheelEvent>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace tarsion::test {
namespace {

constexpr int kBoardPage = 5;
constexpr std::uint32_t kMemoryWords = 0x40000;
const char* const kDownloadFailed = "Couldn't Download the file\nPlease see LogWindow for Details";

class BoardFormTest : public PageTest {
protected:
    void SetUp() override { Open(kBoardPage); }

    void Choose(const char* list, int index) {
        auto* box = Find<QComboBox>(list);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    bool Ticked(const char* name) { return Find<QCheckBox>(name)->isChecked(); }
    std::size_t Count(const std::string& what) const {
        std::size_t count = 0;
        for (auto at = log_.text.find(what); at != std::string::npos; at = log_.text.find(what, at + 1))
            ++count;
        return count;
    }
    void Pattern(const QString& iAmplitude, const QString& qAmplitude, const QString& perCycle,
                 const QString& samples) {
        Find<QComboBox>("iKind")->setCurrentIndex(0);
        Find<QComboBox>("qKind")->setCurrentIndex(0);
        Type("iAmplitude", iAmplitude, false);
        Type("qAmplitude", qAmplitude, false);
        Type("samplesPerCycle", perCycle, false);
        Type("numberOfSamples", samples, false);
    }
    // Low 16 bits of a pattern word counted back from the end of the memory.
    std::uint32_t SampleFromEnd(std::uint32_t back) const {
        return board_->PatternWord(kMemoryWords - back) & 0xffff;
    }
};

TEST_F(BoardFormTest, DataClkListWritesBridgeRegister9) {
    Choose("dataClk", 2);
    EXPECT_EQ(board_->BridgeRegister(9), 2);
    EXPECT_EQ(Find<QComboBox>("dataClk")->currentText(), "SysClk/2");
    Choose("dataClk", 2);
    EXPECT_EQ(Count("Write 09"), 1u);

    // Scrolling the page over the list leaves the DataClk source alone.
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Find<QComboBox>("dataClk"), &wheel);
    EXPECT_EQ(board_->BridgeRegister(9), 2);
    EXPECT_EQ(Count("Write 09"), 1u);
}

TEST_F(BoardFormTest, PatternMemoryWhileTristatedSelectsRefClkThenSends) {
    Click("tristated");
    EXPECT_EQ(board_->BridgeRegister(9), 3);
    EXPECT_TRUE(Ticked("tristated"));
    EXPECT_FALSE(Ticked("ground"));
    EXPECT_EQ(Find<QComboBox>("dataClk")->currentText(), "Tristated ");

    Click("patternMemory");
    EXPECT_EQ(board_->BridgeRegister(9), 0);
    EXPECT_TRUE(board_->Sending());
    EXPECT_EQ(Find<QComboBox>("dataClk")->currentText(), "RefClk");
    EXPECT_TRUE(Ticked("patternMemory"));
    EXPECT_FALSE(Ticked("ground"));
    EXPECT_FALSE(Ticked("tristated"));
}

TEST_F(BoardFormTest, GndActsOnEveryClick) {
    Click("ground");
    Click("ground");
    EXPECT_EQ(Count("Stop"), 2u);
    EXPECT_FALSE(board_->Sending());
    EXPECT_TRUE(Ticked("ground"));
    EXPECT_FALSE(Ticked("patternMemory"));
}

TEST_F(BoardFormTest, PortListChangesTheBaseAddressWithoutLogging) {
    EXPECT_EQ(Find<QComboBox>("port")->currentText(), "0x0378");
    Choose("port", 2);
    EXPECT_EQ(link_->BaseAddress(), 0x278);
    Choose("port", 0);
    EXPECT_EQ(link_->BaseAddress(), 0x3bc);
    EXPECT_TRUE(log_.text.empty());
    EXPECT_EQ(board_->Cycles(), 0u);
}

TEST_F(BoardFormTest, SuggestRoundsUpToWholeCycles) {
    for (const auto& [perCycle, suggested] :
         {std::pair{"2.5", "5"}, std::pair{"16", "16"}, std::pair{"6.25", "25"}, std::pair{"0.75", "3"}}) {
        Type("samplesPerCycle", perCycle, false);
        Click("suggest");
        EXPECT_EQ(Text("numberOfSamples"), suggested) << perCycle;
    }
    // No cycles to count: nothing changes.
    for (const char* perCycle : {"0", "-2"}) {
        Type("numberOfSamples", "7", false);
        Type("samplesPerCycle", perCycle, false);
        Click("suggest");
        EXPECT_EQ(Text("numberOfSamples"), "7") << perCycle;
    }
    // A tiny value ends the search too, instead of holding the page.
    const auto start = std::chrono::steady_clock::now();
    Type("samplesPerCycle", "1e-300", false);
    Click("suggest");
    EXPECT_EQ(Text("numberOfSamples"), "1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(BoardFormTest, LoadPatternRefusesFewerSamplesThanOneCycleBeforeLogging) {
    Pattern("0.5", "0", "16", "8");
    Click("loadPattern");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "NumberOfSamplesPerCycle can't exceed NumberOfSamples");
    EXPECT_TRUE(log_.text.empty());
    EXPECT_EQ(board_->Cycles(), 0u);

    Pattern("0.5", "0", "16", "16");
    Click("loadPattern");
    EXPECT_EQ(prompt_.messages.size(), 1u); // success shows nothing
    EXPECT_EQ(SampleFromEnd(32), 0x4000u);  // DC 0.5: floor(0.5 x 32768 + 0.5)
    EXPECT_EQ(board_->FifoResets(), 1);
    EXPECT_TRUE(board_->Sending());
    EXPECT_EQ(doc_.pattern.numberOfSamples, 16.0);
}

TEST_F(BoardFormTest, AmplitudesAreClampedToFullScale) {
    Pattern("1.5", "-3", "4", "4");
    Click("loadPattern");
    EXPECT_EQ(doc_.pattern.iAmplitude, 1.0);
    EXPECT_EQ(doc_.pattern.qAmplitude, -1.0);
    EXPECT_EQ(Text("iAmplitude"), "1");
    EXPECT_EQ(Text("qAmplitude"), "-1");
    // -1.0 gives 0x8000; -3 unclamped would have given 0x8001.
    EXPECT_EQ(SampleFromEnd(2), 0x7fffu);
    EXPECT_EQ(SampleFromEnd(1), 0x8000u);
}

TEST_F(BoardFormTest, AmplitudeThatIsNoNumberIsRefused) {
    Pattern("x", "0", "4", "4");
    Click("loadPattern");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "Please enter a number.");
    EXPECT_TRUE(log_.text.empty());
}

// Cancel leaves board and page in agreement: the old pattern stops playing, DataClk is back on the
// user's source, the settings typed stay on the page, and the message says what the memory holds.
TEST_F(BoardFormTest, CancelledPatternLoadStopsSendingAndRestoresDataClk) {
    Pattern("0.5", "0", "16", "16");
    Click("loadPattern");
    ASSERT_TRUE(board_->Sending());
    Choose("dataClk", 2);
    prompt_.messages.clear();
    Pattern("0.25", "0", "16", "3000");
    prompt_.cancelAt = 101;
    Click("loadPattern");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "Cancelled: the pattern memory holds 101 of 6000 words");
    EXPECT_FALSE(board_->Sending());
    EXPECT_EQ(board_->BridgeRegister(9), 2);
    EXPECT_EQ(Find<QComboBox>("dataClk")->currentText(), "SysClk/2");
    EXPECT_EQ(Text("numberOfSamples"), "3000");
    EXPECT_EQ(doc_.pattern.numberOfSamples, 16.0);
    EXPECT_NE(log_.text.find("Cancelled: the pattern memory holds 101 of 6000 words"), std::string::npos);
    EXPECT_EQ(Find<QLabel>("patternState")->text(), "Cancelled: the pattern memory holds 101 of 6000 words");
}

class BoardFileTest : public BoardFormTest {
protected:
    void SetUp() override {
        BoardFormTest::SetUp();
        std::ofstream out(path_);
        for (int line = 1; line <= 7; ++line)
            out << "header\n";
        out << "0x1234 0x5678\n0x0001 0x0002\n";
        out.close();
        Edit("patternFile")->setText(QString::fromStdString(path_));
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::string path_ = "/tmp/boardform-" + std::to_string(getpid()) + ".pat";
};

TEST_F(BoardFileTest, LoadFileResetsTheFifoAndSends) {
    Click("loadFile");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "File DownLoad to External Memory Complete");
    EXPECT_EQ(SampleFromEnd(4), 0x1234u);
    EXPECT_EQ(SampleFromEnd(1), 0x0002u);
    EXPECT_EQ(board_->FifoResets(), 1);
    EXPECT_TRUE(board_->Sending());
}

TEST_F(BoardFileTest, LoadFileWithDataClkTristatedFailsInTheLoader) {
    Click("tristated");
    Click("loadFile");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], kDownloadFailed);
    EXPECT_EQ(SampleFromEnd(4), 0u);
    EXPECT_EQ(board_->FifoResets(), 0);
    EXPECT_FALSE(board_->Sending());
    EXPECT_EQ(board_->BridgeRegister(9), 3);
}

// Load File with a CSV, NumPy or WAV file: a preview first, the board written only once confirmed.
class BoardImportTest : public BoardFormTest {
protected:
    void SetUp() override {
        reviewImport_ = [this](ImportPreview preview) -> std::optional<ImportPreview> {
            reviewed_.push_back(preview.prepared->report);
            if (!confirm_)
                return std::nullopt;
            Rescale(preview, ImportScaling::FullScale);
            return preview;
        };
        BoardFormTest::SetUp();
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void Choose(const std::string& content) {
        std::ofstream(path_) << content;
        Edit("patternFile")->setText(QString::fromStdString(path_));
    }

    std::string path_ = "/tmp/boardform-" + std::to_string(getpid()) + ".csv";
    std::vector<ImportReport> reviewed_;
    bool confirm_ = true;
};

TEST_F(BoardImportTest, AConfirmedImportIsWrittenWithTheScalingChosenAndSent) {
    Choose("I,Q\n0.25,-0.5\n0.125,0\n");
    Click("loadFile");
    ASSERT_EQ(reviewed_.size(), 1u);
    EXPECT_EQ(reviewed_[0].pairs, 2u);
    EXPECT_EQ(reviewed_[0].scaling, ImportScaling::AsIs);
    // Full scale: -0.5 becomes -32767, 0.25 half of it (16383.5 rounded away from zero).
    EXPECT_EQ(SampleFromEnd(4), 16384u);
    EXPECT_EQ(SampleFromEnd(3), 0x8001u);
    EXPECT_EQ(SampleFromEnd(2), 8192u);
    EXPECT_EQ(SampleFromEnd(1), 0u);
    EXPECT_EQ(board_->FifoResets(), 1);
    EXPECT_TRUE(board_->Sending());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "File DownLoad to External Memory Complete");
    EXPECT_EQ(Text("patternFile").toStdString(), path_);
}

TEST_F(BoardImportTest, ACancelledPreviewWritesNothing) {
    confirm_ = false;
    Choose("0x1234\n");
    Click("loadFile");
    EXPECT_EQ(reviewed_.size(), 1u);
    EXPECT_EQ(SampleFromEnd(2), 0u);
    EXPECT_EQ(board_->PatternStart(), 0u);
    EXPECT_FALSE(board_->Sending());
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(Count("ImportPattern"), 0u);
}

// A page made without the preview (none of the program's windows) imports nothing, and says so.
TEST_F(BoardFileTest, WithoutAPreviewNothingIsImported) {
    const std::string csv = "/tmp/boardform-" + std::to_string(getpid()) + "-nopreview.csv";
    std::ofstream(csv) << "0.5\n";
    Edit("patternFile")->setText(QString::fromStdString(csv));
    Click("loadFile");
    std::remove(csv.c_str());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "This window has no import preview: the pattern memory is unchanged.");
    EXPECT_EQ(board_->PatternStart(), 0u);
}

TEST_F(BoardImportTest, ARefusedFileIsNamedAndNeverPreviewed) {
    Choose("0.5\nnan\n");
    Click("loadFile");
    EXPECT_TRUE(reviewed_.empty());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0],
              "Refused " + path_.substr(5) + ": it holds NaN at line 2\nThe pattern memory is unchanged.");
    EXPECT_EQ(Count("\tRefused "), 1u);
    EXPECT_EQ(board_->PatternStart(), 0u);
    EXPECT_FALSE(board_->Sending());
}

} // namespace
} // namespace tarsion::test
