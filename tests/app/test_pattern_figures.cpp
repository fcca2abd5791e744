#include "SignalViewsFixture.h"
#include "app/ViewSettingsStore.h"
#include "registers/PageConversions.h"
#include "signal/FftwTransform.h"
#include "signal/PatternMerit.h"
#include "views/PatternMeritPanel.h"
#include "views/PatternView.h"
#include "views/SpectrumMarkers.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QValueAxis>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace tarsion {
namespace {

using test::SignalViewsTest;

constexpr std::size_t kPairs = 4096;
// Two tones between bins (so a window is needed), turning forwards on I + jQ.
constexpr double kTone1 = 0.1;
constexpr double kTone2 = 0.13;

void ExpectSameMerit(const PatternMerit& shown, const PatternMerit& expected, const char* what) {
    EXPECT_EQ(shown.window, expected.window) << what;
    ASSERT_EQ(shown.peaks.size(), expected.peaks.size()) << what;
    for (std::size_t k = 0; k < expected.peaks.size(); ++k) {
        EXPECT_DOUBLE_EQ(shown.peaks[k].frequency, expected.peaks[k].frequency) << what << " peak " << k;
        EXPECT_DOUBLE_EQ(shown.peaks[k].dbfs, expected.peaks[k].dbfs) << what << " peak " << k;
    }
    for (const auto& [name, field] :
         {std::pair{"sfdr", &PatternMerit::sfdrDb}, std::pair{"snr", &PatternMerit::snrDb},
          std::pair{"sinad", &PatternMerit::sinadDb}, std::pair{"thd", &PatternMerit::thdDb},
          std::pair{"enob", &PatternMerit::enob}}) {
        if (std::isnan(expected.*field))
            EXPECT_TRUE(std::isnan(shown.*field)) << what << " " << name;
        else
            EXPECT_DOUBLE_EQ(shown.*field, expected.*field) << what << " " << name;
    }
    EXPECT_EQ(shown.channelPowerDbfs, expected.channelPowerDbfs) << what;
    EXPECT_EQ(shown.aclrDb, expected.aclrDb) << what;
}

class PatternFiguresTest : public SignalViewsTest {
protected:
    CPatternView& View() { return Views().PatternView(); }
    void Redrawn() {
        Settle([&] { return View().RedrawPending(); });
    }
    void LoadTwoTones() {
        std::string text = "two tones\n\n\n\n\n\n\n";
        for (std::size_t n = 0; n < kPairs; ++n) {
            const double a = 2.0 * std::numbers::pi * kTone1 * static_cast<double>(n);
            const double b = 2.0 * std::numbers::pi * kTone2 * static_cast<double>(n);
            char line[64];
            std::snprintf(line, sizeof line, "%.9f %.9f\n", 0.5 * std::cos(a) + 0.25 * std::cos(b),
                          0.5 * std::sin(a) + 0.25 * std::sin(b));
            text += line;
        }
        test::WriteText(dir_.filePath(QStringLiteral("tones.pat")).toStdString(), text);
        ASSERT_TRUE(host_->Ops().LoadExternalMemory("tones.pat"));
    }
    // The pairs the board's memory holds: I and Q words of pair k at the top 2N words.
    std::vector<SamplePair> BoardPairs() const {
        const auto sample = [](std::uint32_t word) {
            return static_cast<std::int32_t>(static_cast<std::int16_t>(word & 0xFFFF));
        };
        std::vector<SamplePair> pairs(kPairs);
        const std::uint32_t base = 0x40000 - 2 * kPairs;
        for (std::uint32_t k = 0; k < kPairs; ++k)
            pairs[k] = {sample(board_->PatternWord(base + 2 * k)),
                        sample(board_->PatternWord(base + 2 * k + 1))};
        return pairs;
    }
    template <class Widget>
    Widget* Child(const char* name) {
        auto* child = View().findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Type(const char* edit, const QString& text) {
        QLineEdit* line = Child<QLineEdit>(edit);
        line->setText(text);
        QTest::keyClick(line, Qt::Key_Return);
    }
    QString Cell(int row, int column) { return View().Markers().Table().item(row, column)->text(); }
    FftwTransform fft_;
};

// The figures of I, Q and I + jQ are those of the pairs in the board's memory, with the options the
// user gives; the peak table names the tones in hertz with DataClk known, and the window.
TEST_F(PatternFiguresTest, FiguresOfTheMemoryAreItsNumerics) {
    Open("viewPatternMemory");
    LoadTwoTones();
    Redrawn();
    ASSERT_TRUE(View().ShownMerits());
    PatternMeritOptions options;
    PatternMeritSet expected = PatternMeritsOf(BoardPairs(), options, fft_);
    ExpectSameMerit(View().ShownMerits()->i, expected.i, "I");
    ExpectSameMerit(View().ShownMerits()->q, expected.q, "Q");
    ExpectSameMerit(View().ShownMerits()->iq, expected.iq, "I+jQ");
    ASSERT_GE(expected.iq.peaks.size(), 2u);
    EXPECT_NEAR(expected.iq.peaks[0].frequency, kTone1, 1.0 / kPairs);
    EXPECT_NEAR(expected.iq.peaks[1].frequency, kTone2, 1.0 / kPairs);

    const std::optional<double> dataClk = DataClkHz(host_->Doc().Shadow());
    ASSERT_TRUE(dataClk);
    const QString table = View().MeritPanel().FiguresText();
    EXPECT_TRUE(table.contains(QStringLiteral("Blackman-Harris 7-term")));
    EXPECT_EQ(RowOf(table, QStringLiteral("SFDR (dB)")),
              (QStringList{QStringLiteral("SFDR (dB)"), QString::number(expected.i.sfdrDb, 'f', 2),
                           QString::number(expected.q.sfdrDb, 'f', 2),
                           QString::number(expected.iq.sfdrDb, 'f', 2)}));
    EXPECT_EQ(RowOf(table, QStringLiteral("SNR (dB)")).value(3), QString::number(expected.iq.snrDb, 'f', 2));
    EXPECT_EQ(RowOf(table, QStringLiteral("ENOB (bits)")).value(2), QString::number(expected.q.enob, 'f', 2));
    EXPECT_FALSE(table.contains(QStringLiteral("ACLR")));
    const QString peaks = View().MeritPanel().PeaksText();
    EXPECT_EQ(RowOf(peaks, QStringLiteral("1")),
              (QStringList{QStringLiteral("1"), CompactFrequency(expected.i.peaks[0].frequency * *dataClk),
                           QString::number(expected.i.peaks[0].dbfs, 'f', 2)}));
    EXPECT_EQ(RowOf(peaks, QStringLiteral("2")).value(2), QString::number(expected.i.peaks[1].dbfs, 'f', 2));
    EXPECT_EQ(RowOf(peaks, QStringLiteral("10")).size(), 3);
    EXPECT_TRUE(View().Spectrum().chart->title().contains(QStringLiteral("Blackman-Harris 7-term")));

    // Peaks, a channel width and offsets; typed in hertz, the figures take them per sample.
    Child<QSpinBox>("figurePeaks")->setValue(3);
    Type("figureChannelWidth", QString::fromStdString(pageconv::FormatFrequency(0.05 * *dataClk)));
    Type("figureChannelOffsets", CompactFrequency(0.03 * *dataClk).remove(QLatin1Char(' ')) +
                                     QStringLiteral(", ") +
                                     CompactFrequency(-0.2 * *dataClk).remove(QLatin1Char(' ')));
    Redrawn();
    options.peaks = 3;
    options.channelWidth = View().MeritPanel().Options().channelWidth;
    ASSERT_TRUE(options.channelWidth);
    EXPECT_NEAR(*options.channelWidth, 0.05, 1e-9);
    options.channelOffsets = View().MeritPanel().Options().channelOffsets;
    ASSERT_EQ(options.channelOffsets.size(), 2u);
    EXPECT_NEAR(options.channelOffsets[1], -0.2, 1e-9);
    expected = PatternMeritsOf(BoardPairs(), options, fft_);
    ExpectSameMerit(View().ShownMerits()->iq, expected.iq, "I+jQ with a channel");
    EXPECT_EQ(View().ShownMerits()->i.peaks.size(), 3u);
    ASSERT_EQ(expected.iq.aclrDb.size(), 2u);
    const QString name = QStringLiteral("ACLR %1 (dB)").arg(CompactFrequency(-0.2 * *dataClk));
    EXPECT_EQ(RowOf(View().MeritPanel().FiguresText(), name).value(3),
              QString::number(expected.iq.aclrDb[1], 'f', 2));
    EXPECT_EQ(RowOf(View().MeritPanel().FiguresText(), QStringLiteral("Channel (dBFS)")).value(1),
              QString::number(*expected.i.channelPowerDbfs, 'f', 2));
    // A width beyond the sample rate is refused: the figures keep theirs.
    Type("figureChannelWidth", QString::fromStdString(pageconv::FormatFrequency(2 * *dataClk)));
    EXPECT_FALSE(View().MeritPanel().NoteText().isEmpty());
    EXPECT_NEAR(*View().MeritPanel().Options().channelWidth, 0.05, 1e-9);
}

// Read back with one word changed behind the program's back, the figures are the board's.
TEST_F(PatternFiguresTest, ReadBackFiguresFollowTheBoard) {
    Open("viewPatternMemory");
    LoadTwoTones();
    Redrawn();
    const PatternMeritSet written = *View().ShownMerits();
    // A spike on I in the middle, where the window does not hide it.
    board_->SetPatternWord(0x40000 - 2 * kPairs + kPairs, 0x7FFF);
    Child<QPushButton>("readFromBoard")->click();
    Redrawn();
    const PatternMeritSet expected = PatternMeritsOf(BoardPairs(), {}, fft_);
    ExpectSameMerit(View().ShownMerits()->i, expected.i, "I read back");
    // The spike lifts the floor under the two tones: the spurs of the peak table rise, Q stays.
    const PatternMerit& read = View().ShownMerits()->i;
    ASSERT_EQ(read.peaks.size(), written.i.peaks.size());
    ASSERT_GE(read.peaks.size(), 3u);
    for (std::size_t k = 0; k < read.peaks.size(); ++k)
        EXPECT_GT(read.peaks[2].dbfs, written.i.peaks[2].dbfs + 3.0);
    ExpectSameMerit(View().ShownMerits()->q, written.q, "Q read back");
}

// A click lands on the tone near it; Peak Search and Next Peak go from the highest down; a delta
// marker reads its distance from the marker; on I + jQ the markers read the two-sided spectrum.
TEST_F(PatternFiguresTest, MarkersClickPeakSearchAndDelta) {
    Open("viewPatternMemory");
    LoadTwoTones();
    Redrawn();
    CSpectrumMarkers& markers = View().Markers();
    const SpectrumTrace& trace = View().ShownTrace();
    ASSERT_FALSE(trace.Empty());
    EXPECT_EQ(Cell(0, 1), NoFigure());

    // A click a few pixels beside the second tone's peak.
    const ChartParts& spectrum = View().Spectrum();
    const double axisPerCycle = spectrum.x->max() / 0.5;
    const QPointF at = spectrum.chart->mapToPosition(QPointF((kTone2 + 1.0 / kPairs) * axisPerCycle, -100.0));
    const QPoint pixel = spectrum.view->mapFromScene(spectrum.chart->mapToScene(at));
    QTest::mouseClick(spectrum.view->viewport(), Qt::LeftButton, {}, pixel);
    ASSERT_TRUE(markers.Marker());
    const std::size_t tone2 = *markers.Marker();
    EXPECT_NEAR(trace.frequency[tone2], kTone2, 1.0 / kPairs);
    EXPECT_EQ(tone2, HighestNear(trace, tone2, 3));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("%1 dBFS").arg(trace.dbfs[tone2], 0, 'f', 2));

    Child<QPushButton>("peakSearch")->click();
    const std::size_t tone1 = *markers.Marker();
    EXPECT_EQ(tone1, *HighestPeak(trace));
    EXPECT_NEAR(trace.frequency[tone1], kTone1, 1.0 / kPairs);
    Child<QPushButton>("nextPeak")->click();
    EXPECT_EQ(*markers.Marker(), tone2);

    // Delta: starts on the marker; the searches then move it alone.
    Child<QPushButton>("deltaMarker")->click();
    ASSERT_TRUE(markers.DeltaMarker());
    EXPECT_EQ(*markers.DeltaMarker(), tone2);
    Child<QPushButton>("peakSearch")->click();
    EXPECT_EQ(*markers.Marker(), tone2);
    EXPECT_EQ(*markers.DeltaMarker(), tone1);
    const std::optional<double> dataClk = DataClkHz(host_->Doc().Shadow());
    const QString delta(QChar(0x0394));
    EXPECT_EQ(Cell(1, 1),
              delta + CompactFrequency((trace.frequency[tone1] - trace.frequency[tone2]) * *dataClk));
    EXPECT_EQ(Cell(1, 2),
              delta + QStringLiteral("%1 dB").arg(trace.dbfs[tone1] - trace.dbfs[tone2], 0, 'f', 2));
    // About 6 dB: the second tone has half the first's amplitude.
    EXPECT_NEAR(trace.dbfs[tone1] - trace.dbfs[tone2], 6.02, 1.0);

    // I + jQ: the markers stay at their frequencies on the two-sided trace.
    Child<QComboBox>("figureChannel")->setCurrentIndex(2);
    Redrawn();
    const SpectrumTrace& complex = View().ShownTrace();
    ASSERT_EQ(complex.dbfs.size(), kPairs);
    EXPECT_DOUBLE_EQ(complex.frequency[*markers.Marker()], trace.frequency[tone2]);
    EXPECT_DOUBLE_EQ(complex.frequency[*markers.DeltaMarker()], trace.frequency[tone1]);
    EXPECT_LT(spectrum.x->min(), 0.0);

    Child<QPushButton>("clearMarkers")->click();
    EXPECT_FALSE(markers.Marker());
    EXPECT_FALSE(markers.DeltaMarker());
    EXPECT_EQ(Cell(1, 2), NoFigure());
}

// The channel, peaks, width and offsets come back in the next run; nonsense stored gives defaults.
TEST_F(PatternFiguresTest, OptionsAreRemembered) {
    {
        CViewSettingsStore store(settings_);
        CPatternMeritPanel panel(store);
        panel.findChild<QComboBox*>(QStringLiteral("figureChannel"))->setCurrentIndex(2);
        panel.findChild<QSpinBox*>(QStringLiteral("figurePeaks"))->setValue(7);
        auto* width = panel.findChild<QLineEdit*>(QStringLiteral("figureChannelWidth"));
        width->setText(QStringLiteral("0.125"));
        QTest::keyClick(width, Qt::Key_Return);
        auto* offsets = panel.findChild<QLineEdit*>(QStringLiteral("figureChannelOffsets"));
        offsets->setText(QStringLiteral("0.25, -0.5"));
        QTest::keyClick(offsets, Qt::Key_Return);
    }
    ASSERT_TRUE(settings_.Sync());
    CAppSettings next;
    CViewSettingsStore store(next);
    const CPatternMeritPanel panel(store);
    EXPECT_EQ(panel.Channel(), PatternChannel::IQ);
    const PatternMeritOptions options = panel.Options();
    EXPECT_EQ(options.peaks, 7);
    EXPECT_EQ(options.channelWidth, 0.125);
    EXPECT_EQ(options.channelOffsets, (std::vector<double>{0.25, -0.5}));

    store.SetViewSetting(QStringLiteral("PatternPeaks"), QStringLiteral("100000"));
    store.SetViewSetting(QStringLiteral("PatternChannelWidth"), QStringLiteral("inf"));
    store.SetViewSetting(QStringLiteral("PatternChannelOffsets"), QStringLiteral("0.1 x"));
    store.SetViewSetting(QStringLiteral("PatternFigureChannel"), QStringLiteral("7"));
    const CPatternMeritPanel fresh(store);
    // A list longer than the edit takes (each offset a row of figures) is none either.
    store.SetViewSetting(QStringLiteral("PatternChannelOffsets"), QStringLiteral("0.01 ").repeated(100000));
    EXPECT_TRUE(CPatternMeritPanel(store).Options().channelOffsets.empty());
    EXPECT_EQ(fresh.Channel(), PatternChannel::I);
    EXPECT_EQ(fresh.Options().peaks, 10);
    EXPECT_FALSE(fresh.Options().channelWidth);
    EXPECT_TRUE(fresh.Options().channelOffsets.empty());
}

// Figures of a full memory cost tens of milliseconds: a hidden view takes none, a register write none.
TEST_F(PatternFiguresTest, FiguresAreComputedOnlyWhenShownAndChanged) {
    ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 2, 1.0, 0.5, 16, 131072));
    QCoreApplication::processEvents();
    EXPECT_EQ(View().MeritAnalyses(), 0);
    Open("viewPatternMemory");
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 1);
    ASSERT_TRUE(host_->Ops().Poke(0x11, 0x1));
    Redrawn();
    Child<QComboBox>("figureChannel")->setCurrentIndex(1);
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 1);
    Child<QSpinBox>("figurePeaks")->setValue(4);
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 2);
}

} // namespace
} // namespace tarsion

namespace tarsion {
namespace {

// The shortest patterns, odd and even: the views draw and the markers search without a fault.
TEST_F(PatternFiguresTest, ShortestPatternsDrawAndMarkersSearch) {
    Open("viewPatternMemory");
    for (const double pairs : {1.0, 2.0, 3.0}) {
        ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 2, 1.0, 0.5, 4, pairs));
        for (const int channel : {0, 2}) {
            Child<QComboBox>("figureChannel")->setCurrentIndex(channel);
            Redrawn();
            ASSERT_TRUE(View().ShownMerits()) << pairs;
            const SpectrumTrace& trace = View().ShownTrace();
            EXPECT_EQ(trace.dbfs.size(), channel == 2 ? static_cast<std::size_t>(pairs)
                                                      : static_cast<std::size_t>(pairs) / 2 + 1);
            Child<QPushButton>("peakSearch")->click();
            Child<QPushButton>("nextPeak")->click();
            ASSERT_TRUE(View().Markers().Marker());
            EXPECT_LT(*View().Markers().Marker(), trace.dbfs.size());
        }
    }
}

} // namespace
} // namespace tarsion
