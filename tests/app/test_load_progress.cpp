// Long loads on a board with the timing of a real port: a modal progress dialog after half a
// second, a window that keeps running, and a Cancel that stops the load after the word in hand. A
// long register wait shows the same dialog.

#include "app/DocumentHost.h"
#include "app/QtUserPrompt.h"
#include "board/PacedPort.h"
#include "board/VirtualBoard.h"
#include "ops/RegisterBatch.h"
#include "support/LogView.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace tarsion {
namespace {

constexpr std::uint32_t kTop = 0x40000;
constexpr std::uint32_t kUntouched = 0xABCDE;

class LoadProgressTest : public ::testing::Test {
protected:
    LoadProgressTest() {
        window_.menuBar()->addMenu(QStringLiteral("&File"));
        window_.addToolBar(QStringLiteral("Tools"))->addAction(QStringLiteral("Run"));
        window_.show();
        prompt_.SetWindow(&window_);
    }
    bool CommandsEnabled() {
        return window_.menuBar()->isEnabled() && window_.findChild<QToolBar*>()->isEnabled();
    }

    QMainWindow window_;
    CQtUserPrompt prompt_;
};

TEST_F(LoadProgressTest, AShortLoadShowsNoDialog) {
    CLoadProgress& progress = prompt_.Progress();
    for (std::size_t done = 1; done <= 1000; ++done)
        ASSERT_TRUE(progress.Report("Loading RAM", done, 1000));
    EXPECT_EQ(progress.Dialog(), nullptr);
    progress.End();
    EXPECT_TRUE(CommandsEnabled());
}

TEST_F(LoadProgressTest, ALongLoadShowsAModalDialogUntilItEnds) {
    CLoadProgress& progress = prompt_.Progress();
    // The status bar's operation field is told the task while the dialog shows.
    QStringList tasks;
    progress.SetTaskListener([&tasks](const QString& task) { tasks.append(task); });
    ASSERT_TRUE(progress.Report("Loading RAM", 1, 100));
    QTest::qWait(CLoadProgress::kShowAfterMs + 50);
    ASSERT_TRUE(progress.Report("Loading RAM", 40, 100));
    QProgressDialog* dialog = progress.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tarsion"));
    EXPECT_EQ(dialog->labelText(), QStringLiteral("Loading RAM"));
    EXPECT_EQ(dialog->value(), 40);
    EXPECT_EQ(dialog->maximum(), 100);
    EXPECT_FALSE(CommandsEnabled());
    EXPECT_EQ(tasks, QStringList{QStringLiteral("Loading RAM")});
    // Then a line under the task counts the progress and estimates the time left.
    QTest::qWait(CLoadProgress::kCountEveryMs + 20);
    ASSERT_TRUE(progress.Report("Loading RAM", 60, 100));
    EXPECT_TRUE(dialog->labelText().startsWith(QStringLiteral("Loading RAM\n60 of 100, about ")))
        << qPrintable(dialog->labelText());
    EXPECT_TRUE(dialog->labelText().endsWith(QStringLiteral(" s left"))) << qPrintable(dialog->labelText());

    progress.End();
    EXPECT_EQ(progress.Dialog(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(CommandsEnabled());
    EXPECT_EQ(tasks, (QStringList{QStringLiteral("Loading RAM"), QString()}));
    progress.SetTaskListener({});
}

TEST_F(LoadProgressTest, CancelStopsAPacedPatternLoadAfterTheWordInHand) {
    auto board = std::make_unique<VirtualBoard>();
    VirtualBoard& virtualBoard = *board;
    SystemSteadyClock clock;
    CDocumentHost host(std::make_unique<CPacedPort>(std::move(board), clock), prompt_);
    test::LogView log(host.Doc());
    // About 1.8 million port accesses: close to two seconds at the pace of a real port.
    constexpr std::size_t kPairs = 8192;
    constexpr std::uint32_t kStart = kTop - 2 * kPairs;
    for (std::uint32_t a = kStart; a < kTop; ++a)
        virtualBoard.SetPatternWord(a, kUntouched);

    bool shown = false;
    bool commandsWereEnabled = true;
    QTimer::singleShot(CLoadProgress::kShowAfterMs + 300, [&] {
        // Runs inside the load, from the events the progress report lets through.
        QProgressDialog* dialog = prompt_.Progress().Dialog();
        shown = dialog && dialog->isVisible() && QApplication::activeModalWidget() == dialog;
        commandsWereEnabled = CommandsEnabled();
        if (dialog)
            dialog->findChild<QPushButton*>()->click();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(host.Ops().LoadExternalMem(1, 1, 0.5, 0.5, 16, kPairs));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));

    EXPECT_TRUE(shown);
    EXPECT_FALSE(commandsWereEnabled);
    const std::string prefix = "\tCancelled after ";
    const std::size_t at = log.text.rfind(prefix);
    ASSERT_NE(at, std::string::npos) << log.text;
    const std::size_t written = std::stoul(log.text.substr(at + prefix.size()));
    EXPECT_EQ(log.text.substr(at), prefix + std::to_string(written) + " of 16384 words\r\n" +
                                       "\tSending stopped\r\n\tDataClk source restored to RefClk\r\n" +
                                       "\tCancelled: the pattern memory holds " + std::to_string(written) +
                                       " of 16384 words\r\n");
    ASSERT_GT(written, 0u);
    ASSERT_LT(written, 2 * kPairs);
    // Every word up to the cancel is whole, none after it was touched.
    EXPECT_NE(virtualBoard.PatternWord(kStart + static_cast<std::uint32_t>(written) - 1), kUntouched);
    EXPECT_EQ(virtualBoard.PatternWord(kStart + static_cast<std::uint32_t>(written)), kUntouched);
    EXPECT_EQ(prompt_.Progress().Dialog(), nullptr);
    EXPECT_TRUE(CommandsEnabled());

    // The next operation runs, and an uncancelled load goes to the end.
    EXPECT_TRUE(host.Ops().Poke(0x0A, 0x42));
    EXPECT_EQ(virtualBoard.ChipRegister(0x0A), 0x42u);
    EXPECT_TRUE(host.Ops().LoadExternalMem(1, 1, 0.5, 0.5, 16, 64));
    EXPECT_NE(virtualBoard.PatternWord(kTop - 1), kUntouched);
}

// The wait never matches: the dialog shows while the window runs on, and its Cancel ends the wait
// at once with false and the log line saying how long it waited.
TEST_F(LoadProgressTest, CancelEndsALongRegisterWaitWithFalse) {
    CDocumentHost host(std::make_unique<VirtualBoard>(), prompt_);
    test::LogView log(host.Doc());
    bool shown = false;
    QTimer::singleShot(CLoadProgress::kShowAfterMs + 300, [&] {
        QProgressDialog* dialog = prompt_.Progress().Dialog();
        shown = dialog && dialog->isVisible() && QApplication::activeModalWidget() == dialog &&
                dialog->labelText().startsWith(QStringLiteral("WaitForBits"));
        if (dialog)
            dialog->findChild<QPushButton*>()->click();
    });
    BatchOutcome failure;
    EXPECT_FALSE(CRegisterBatch(host.Ops())
                     .WaitForBits(
                         0x08, 0x4, 0x4, CRegisterBatch::kLongestWait, [] { QTest::qWait(1); }, failure));
    EXPECT_FALSE(failure);
    EXPECT_TRUE(shown);
    const std::string prefix = "\tCancelled after ";
    const std::size_t at = log.text.rfind(prefix);
    ASSERT_NE(at, std::string::npos) << log.text;
    const std::size_t waited = std::stoul(log.text.substr(at + prefix.size()));
    EXPECT_EQ(log.text.substr(at), prefix + std::to_string(waited) + " of 60000 ms\r\n");
    EXPECT_GE(waited, static_cast<std::size_t>(CLoadProgress::kShowAfterMs));
    EXPECT_LT(waited, 60000u);
    EXPECT_EQ(prompt_.Progress().Dialog(), nullptr);
    EXPECT_TRUE(CommandsEnabled());
}

} // namespace
} // namespace tarsion
