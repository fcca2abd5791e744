#include "SignalViewsFixture.h"
#include "app/LogWindow.h"
#include "coefficient/CoefficientTestFiles.h"
#include "support/FullFileSystem.h"
#include "views/ChartParts.h"
#include "views/ConstellationChart.h"
#include "views/FilterResponseView.h"
#include "views/PatternView.h"
#include "views/PlotExport.h"
#include "views/SignalViewMenu.h"

#include <QAction>
#include <QChartView>
#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion {
namespace {

// Pixels of a colour, give or take what antialiasing does to it.
int PixelsNear(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) <
                30)
                ++count;
        }
    }
    return count;
}

const QColor kBlue(0x1f, 0x77, 0xb4);
using test::SignalViewsTest;

TEST_F(SignalViewsTest, ViewMenuSitsBetweenEditAndDump) {
    QStringList titles;
    for (QAction* menu : window_->menuBar()->actions())
        titles.append(menu->text());
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Dump", "&Actions", "&Help"}));
    EXPECT_FALSE(Views().FilterDock().isVisible());
    Open("viewFilterResponse");
    EXPECT_TRUE(Views().FilterDock().isVisible());
}

TEST_F(SignalViewsTest, FilterViewDrawsAfterTheLoadNotInsideIt) {
    Open("viewFilterResponse");
    CFilterResponseView& view = Views().FilterView();
    Settle([&] { return view.RedrawPending(); });
    LoadFilter();
    // The load only marked the view stale; the drawing waits for the event loop.
    EXPECT_TRUE(view.RedrawPending());
    Settle([&] { return view.RedrawPending(); });
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("Rate 4, a table of 96 taps (24 a phase")));
    const QImage picture = view.Plots().grab().toImage();
    EXPECT_GT(PixelsNear(picture, kBlue), 300);
    const QString csv = view.CsvText();
    EXPECT_TRUE(csv.startsWith(QStringLiteral("frequency_x_symbol_rate,")));
    EXPECT_EQ(csv.count(QLatin1Char('\n')), 1 + CFilterResponseView::kResponsePoints);
}

TEST_F(SignalViewsTest, VerifyFromTheMenuReportsInTheLogAndTheView) {
    Open("viewFilterResponse");
    LoadFilter();
    Open("verifyICoefficientRam");
    window_->LogWindow().BringUpToDate();
    EXPECT_TRUE(window_->LogWindow().toPlainText().contains(QStringLiteral("all 256 words match")));
    Settle([&] { return Views().FilterView().RedrawPending(); });
    EXPECT_TRUE(Views().FilterView().FiguresText().contains(QStringLiteral("all 256 words match")));

    board_->InjectDataLineFault(5, VirtualBoard::DataLineFault::Inverted);
    Open("verifyICoefficientRam");
    Settle([&] { return Views().FilterView().RedrawPending(); });
    // An inverted line corrupts every byte read: all 256 words differ.
    EXPECT_TRUE(Views().FilterView().FiguresText().contains(QStringLiteral("256 of 256 words differ")));
    window_->LogWindow().BringUpToDate();
    EXPECT_TRUE(window_->LogWindow().toPlainText().contains(QStringLiteral("Address 00 : expected")));
}

// The read-back curve is what the board holds: a word changed behind the program's back moves it
// and not the curve of what was written. After a restart the view says so and reads only on request.
TEST_F(SignalViewsTest, ReadFromBoardPlotsWhatTheRamHolds) {
    Open("viewFilterResponse");
    CFilterResponseView& view = Views().FilterView();
    LoadFilter();
    // Bit 0 of each of the four 18-bit fields of a word that holds taps.
    std::uint8_t address = 0;
    while (board_->CoefficientRam(0, address) == CoefficientWord{})
        ++address;
    CoefficientWord word = board_->CoefficientRam(0, address);
    for (const int bit : {0, 18, 36, 54})
        word[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    board_->SetCoefficientRam(0, address, word);
    view.findChild<QPushButton*>(QStringLiteral("readFromBoard"))->click();
    Settle([&] { return view.RedrawPending(); });
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("Read from the board at")));
    // loaded_tap and read_tap: one tap differs, the others agree.
    const QStringList rows = view.CsvText().split(QLatin1Char('\n'));
    ASSERT_TRUE(rows.front().contains(QStringLiteral("read_db,read_tap")));
    int differing = 0;
    for (int row = 1; row <= 96; ++row) {
        const QStringList cells = rows[row].split(QLatin1Char(','));
        ASSERT_GE(cells.size(), 8);
        differing += cells[4] != cells[7] ? 1 : 0;
    }
    EXPECT_GE(differing, 1);
    EXPECT_LE(differing, 8); // four fields, each at most a tap and its mirror

    // A restart: nothing known, nothing read until asked.
    const std::uint64_t cycles = board_->Cycles();
    host_->Doc().loaded = LoadedMemories{};
    host_->Doc().UpdateAllViews();
    Settle([&] { return view.RedrawPending(); });
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("Read from Board shows it")));
    EXPECT_EQ(board_->Cycles(), cycles);
}

// The constellation read-back is plotted beside what was written: an entry changed on the board
// is a read point with no written point under it.
TEST_F(SignalViewsTest, ConstellationReadBackShowsAChangedEntryAsAPointApart) {
    Open("viewFilterResponse");
    CFilterResponseView& view = Views().FilterView();
    LoadFilter();
    test::WriteText(dir_.filePath(QStringLiteral("qpsk.hex")).toStdString(), "0033\n013d\n02d3\n03dd\n");
    ASSERT_TRUE(host_->Ops().LoadConstellationRam("qpsk.hex"));
    Settle([&] { return view.RedrawPending(); });
    const CConstellationChart& chart = view.ConstellationChart();
    const QList<QPointF> written = {{3, 3}, {3, -3}, {-3, 3}, {-3, -3}, {0, 0}};
    for (const QPointF& point : written)
        EXPECT_TRUE(chart.WrittenPoints().contains(point)) << point.x() << "," << point.y();
    EXPECT_EQ(chart.WrittenPoints().size(), written.size());
    EXPECT_TRUE(chart.ReadPoints().isEmpty());

    board_->SetConstellationRam(2, 0x72);
    view.findChild<QPushButton*>(QStringLiteral("readFromBoard"))->click();
    Settle([&] { return view.RedrawPending(); });
    const QList<QPointF> read = chart.ReadPoints();
    EXPECT_TRUE(read.contains(QPointF(7, 2)));
    EXPECT_FALSE(read.contains(QPointF(-3, 3)));
    EXPECT_FALSE(chart.WrittenPoints().contains(QPointF(7, 2)));
    EXPECT_EQ(chart.WrittenPoints().size(), written.size());
    EXPECT_TRUE(chart.ReadName().startsWith(QStringLiteral("Read from board ")));
    EXPECT_GT(chart.ReadName().size(), QStringLiteral("Read from board ").size());
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("1 differ from what was written")));

    // A bad file is refused before its first write: the RAM still holds what was written.
    test::WriteText(dir_.filePath(QStringLiteral("bad.hex")).toStdString(), "0011\nnonsense\n");
    EXPECT_FALSE(host_->Ops().LoadConstellationRam("bad.hex"));
    Settle([&] { return view.RedrawPending(); });
    EXPECT_EQ(chart.WrittenPoints().size(), written.size());
}

TEST_F(SignalViewsTest, TimeAndTapAxesTickAtWholeSamples) {
    Open("viewPatternMemory");
    CPatternView& view = Views().PatternView();
    ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 0, 1.0, 0.0, 6, 6));
    Settle([&] { return view.RedrawPending(); });
    auto* axis =
        qobject_cast<QValueAxis*>(view.findChild<QChartView*>()->chart()->axes(Qt::Horizontal).first());
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic);
    EXPECT_EQ(axis->tickInterval(), 1.0);
    EXPECT_EQ(axis->labelFormat(), QStringLiteral("%.0f"));
}

TEST(SvgClip, LinesStayInsideTheAxes) {
    const QRectF range(QPointF(0, -1), QPointF(10, 1));
    struct Row {
        const char* name;
        QList<QPointF> in;
        QList<QPointF> out;
    } rows[] = {
        {"inside", {{1, 0}, {2, 0.5}}, {{1, 0}, {2, 0.5}}},
        {"enters at the left", {{-2, 0}, {2, 0.4}}, {{0, 0.2}, {2, 0.4}}},
        {"crosses both edges", {{-5, 0}, {15, 0}}, {{0, 0}, {10, 0}}},
        {"crosses both edges backwards", {{15, 0}, {-5, 0}}, {{10, 0}, {0, 0}}},
        {"below the floor", {{1, -5}, {3, -0.5}}, {{1, -1}, {3, -0.5}}},
        {"wholly outside", {{11, 0}, {12, 0}}, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ClipToRange(row.in, range), row.out) << row.name;
}

TEST(RoundTicks, IntervalAndDecimalsFollowTheSpan) {
    struct Row {
        double span;
        bool integers;
        double interval;
        int decimals;
    } rows[] = {{5, true, 1, 0},        {5, false, 1, 0}, {0.5, false, 0.1, 1}, {0.03, false, 0.005, 3},
                {1.2e6, false, 2e5, 0}, {3, true, 1, 0},  {0.4, true, 1, 0},    {130000, true, 50000, 0}};
    for (const Row& row : rows) {
        EXPECT_DOUBLE_EQ(RoundTickInterval(row.span, row.integers), row.interval) << row.span;
        EXPECT_EQ(TickDecimals(RoundTickInterval(row.span, row.integers)), row.decimals) << row.span;
    }
}

TEST_F(SignalViewsTest, PatternViewDrawsAFullMemoryAtMostTwoPointsPerColumn) {
    Open("viewPatternMemory");
    CPatternView& view = Views().PatternView();
    ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 2, 1.0, 0.5, 16, 131072));
    Settle([&] { return view.RedrawPending(); });
    EXPECT_EQ(view.CountShown(), 131072u);
    EXPECT_GT(view.TimePointCount(), 0);
    EXPECT_LE(view.TimePointCount(), 2 * view.Plots().width());
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("131072 sample pairs")));
    EXPECT_GT(PixelsNear(view.Plots().grab().toImage(), kBlue), 300);

    // Zoomed in far enough, every sample is a point of its own.
    view.ShowSamples(1000, 50);
    EXPECT_EQ(view.FirstShown(), 1000u);
    EXPECT_EQ(view.TimePointCount(), 50);
    view.ShowSamples(131060, 50);
    EXPECT_EQ(view.FirstShown(), 131072u - 50u);
}

TEST_F(SignalViewsTest, ExportsWritePicturesAndData) {
    Open("viewPatternMemory");
    CPatternView& view = Views().PatternView();
    ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 0, 1.0, 0.0, 16, 64));
    Settle([&] { return view.RedrawPending(); });
    const QString png = dir_.filePath(QStringLiteral("p.png"));
    const QString svg = dir_.filePath(QStringLiteral("p.svg"));
    const QString csv = dir_.filePath(QStringLiteral("p.csv"));
    ASSERT_TRUE(ExportPng(view.Plots(), png));
    ASSERT_TRUE(ExportSvg(view.Plots(), svg, QStringLiteral("Pattern")));
    ASSERT_TRUE(ExportText(csv, view.CsvText()));
    EXPECT_FALSE(QImage(png).isNull());
    QFile svgFile(svg);
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svgFile.readAll().contains("<svg"));
    QFile csvFile(csv);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csvFile.readAll().split('\n');
    // DataClk is known on the virtual board: the frequencies in hertz come last.
    EXPECT_EQ(rows.front(), "pair,i,q,bin,frequency_x_dataclk,i_dbfs,q_dbfs,frequency_hz");
    EXPECT_TRUE(rows[1].startsWith("0,0,0,0,0,")); // sin 0 and Q silent
    // A folder that doesn't exist gets no file and a false result.
    EXPECT_FALSE(ExportText(dir_.filePath(QStringLiteral("missing/p.csv")), QStringLiteral("x")));
}

// Each export onto an existing file either replaces it whole or fails, leaving the old file as it
// was: on a full disk, and over a FIFO (which would block the window) that stays a FIFO.
TEST_F(SignalViewsTest, FailedExportsSayFalseAndKeepTheOldFile) {
    Open("viewPatternMemory");
    CPatternView& view = Views().PatternView();
    ASSERT_TRUE(host_->Ops().LoadExternalMem(1, 0, 1.0, 0.0, 16, 64));
    Settle([&] { return view.RedrawPending(); });
    const std::function<bool(const QString&)> exports[] = {
        [&](const QString& path) { return ExportPng(view.Plots(), path); },
        [&](const QString& path) { return ExportSvg(view.Plots(), path, QStringLiteral("Pattern")); },
        [&](const QString& path) { return ExportText(path, view.CsvText()); },
    };
    const QString fifo = dir_.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ::alarm(60);
    for (const auto& run : exports)
        EXPECT_FALSE(run(fifo));
    ::alarm(0);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.toStdString()));

    test::FullFileSystem disk;
    TARSION_SKIP_UNLESS_MOUNTED(disk);
    const QString old = QString::fromStdString(disk.Path("old").string());
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept\n");
    file.close();
    disk.Fill();
    for (const auto& run : exports) {
        EXPECT_FALSE(run(old));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("kept\n"));
        file.close();
    }
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.Path("")), {}), 2);
}

} // namespace
} // namespace tarsion
