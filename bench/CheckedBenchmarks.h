#pragma once

namespace tarsion::bench {

// Runs the benchmarks the command line selects, as benchmark_main would. Each reports the byte-cycle
// protocol violations its virtual boards saw as a counter; any violation makes the result 1.
int RunCheckedBenchmarks(int argc, char** argv);

} // namespace tarsion::bench
