#include "app/signalviews/FilterResponseView.h"
#include "app/signalviews/PatternView.h"
#include "board/BoardLink.h"
#include "board/VirtualBoard.h"
#include "coefficient/CoefficientTestFiles.h"
#include "ops/BoardOperations.h"
#include "support/ScriptedPrompt.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace tarsion {
namespace {

// The operation layer over a virtual board with a 256-tap filter in the I RAM and a full pattern
// memory; the loads run in a scratch folder (the bit listing goes to the current one).
struct LoadedBoard {
    LoadedBoard() {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.Path());
        doc.startDirectory = folder.Path();
        link = std::make_unique<CBoardLink>(doc.Shadow(), doc, std::make_unique<VirtualBoard>(), clock);
        ops = std::make_unique<CBoardOperations>(*link, doc, prompt);
        test::WriteText(folder / "rrc.coe", test::CoefficientText(test::RootRaisedCosine(256, 16, 0.35)));
        ops->LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 2, false, false);
        ops->LoadExternalMem(1, 2, 1.0, 0.5, 16, 131072);
        std::filesystem::current_path(previous);
    }
    test::TempFolder folder;
    SystemSteadyClock clock;
    CTarsionDoc doc;
    test::ScriptedPrompt prompt;
    std::unique_ptr<CBoardLink> link;
    std::unique_ptr<CBoardOperations> ops;
};

// One redraw of a view shown at 1280 x 800, painting included: the filter view recomputes its
// 2048-point responses, the pattern view decimates and draws the full memory it analysed once.
void BM_SignalViewRedraw(benchmark::State& state) {
    LoadedBoard board;
    std::unique_ptr<QWidget> view;
    if (state.range(0) == 0)
        view = std::make_unique<CFilterResponseView>(board.doc, *board.ops);
    else
        view = std::make_unique<CPatternView>(board.doc);
    view->resize(1280, 800);
    view->show();
    QApplication::processEvents();
    for (auto _ : state) {
        if (auto* filter = qobject_cast<CFilterResponseView*>(view.get()))
            filter->Redraw();
        else
            qobject_cast<CPatternView*>(view.get())->Redraw();
        view->repaint();
    }
}
// 0: filter response view, 1: pattern view.
BENCHMARK(BM_SignalViewRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
