#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarsion {

// Little-endian fields of a file's bytes at `at` (WAV chunks, zip records); the caller has checked
// that they lie within `bytes`.
inline std::uint16_t LittleU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}
inline std::uint32_t LittleU32(std::string_view bytes, std::size_t at) {
    return LittleU16(bytes, at) | static_cast<std::uint32_t>(LittleU16(bytes, at + 2)) << 16;
}
inline std::uint64_t LittleU64(std::string_view bytes, std::size_t at) {
    return LittleU32(bytes, at) | static_cast<std::uint64_t>(LittleU32(bytes, at + 4)) << 32;
}

} // namespace tarsion
