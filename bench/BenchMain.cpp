#include "CheckedBenchmarks.h"

int main(int argc, char** argv) {
    return tarsion::bench::RunCheckedBenchmarks(argc, argv);
}
