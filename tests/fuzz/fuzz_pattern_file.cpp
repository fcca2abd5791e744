// A pattern file's text, read with a small pair limit. Every sample must fit its form: 16 bits
// unsigned for hexadecimal files, 16 bits signed for real-valued ones.
#include "ops/PatternMemory.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsion;
    constexpr std::size_t kLimit = 64;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const PatternFile file = ReadPatternFile(in, kLimit);
    if (file.pairs.size() > kLimit || (file.tooLarge && file.formatError))
        __builtin_trap();
    for (const SamplePair& pair : file.pairs) {
        for (const std::int32_t sample : {pair.i, pair.q}) {
            if (sample < -32768 || sample > 0xFFFF)
                __builtin_trap();
        }
    }
    return 0;
}
