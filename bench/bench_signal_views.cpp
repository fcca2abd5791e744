#include "app/DocumentHost.h"
#include "board/VirtualBoard.h"
#include "coefficient/CoefficientTestFiles.h"
#include "support/ScriptedPrompt.h"
#include "views/FilterResponseView.h"
#include "views/PatternView.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace tarsion {
namespace {

// The document over a virtual board with a 256-tap filter in the I RAM and a full pattern memory;
// the loads run in a scratch folder (the bit listing goes to the current one).
struct LoadedBoard {
    LoadedBoard() {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.Path());
        host.Doc().startDirectory = folder.Path();
        test::WriteText(folder / "rrc.coe", test::CoefficientText(test::RootRaisedCosine(256, 16, 0.35)));
        host.Ops().LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 2, false, false);
        host.Ops().LoadExternalMem(1, 2, 1.0, 0.5, 16, 131072);
        std::filesystem::current_path(previous);
    }
    test::TempFolder folder;
    test::ScriptedPrompt prompt;
    CDocumentHost host{std::make_unique<VirtualBoard>(), prompt};
};

// One redraw of a view shown at 1280 x 800, painting included: each view draws the numbers it
// computed once for the load (BM_FilterResponse and BM_PatternViewPrepare time computing them).
void BM_SignalViewRedraw(benchmark::State& state) {
    LoadedBoard board;
    std::unique_ptr<QWidget> view;
    if (state.range(0) == 0)
        view = std::make_unique<CFilterResponseView>(board.host.Doc(), board.host.Ops());
    else
        view = std::make_unique<CPatternView>(board.host.Doc(), board.host.Ops());
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
