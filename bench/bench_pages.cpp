#include "BenchStack.h"
#include "pages/PageFactory.h"
#include "pages/RegisterPage.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace tarsion {
namespace {

// Register words that set every field of the pages, and their complement.
constexpr std::uint32_t kPattern = 0xa5c3f00f;

// A page over the virtual board; the shadow notifies nobody, so each refresh is the page's own.
struct PageRig {
    explicit PageRig(int index) {
        page.reset(
            qobject_cast<CRegisterPage*>(CreateRegisterPage(index, PageContext{doc, stack.Ops()}, nullptr)));
        page->resize(550, 300);
        page->show();
        doc.Shadow().SetChangeHandler({});
    }
    void Store(std::uint32_t word) {
        for (std::uint8_t reg = 0; reg <= 0x11; ++reg)
            doc.Shadow().StoreChipReg(reg, word);
    }
    BenchStack stack;
    CTarsionDoc& doc = stack.Doc();
    std::unique_ptr<CRegisterPage> page;
};

// Every control rewritten: the shadow alternates between two patterns on each refresh.
void BM_PageRefresh(benchmark::State& state) {
    PageRig rig(static_cast<int>(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        rig.Store(flip ? ~kPattern : kPattern);
        flip = !flip;
        rig.page->Refresh();
    }
}
// 2 (DataFlow) is the page with the most controls.
BENCHMARK(BM_PageRefresh)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// A notification that changes nothing: texts are compared, not set again.
void BM_PageRefreshUnchanged(benchmark::State& state) {
    PageRig rig(static_cast<int>(state.range(0)));
    rig.Store(kPattern);
    for (auto _ : state)
        rig.page->Refresh();
}
BENCHMARK(BM_PageRefreshUnchanged)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarsion
