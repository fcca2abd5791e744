#include "board/BoardLink.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"
#include "pages/PageFactory.h"
#include "pages/RegisterPage.h"
#include "support/ScriptedPrompt.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace tarsion {
namespace {

// Register words that set every field of the pages, and their complement.
constexpr std::uint32_t kPattern = 0xa5c3f00f;

// A page over the virtual board; the shadow notifies nobody, so each refresh is the page's own.
struct PageRig {
    explicit PageRig(int index) {
        link = std::make_unique<CBoardLink>(doc.Shadow(), doc, std::make_unique<VirtualBoard>(), clock);
        ops = std::make_unique<CBoardOperations>(*link, doc, prompt);
        page.reset(qobject_cast<CRegisterPage*>(CreateRegisterPage(index, PageContext{doc, *ops}, nullptr)));
        page->resize(550, 300);
        page->show();
        doc.Shadow().SetChangeHandler({});
    }
    void Store(std::uint32_t word) {
        for (std::uint8_t reg = 0; reg <= 0x11; ++reg)
            doc.Shadow().StoreChipReg(reg, word);
    }
    SystemSteadyClock clock;
    CTarsionDoc doc;
    test::ScriptedPrompt prompt;
    std::unique_ptr<CBoardLink> link;
    std::unique_ptr<CBoardOperations> ops;
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
