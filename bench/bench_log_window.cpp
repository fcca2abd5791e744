#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "board/VirtualBoard.h"
#include "support/ScriptedPrompt.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tarsion {
namespace {

// A log line of 98 characters: 100 with its line break, so each trim frees room for 100 lines.
const std::string kLine = std::string("\tPoke 0a 12345678 ") + std::string(79, '.');

struct LogRig {
    LogRig() {
        host = std::make_unique<CDocumentHost>(std::make_unique<VirtualBoard>(), prompt);
        log = std::make_unique<CLogWindow>(host->Doc(), host->Ops());
        log->resize(550, 300);
        log->show();
    }
    void FillToCapacity() {
        QString line = QString::fromStdString(kLine);
        QStringList lines;
        for (int i = 0; i < CLogWindow::kCapacity / 100; ++i)
            lines.append(line);
        log->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        log->moveCursor(QTextCursor::End);
        // Showing the newest line, as a log that follows a script does.
        QScrollBar* bar = log->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
    test::ScriptedPrompt prompt;
    std::unique_ptr<CDocumentHost> host;
    std::unique_ptr<CLogWindow> log;
};

void BM_LogAppendEmpty(benchmark::State& state) {
    LogRig rig;
    int appended = 0;
    for (auto _ : state) {
        rig.host->Doc().LogLine(kLine, 0);
        // Keep the log small: start afresh every 100 lines.
        if (++appended == 100) {
            state.PauseTiming();
            rig.log->clear();
            appended = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_LogAppendEmpty);

// Trims included: every hundredth append drops the oldest 100 lines.
void BM_LogAppendAtCapacity(benchmark::State& state) {
    LogRig rig;
    rig.FillToCapacity();
    for (auto _ : state)
        rig.host->Doc().LogLine(kLine, 0);
    state.counters["chars"] = rig.log->LogLength();
}
BENCHMARK(BM_LogAppendAtCapacity);

// Only the appends that trigger a trim.
void BM_LogAppendTriggeringTrim(benchmark::State& state) {
    LogRig rig;
    rig.FillToCapacity();
    for (auto _ : state) {
        state.PauseTiming();
        while (rig.log->LogLength() + 100 <= CLogWindow::kCapacity)
            rig.host->Doc().LogLine(kLine, 0);
        state.ResumeTiming();
        rig.host->Doc().LogLine(kLine, 0);
    }
}
BENCHMARK(BM_LogAppendTriggeringTrim);

// One frame of a script's stream: the lines of range(0) Pokes logged while the log waits for its
// frame, then appended at once, as the frame pacer does; the log filled to capacity when range(1)
// is 1 (every frame then trims), else emptied every 100 frames.
void BM_LogFrameOfPokes(benchmark::State& state) {
    LogRig rig;
    const bool full = state.range(1) != 0;
    if (full)
        rig.FillToCapacity();
    int frames = 0;
    CTarsionDoc& doc = rig.host->Doc();
    const auto pokes = state.range(0);
    for (auto _ : state) {
        doc.HoldViews();
        for (std::int64_t i = 0; i < pokes; ++i) {
            doc.LogLine("Poke 0a 12345678 ", 0);
            doc.LogLine("Done", 1);
        }
        doc.ReleaseViews();
        rig.log->BringUpToDate();
        if (!full && ++frames == 100) {
            state.PauseTiming();
            rig.log->clear();
            frames = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * pokes);
}
BENCHMARK(BM_LogFrameOfPokes)->ArgsProduct({{10, 400}, {0, 1}})->Unit(benchmark::kMicrosecond);

// From the application object to the shown main window with the board read out.
void BM_StartUpToShownWindow(benchmark::State& state) {
    test::ScriptedPrompt prompt;
    for (auto _ : state) {
        StartUpServices services = StartUpServices::Standard();
        services.connectSessionBus = [] { return true; };
        services.bindPort = [](const BoardChoice&) { return BindPortIo("sim"); };
        services.prompt = &prompt;
        CTarsionApp app(std::move(services));
        const bool started = app.StartUp({QStringLiteral("tarsion")});
        benchmark::DoNotOptimize(started);
        if (!started || !app.MainWindow().isVisible())
            state.SkipWithError("start-up failed");
    }
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
