// libFuzzer target: the coefficient file reader, then table builds, Best Fit and packing over the
// same bytes. The first byte also picks the geometry and the symmetric flag.
#include "ops/CoefficientFile.h"
#include "ops/CoefficientRam.h"
#include "ops/CoefficientTable.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {
std::string ScratchPath(const char* extension) {
    return (std::filesystem::temp_directory_path() /
            ("fuzz_coefficient_" + std::to_string(::getpid()) + extension))
        .string();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsion;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CoefficientFile file;
    std::istringstream in(text);
    if (file.Parse(in) != CoefficientFile::Status::Ok)
        return 0;

    static const std::string path = ScratchPath(".coe");
    static const std::string listing = ScratchPath(".ram");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const std::uint8_t options = size > 0 ? data[0] : 0;
    const FilterGeometry geometry = FilterGeometry::For(options % 4 - 1, (options & 4) != 0);
    for (int column = 1; column <= 2; ++column) {
        if (!file.HasColumn(column))
            continue;
        CoefficientTable table({path, column, geometry, (options & 8) != 0, listing});
        FitBestGain(table, geometry.rate);
        PackTable(table);
        table.Build(1.0);
        PackTable(table);
    }
    return 0;
}
