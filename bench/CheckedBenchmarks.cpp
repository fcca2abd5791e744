#include "CheckedBenchmarks.h"

#include "board/CpldProtocol.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iostream>
#include <vector>

namespace {

using tarsion::CpldProtocolMonitor;

// Adds the counter to the runs and hands them to the reporter that --benchmark_format selects.
class ProtocolCountingReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& report) override {
        const std::uint64_t seen = CpldProtocolMonitor::ProcessViolations();
        std::vector<Run> runs = report;
        for (Run& run : runs)
            run.counters["protocol_violations"] = static_cast<double>(seen - reported_);
        reported_ = seen;
        display_->ReportRuns(runs);
    }
    void Finalize() override { display_->Finalize(); }

private:
    benchmark::BenchmarkReporter* display_ = benchmark::CreateDefaultDisplayReporter();
    std::uint64_t reported_ = 0;
};

} // namespace

int tarsion::bench::RunCheckedBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ProtocolCountingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (CpldProtocolMonitor::ProcessViolations() != 0) {
        std::cerr << "byte-cycle protocol violations on the virtual board: "
                  << CpldProtocolMonitor::ProcessViolations()
                  << "; the first: " << CpldProtocolMonitor::ProcessFirstViolation() << '\n';
        return 1;
    }
    return 0;
}
