#include "AppTestSupport.h"
#include "app/AppSettings.h"
#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/signalviews/FilterResponseView.h"
#include "app/signalviews/PatternView.h"
#include "app/signalviews/PlotExport.h"
#include "app/signalviews/SignalViewMenu.h"
#include "coefficient/CoefficientTestFiles.h"
#include "support/FullFileSystem.h"
#include "support/ScriptedPrompt.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
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

// The main window over a virtual board, at the size of a small screen, with both views open.
class SignalViewsTest : public ::testing::Test {
protected:
    SignalViewsTest() : previous_(std::filesystem::current_path()) {
        test::ClearSettings();
        std::filesystem::current_path(dir_.path().toStdString());
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        host_ = std::make_unique<CDocumentHost>(std::move(board), prompt_);
        host_->Doc().startDirectory = dir_.path().toStdString();
        window_ = std::make_unique<CMainFrame>(host_->Doc(), host_->Ops(), prompt_, files_, settings_);
        window_->resize(1280, 800);
        window_->show();
    }
    ~SignalViewsTest() override { std::filesystem::current_path(previous_); }

    CSignalViewMenu& Views() { return window_->SignalViews(); }
    void Open(const char* action) { window_->Action(QString::fromLatin1(action)).trigger(); }
    void LoadFilter() {
        test::WriteText(dir_.filePath(QStringLiteral("rrc.coe")).toStdString(),
                        test::CoefficientText(test::RootRaisedCosine(96, 4, 0.35)));
        ASSERT_TRUE(host_->Ops().LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 0, false, false));
    }
    static void Settle(const std::function<bool()>& pending) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pending(); }, 2000));
    }

    std::filesystem::path previous_;
    QTemporaryDir dir_;
    test::ScriptedPrompt prompt_;
    test::ScriptedFileChooser files_;
    CAppSettings settings_;
    VirtualBoard* board_ = nullptr;
    std::unique_ptr<CDocumentHost> host_;
    std::unique_ptr<CMainFrame> window_;
};

TEST_F(SignalViewsTest, ViewMenuSitsBetweenEditAndDump) {
    QStringList titles;
    for (QAction* menu : window_->menuBar()->actions())
        titles.append(menu->text());
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "Dump", "Actions", "&Help"}));
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
    EXPECT_TRUE(view.FiguresText().contains(QStringLiteral("Rate 4, 96 taps")));
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
    EXPECT_EQ(rows.front(), "pair,i,q,bin,frequency_x_dataclk,i_dbfs,q_dbfs");
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
