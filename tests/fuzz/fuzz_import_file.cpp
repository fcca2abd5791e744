// An imported pattern (CSV, NumPy, NumPy archive or WAV, chosen by the content and the first byte's
// name), read with a small pair limit and prepared both ways. A signal holds finite values, as many
// for Q as for I and no more pairs than the limit; every prepared sample keeps to 16 bits.
#include "ops/PatternImport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsion;
    constexpr std::size_t kLimit = 256;
    if (size == 0)
        return 0;
    constexpr const char* kNames[] = {"f.csv", "f.npy", "f.npz", "f.wav"};
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ImportRead read = ReadImportedPattern(kNames[data[0] % 4], bytes, kLimit);
    if (read.signal.has_value() != read.refusal.empty())
        __builtin_trap();
    if (!read.signal)
        return 0;
    const ImportedSignal& signal = *read.signal;
    if (signal.i.empty() || signal.i.size() > kLimit || signal.q.size() != signal.i.size())
        __builtin_trap();
    for (std::size_t k = 0; k < signal.i.size(); ++k)
        if (!std::isfinite(signal.i[k]) || !std::isfinite(signal.q[k]))
            __builtin_trap();
    for (const ImportScaling scaling : {ImportScaling::AsIs, ImportScaling::FullScale}) {
        const PreparedImport prepared = PrepareImport(signal, scaling);
        if (prepared.pairs.size() != signal.i.size() || prepared.report.clipped > 2 * signal.i.size())
            __builtin_trap();
        for (const SamplePair& pair : prepared.pairs)
            if (pair.i < 0 || pair.i > 0xFFFF || pair.q < 0 || pair.q > 0xFFFF)
                __builtin_trap();
    }
    return 0;
}
