#include "SignalViewsFixture.h"
#include "app/ViewSettingsStore.h"
#include "signal/FftwTransform.h"
#include "signal/FilterMerit.h"
#include "views/FilterMeritPanel.h"
#include "views/FilterResponseView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <cmath>

namespace tarsion {
namespace {

using test::SignalViewsTest;

// Field by field; NaN (a figure without a value) equals NaN.
void ExpectSameMerit(const FilterMerit& shown, const FilterMerit& expected, const char* what) {
    const std::pair<const char*, double FilterMerit::*> fields[] = {
        {"dcGainDb", &FilterMerit::dcGainDb},
        {"rippleDb", &FilterMerit::rippleDb},
        {"stopbandDb", &FilterMerit::stopbandDb},
        {"f3db", &FilterMerit::f3db},
        {"f6db", &FilterMerit::f6db},
        {"groupDelay", &FilterMerit::groupDelay},
        {"groupDelayVariation", &FilterMerit::groupDelayVariation},
        {"isiEvmPercent", &FilterMerit::isiEvmPercent},
        {"isiEvmDb", &FilterMerit::isiEvmDb}};
    for (const auto& [name, field] : fields) {
        const double a = shown.*field;
        const double b = expected.*field;
        if (std::isnan(b))
            EXPECT_TRUE(std::isnan(a)) << what << " " << name;
        else
            EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::abs(b))) << what << " " << name;
    }
}

class FilterFiguresTest : public SignalViewsTest {
protected:
    CFilterResponseView& View() { return Views().FilterView(); }
    void Redrawn() {
        Settle([&] { return View().RedrawPending(); });
    }
    // What the I RAM of the board holds now.
    CoefficientRamImage BoardWords() const {
        CoefficientRamImage words{};
        for (int address = 0; address < kCoefficientWords; ++address)
            words[static_cast<std::size_t>(address)] =
                board_->CoefficientRam(0, static_cast<std::uint8_t>(address));
        return words;
    }
    FilterMerit MeritOf(const CoefficientRamImage& words, double rolloff = 0.35) {
        return FilterMeritOf(words, FilterGeometry::For(0, false), BandEdgesFor(rolloff, 4), fft_);
    }
    // The file's taps times the gain the load used.
    FilterMerit FileMerit(double rolloff = 0.35) {
        std::vector<double> taps = test::RootRaisedCosine(96, 4, 0.35);
        const double gain = host_->Doc().loaded.Coefficients(0)->gain;
        for (double& tap : taps)
            tap *= gain;
        return FilterMeritOf(taps, 4, BandEdgesFor(rolloff, 4), fft_);
    }
    void Type(const char* edit, const QString& text) {
        auto* line = View().findChild<QLineEdit*>(QString::fromLatin1(edit));
        ASSERT_NE(line, nullptr) << edit;
        line->setText(text);
        QTest::keyClick(line, Qt::Key_Return);
    }
    QString Text(const char* edit) { return View().findChild<QLineEdit*>(QString::fromLatin1(edit))->text(); }
    void ReadFromBoard() {
        View().findChild<QPushButton*>(QStringLiteral("readFromBoard"))->click();
        Redrawn();
    }
    FftwTransform fft_;
};

// The table holds the figures of the RAM as written, of the file's taps and of the RAM as the board
// gives it back; a word changed behind the program's back moves only the last.
TEST_F(FilterFiguresTest, FiguresOfWrittenFileAndReadBackTapsAreTheirNumerics) {
    Open("viewFilterResponse");
    LoadFilter();
    Redrawn();
    const CFilterResponseView::Merits& shown = View().ShownMerits();
    ASSERT_TRUE(shown.written && shown.file);
    EXPECT_FALSE(shown.read);
    const FilterMerit written = MeritOf(BoardWords());
    ExpectSameMerit(*shown.written, written, "written");
    ExpectSameMerit(*shown.file, FileMerit(), "file");
    // Rounding to 18-bit fields costs something, and the table shows both side by side.
    EXPECT_NE(shown.written->stopbandDb, shown.file->stopbandDb);
    const QString table = View().MeritPanel().FiguresText();
    EXPECT_TRUE(table.contains(QStringLiteral("\tAs written\t")));
    EXPECT_TRUE(table.contains(QStringLiteral("\tFile taps")));
    EXPECT_FALSE(table.contains(QStringLiteral("Read back")));
    EXPECT_EQ(RowOf(table, QStringLiteral("Stop band (dB)")),
              (QStringList{QStringLiteral("Stop band (dB)"), QString::number(-written.stopbandDb, 'f', 2),
                           QString::number(-shown.file->stopbandDb, 'f', 2)}));
    EXPECT_EQ(RowOf(table, QStringLiteral("ISI EVM (%)")).value(1),
              QString::number(written.isiEvmPercent, 'f', 4));
    EXPECT_EQ(RowOf(table, QStringLiteral("GD variation")).value(2),
              QString::number(shown.file->groupDelayVariation, 'f', 3));

    // Copy puts the selected cells on the clipboard, as the text shows them.
    auto* cells = View().findChild<QTableWidget*>(QStringLiteral("filterMeritTable"));
    cells->selectAll();
    QTest::keySequence(cells, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), table.section(QLatin1Char('\n'), 1, 9));

    ReadFromBoard();
    ASSERT_TRUE(View().ShownMerits().read);
    ExpectSameMerit(*View().ShownMerits().read, written, "read, unchanged");

    // One tap's field of a word that holds taps, changed on the board alone.
    std::uint8_t address = 1;
    CoefficientWord word = board_->CoefficientRam(0, address);
    ASSERT_NE(word, CoefficientWord{});
    word[2] ^= 0x02; // bit 17 of field 1: its sign
    board_->SetCoefficientRam(0, address, word);
    ReadFromBoard();
    const CFilterResponseView::Merits& after = View().ShownMerits();
    ASSERT_TRUE(after.read && after.written);
    const FilterMerit changed = MeritOf(BoardWords());
    ExpectSameMerit(*after.read, changed, "read, changed");
    ExpectSameMerit(*after.written, written, "written, after the change");
    EXPECT_GT(std::abs(after.read->dcGainDb - written.dcGainDb), 1e-3);
    EXPECT_GT(std::abs(after.read->isiEvmPercent - written.isiEvmPercent), 1e-3);
    const QString both = View().MeritPanel().FiguresText();
    EXPECT_TRUE(both.contains(QStringLiteral("\tRead back")));
    EXPECT_EQ(RowOf(both, QStringLiteral("DC gain (dB)")),
              (QStringList{QStringLiteral("DC gain (dB)"), QString::number(written.dcGainDb, 'f', 4),
                           QString::number(after.file->dcGainDb, 'f', 4),
                           QString::number(changed.dcGainDb, 'f', 4)}));
}

// The band follows the roll-off until an edge is typed; edges typed in hertz once a symbol rate is
// known; what makes no band is refused; and all of it comes back in the next run.
TEST_F(FilterFiguresTest, BandEdgesFollowTheRolloffAndAreRemembered) {
    Open("viewFilterResponse");
    LoadFilter();
    Redrawn();
    Type("figureRolloff", QStringLiteral("0.25"));
    Redrawn();
    ExpectSameMerit(*View().ShownMerits().written, MeritOf(BoardWords(), 0.25), "roll-off 0.25");
    ExpectSameMerit(*View().ShownMerits().file, FileMerit(0.25), "file, roll-off 0.25");
    EXPECT_EQ(Text("figurePassbandEdge"), QStringLiteral("0.375"));
    EXPECT_EQ(Text("figureStopbandEdge"), QStringLiteral("0.625"));

    // With a symbol rate the edges read in hertz; one typed edge leaves the other to the roll-off.
    Type("figureSymbolRate", QStringLiteral("2M"));
    EXPECT_EQ(Text("figureStopbandEdge"), QStringLiteral("1.250000MHz"));
    Type("figureStopbandEdge", QStringLiteral("1.5M"));
    Redrawn();
    const FilterBandEdges edges = View().MeritPanel().Edges(4);
    EXPECT_DOUBLE_EQ(edges.stopband, 0.75 / 4);
    EXPECT_DOUBLE_EQ(edges.passband, 0.375 / 4);
    ExpectSameMerit(*View().ShownMerits().written,
                    FilterMeritOf(BoardWords(), FilterGeometry::For(0, false), edges, fft_), "typed edge");
    EXPECT_TRUE(View().MeritPanel().FiguresText().contains(QStringLiteral("below DC from 1.5 MHz.")));
    // Frequencies in the unit of the row's name: 2 MHz a symbol, 4 samples a symbol.
    EXPECT_EQ(RowOf(View().MeritPanel().FiguresText(), QStringLiteral("-3 dB (MHz)")).value(1),
              QString::number(View().ShownMerits().written->f3db * 4 * 2.0, 'g', 7));

    // A stop band edge below the pass band's is refused, and said why.
    Type("figureStopbandEdge", QStringLiteral("500k"));
    EXPECT_EQ(Text("figureStopbandEdge"), QStringLiteral("1.500000MHz"));
    EXPECT_TRUE(View().MeritPanel().NoteText().contains(QStringLiteral("below the stop band edge")));
    Type("figureRolloff", QStringLiteral("1.5"));
    EXPECT_EQ(Text("figureRolloff"), QStringLiteral("0.25"));

    // The next run: a new window on the settings saved at exit.
    window_.reset();
    ASSERT_TRUE(settings_.Sync());
    CAppSettings next;
    CViewSettingsStore store(next);
    CFilterMeritPanel panel(store);
    EXPECT_EQ(panel.Rolloff(), 0.25);
    EXPECT_EQ(panel.SymbolRateHz(), 2e6);
    EXPECT_DOUBLE_EQ(panel.Edges(4).stopband, 0.75 / 4);
    EXPECT_DOUBLE_EQ(panel.Edges(4).passband, 0.375 / 4);
    // "Edges from Roll-off" forgets the typed edge, for this run and the next.
    panel.findChild<QPushButton*>(QStringLiteral("figureEdgesFromRolloff"))->click();
    EXPECT_DOUBLE_EQ(panel.Edges(4).stopband, 0.625 / 4);
    EXPECT_DOUBLE_EQ(CFilterMeritPanel(store).Edges(4).stopband, 0.625 / 4);
}

// Settings that make no sense (a hand-edited file) give the defaults, not a band that isn't one.
TEST_F(FilterFiguresTest, NonsenseInTheSettingsGivesTheDefaults) {
    CViewSettingsStore store(settings_);
    store.SetViewSetting(QStringLiteral("FilterRolloff"), QStringLiteral("nan"));
    store.SetViewSetting(QStringLiteral("FilterSymbolRate"), QStringLiteral("-5"));
    store.SetViewSetting(QStringLiteral("FilterPassbandEdge"), QStringLiteral("0.9"));
    store.SetViewSetting(QStringLiteral("FilterStopbandEdge"), QStringLiteral("0.2"));
    CFilterMeritPanel panel(store);
    EXPECT_EQ(panel.Rolloff(), kDefaultRolloff);
    EXPECT_FALSE(panel.SymbolRateHz());
    const FilterBandEdges expected = BandEdgesFor(kDefaultRolloff, 8);
    EXPECT_DOUBLE_EQ(panel.Edges(8).passband, expected.passband);
    EXPECT_DOUBLE_EQ(panel.Edges(8).stopband, expected.stopband);
}

// The figures are computed for a shown view whose data or band changed, never for a hidden one nor
// for a register write.
TEST_F(FilterFiguresTest, FiguresAreComputedOnlyWhenShownAndChanged) {
    LoadFilter();
    QCoreApplication::processEvents();
    EXPECT_EQ(View().MeritAnalyses(), 0);
    Open("viewFilterResponse");
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 1);
    ASSERT_TRUE(host_->Ops().Poke(0x11, 0x12345));
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 1);
    Type("figureRolloff", QStringLiteral("0.5"));
    Redrawn();
    EXPECT_EQ(View().MeritAnalyses(), 2);
}

} // namespace
} // namespace tarsion
