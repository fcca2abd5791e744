// A constellation file's text. Every entry read must survive a dump line and a second reading.
#include "ops/ConstellationRam.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsion;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const ConstellationFile file = ReadConstellationFile(in);
    if (file.entries.size() > size / 4)
        __builtin_trap();
    for (const ConstellationEntry& entry : file.entries) {
        char line[8];
        std::snprintf(line, sizeof line, "%.4x", entry.address * 256 + entry.value);
        ConstellationEntry again;
        if (!ParseConstellationLine(line, again) || again.address != entry.address ||
            again.value != entry.value)
            __builtin_trap();
    }
    return 0;
}
