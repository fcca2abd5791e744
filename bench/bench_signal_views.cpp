#include "app/AppSettings.h"
#include "app/DocumentHost.h"
#include "app/PatternImportDialog.h"
#include "app/ViewSettingsStore.h"
#include "board/VirtualBoard.h"
#include "coefficient/CoefficientTestFiles.h"
#include "support/ScriptedPrompt.h"
#include "views/FilterResponseView.h"
#include "views/PatternView.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
    CAppSettings settings;
    CViewSettingsStore viewSettings{settings};
};

std::unique_ptr<QWidget> ShownView(LoadedBoard& board, bool pattern) {
    std::unique_ptr<QWidget> view;
    if (pattern)
        view = std::make_unique<CPatternView>(board.host.Doc(), board.host.Ops(), board.viewSettings);
    else
        view = std::make_unique<CFilterResponseView>(board.host.Doc(), board.host.Ops(), board.viewSettings);
    view->resize(1280, 800);
    view->show();
    QApplication::processEvents();
    return view;
}

void RedrawAndPaint(QWidget& view) {
    if (auto* filter = qobject_cast<CFilterResponseView*>(&view))
        filter->Redraw();
    else
        qobject_cast<CPatternView*>(&view)->Redraw();
    view.repaint();
}

// One redraw of a view shown at 1280 x 800, painting included: each view draws the numbers it
// computed once for the load (BM_FilterResponse and BM_PatternViewPrepare time computing them).
void BM_SignalViewRedraw(benchmark::State& state) {
    LoadedBoard board;
    const std::unique_ptr<QWidget> view = ShownView(board, state.range(0) == 1);
    for (auto _ : state)
        RedrawAndPaint(*view);
}
// 0: filter response view, 1: pattern view.
BENCHMARK(BM_SignalViewRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The redraw after the memory changed: the responses or spectra and every figure of merit taken again
// (a full RAM of 256 taps; a full pattern memory of 131,072 pairs, I, Q and I + jQ), then painted.
void BM_SignalViewNewData(benchmark::State& state) {
    LoadedBoard board;
    const bool pattern = state.range(0) == 1;
    const std::unique_ptr<QWidget> view = ShownView(board, pattern);
    LoadedMemories& loaded = board.host.Doc().loaded;
    for (auto _ : state) {
        // The same contents as a new load: the generation moves on.
        if (pattern)
            loaded.SetPattern(*loaded.Pattern());
        else
            loaded.SetCoefficients(0, *loaded.Coefficients(0));
        RedrawAndPaint(*view);
    }
}
BENCHMARK(BM_SignalViewNewData)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The import preview of a whole memory (131,072 pairs of a two-tone CSV file) from reading the file
// to the painted dialog: what the user waits for between choosing Load File and seeing the preview.
void BM_ImportPreviewDialog(benchmark::State& state) {
    test::TempFolder folder;
    const std::string path = folder / "tones.csv";
    {
        std::ofstream out(path);
        char line[64];
        for (int k = 0; k < 131072; ++k) {
            const double angle = 2 * 3.14159265358979 * k / 131072.0;
            std::snprintf(line, sizeof line, "%.9f,%.9f\n", 0.5 * std::cos(1001 * angle),
                          0.5 * std::sin(3001 * angle));
            out << line;
        }
    }
    for (auto _ : state) {
        ImportPreview preview = PreviewImport("/", path, ImportScaling::AsIs);
        if (!preview.prepared) {
            state.SkipWithError(preview.refusal.c_str());
            break;
        }
        CPatternImportDialog dialog(std::move(preview), 20e6);
        dialog.resize(760, 560);
        dialog.show();
        QApplication::processEvents();
        dialog.repaint();
    }
}
BENCHMARK(BM_ImportPreviewDialog)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
