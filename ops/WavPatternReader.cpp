// WAV test patterns: 16-bit PCM or 32/64-bit floating point, mono (I) or stereo (I and Q).
#include "base/TextHelpers.h"
#include "ops/LittleEndian.h"
#include "ops/PatternImport.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tarsion {

namespace {
constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;
constexpr std::size_t kChunkHeader = 8;

ImportRead Refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

struct Format {
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint16_t bits = 0;
    std::uint16_t blockAlign = 0;
};

double Sample(std::string_view data, std::size_t at, const Format& format) {
    if (format.tag == kPcm)
        return static_cast<std::int16_t>(LittleU16(data, at));
    return format.bits == 32 ? static_cast<double>(std::bit_cast<float>(LittleU32(data, at)))
                             : std::bit_cast<double>(LittleU64(data, at));
}
} // namespace

ImportRead ReadWavPattern(std::string_view bytes, std::size_t maxPairs) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
        return Refused("unknown layout: not a WAV file");
    std::optional<Format> format;
    std::optional<std::string_view> data;
    // The RIFF size may be wrong (streamed recordings); the chunks are bounded by the file.
    for (std::size_t at = 12; at + kChunkHeader <= bytes.size() && !data;) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t length = LittleU32(bytes, at + 4);
        const std::size_t body = at + kChunkHeader;
        const std::size_t available = std::min(length, bytes.size() - body);
        if (id == "fmt ") {
            if (available < 16)
                return Refused("unknown layout: the WAV format chunk is damaged");
            format = Format{LittleU16(bytes, body), LittleU16(bytes, body + 2), LittleU16(bytes, body + 14),
                            LittleU16(bytes, body + 12)};
            // WAVE_FORMAT_EXTENSIBLE names the real format in the first two bytes of its subformat.
            if (format->tag == kExtensible) {
                if (available < 40)
                    return Refused("unknown layout: the WAV format chunk is damaged");
                format->tag = LittleU16(bytes, body + 24);
            }
        } else if (id == "data") {
            data = bytes.substr(body, available);
        }
        // Chunks are padded to an even length.
        at = body + length + (length & 1);
        if (at < body)
            break;
    }
    if (!format || !data)
        return Refused(std::string("unknown layout: the WAV file has no ") + (format ? "data" : "format") +
                       " chunk");
    const bool pcm16 = format->tag == kPcm && format->bits == 16;
    const bool real = format->tag == kFloat && (format->bits == 32 || format->bits == 64);
    if (!pcm16 && !real)
        return Refused(
            FormatText("unknown layout: WAV of %u-bit %s samples; 16-bit PCM or 32/64-bit floating "
                       "point expected",
                       format->bits,
                       format->tag == kPcm     ? "PCM"
                       : format->tag == kFloat ? "floating-point"
                                               : "compressed"));
    if (format->channels < 1 || format->channels > 2)
        return Refused(FormatText(
            "unknown layout: WAV with %u channels; mono (I) or stereo (I and Q) expected", format->channels));
    const std::size_t frame = static_cast<std::size_t>(format->channels) * format->bits / 8;
    if (format->blockAlign != frame)
        return Refused("unknown layout: the WAV format chunk is damaged");
    const std::size_t pairs = data->size() / frame;
    if (pairs > maxPairs)
        return Refused(TooLargeRefusal(maxPairs, pairs));
    if (pairs == 0)
        return Refused("unknown layout: the WAV file holds no samples");
    ImportedSignal signal;
    signal.twoChannels = format->channels == 2;
    signal.integers = pcm16;
    signal.i.resize(pairs);
    signal.q.assign(pairs, 0.0);
    const std::size_t width = format->bits / 8;
    for (std::size_t k = 0; k < pairs; ++k) {
        signal.i[k] = Sample(*data, k * frame, *format);
        if (signal.twoChannels)
            signal.q[k] = Sample(*data, k * frame + width, *format);
        for (const double value : {signal.i[k], signal.q[k]})
            if (!std::isfinite(value))
                return Refused(NotFiniteRefusal(value, FormatText("frame %zu", k)));
    }
    signal.layout = FormatText("WAV, %s, %s", signal.twoChannels ? "stereo" : "mono",
                               pcm16                ? "16-bit PCM"
                               : format->bits == 32 ? "32-bit float"
                                                    : "64-bit float");
    return {std::move(signal), {}};
}

} // namespace tarsion
