// A register snapshot file's text. A refused file says why; an accepted one is written back as a
// file that reads as the same snapshot again.
#include "registers/RegisterSnapshot.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarsion::SnapshotReading reading = tarsion::ReadSnapshotText(text);
    if (!reading.snapshot) {
        if (reading.error.empty())
            __builtin_trap();
        return 0;
    }
    const std::string saved = tarsion::SnapshotText(*reading.snapshot);
    const tarsion::SnapshotReading again = tarsion::ReadSnapshotText(saved);
    if (!again.snapshot || tarsion::SnapshotText(*again.snapshot) != saved)
        __builtin_trap();
    return 0;
}
