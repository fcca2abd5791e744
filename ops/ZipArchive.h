#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

// The members of a zip archive (a NumPy .npz), read as hostile input: every offset and size is
// checked against the archive, only stored and deflated members are read, no member grows past a
// limit while it is inflated, and its CRC must match.
struct ZipMember {
    std::string name;
    std::uint16_t method = 0; // 0 stored, 8 deflated
    std::uint16_t flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeader = 0;
};

// The central directory; empty with `error` set when the archive is damaged or spans disks.
std::optional<std::vector<ZipMember>> ZipMembers(std::string_view archive, std::string& error);
// The contents of `member`; empty with `error` set when it is encrypted, compressed another way,
// larger than `limit`, damaged or fails its CRC.
std::optional<std::string> ZipMemberData(std::string_view archive, const ZipMember& member, std::size_t limit,
                                         std::string& error);

} // namespace tarsion
