#include "ops/ZipArchive.h"

#include "ops/LittleEndian.h"

#include <limits>
#include <zlib.h>

namespace tarsion {

namespace {
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEntrySignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEntrySize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr std::uint16_t kEncrypted = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// Deflate packs at most 1032 bytes into one: a member claiming more is damaged, and is refused
// before room for it is taken.
constexpr std::uint64_t kMostDeflateRatio = 1032;

bool Fits(std::string_view bytes, std::uint64_t at, std::uint64_t length) {
    return at <= bytes.size() && length <= bytes.size() - at;
}

// Sizes and offset too large for their 32-bit fields follow in the zip64 extra field, in this order.
bool ReadZip64Extra(std::string_view extra, ZipMember& member, bool offsetInExtra) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t id = LittleU16(extra, at);
        const std::uint16_t length = LittleU16(extra, at + 2);
        if (!Fits(extra, at + 4, length))
            return false;
        if (id == kZip64Extra) {
            std::size_t field = at + 4;
            for (std::uint64_t* value : {&member.size, &member.compressedSize, &member.localHeader}) {
                if (*value != kZip64Marker || (value == &member.localHeader && !offsetInExtra))
                    continue;
                if (field + 8 > at + 4 + length)
                    return false;
                *value = LittleU64(extra, field);
                field += 8;
            }
            return true;
        }
        at += 4 + length;
    }
    return member.size != kZip64Marker && member.compressedSize != kZip64Marker;
}

std::optional<std::string> Inflate(std::string_view data, std::uint64_t size, std::string& error) {
    std::string out(static_cast<std::size_t>(size), '\0');
    z_stream stream{};
    // Raw deflate: a zip member has no zlib header.
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        error = "the decompressor could not start";
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&stream, Z_FINISH);
    // Output room used up before the end: the member would be larger than it says.
    if (result == Z_BUF_ERROR && stream.avail_out == 0) {
        unsigned char probe = 0;
        stream.next_out = &probe;
        stream.avail_out = 1;
        result = inflate(&stream, Z_FINISH);
        if (result != Z_STREAM_END)
            result = Z_DATA_ERROR;
    }
    const bool whole = result == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    if (!whole) {
        error = "its compressed data is damaged";
        return std::nullopt;
    }
    return out;
}
} // namespace

std::optional<std::vector<ZipMember>> ZipMembers(std::string_view archive, std::string& error) {
    if (archive.size() < kEndSize) {
        error = "it is too short for a zip archive";
        return std::nullopt;
    }
    std::size_t end = archive.size() - kEndSize;
    const std::size_t lowest = end > kLongestComment ? end - kLongestComment : 0;
    while (LittleU32(archive, end) != kEndSignature ||
           end + kEndSize + LittleU16(archive, end + 20) != archive.size()) {
        if (end == lowest) {
            error = "it has no zip directory";
            return std::nullopt;
        }
        --end;
    }
    const std::uint16_t entries = LittleU16(archive, end + 10);
    const std::uint32_t directorySize = LittleU32(archive, end + 12);
    const std::uint32_t directory = LittleU32(archive, end + 16);
    if (LittleU16(archive, end + 4) != 0 || LittleU16(archive, end + 6) != 0 ||
        LittleU16(archive, end + 8) != entries) {
        error = "it spans several disks";
        return std::nullopt;
    }
    if (!Fits(archive, directory, directorySize) || directory + std::uint64_t{directorySize} > end) {
        error = "its zip directory lies outside the file";
        return std::nullopt;
    }
    std::vector<ZipMember> members;
    std::size_t at = directory;
    for (std::uint16_t entry = 0; entry < entries; ++entry) {
        if (!Fits(archive, at, kEntrySize) || LittleU32(archive, at) != kEntrySignature) {
            error = "its zip directory is damaged";
            return std::nullopt;
        }
        const std::size_t nameLength = LittleU16(archive, at + 28);
        const std::size_t extraLength = LittleU16(archive, at + 30);
        const std::size_t commentLength = LittleU16(archive, at + 32);
        if (!Fits(archive, at + kEntrySize, nameLength + extraLength + commentLength)) {
            error = "its zip directory is damaged";
            return std::nullopt;
        }
        ZipMember member;
        member.flags = LittleU16(archive, at + 8);
        member.method = LittleU16(archive, at + 10);
        member.crc = LittleU32(archive, at + 16);
        member.compressedSize = LittleU32(archive, at + 20);
        member.size = LittleU32(archive, at + 24);
        member.localHeader = LittleU32(archive, at + 42);
        member.name = std::string(archive.substr(at + kEntrySize, nameLength));
        if (!ReadZip64Extra(archive.substr(at + kEntrySize + nameLength, extraLength), member, true)) {
            error = "its zip directory is damaged";
            return std::nullopt;
        }
        members.push_back(std::move(member));
        at += kEntrySize + nameLength + extraLength + commentLength;
    }
    return members;
}

std::optional<std::string> ZipMemberData(std::string_view archive, const ZipMember& member, std::size_t limit,
                                         std::string& error) {
    if (member.flags & kEncrypted) {
        error = "member " + member.name + " is encrypted";
        return std::nullopt;
    }
    if (member.method != kStored && member.method != kDeflated) {
        error = "member " + member.name + " is compressed with method " + std::to_string(member.method) +
                " (only stored and deflated members are read)";
        return std::nullopt;
    }
    if (member.size > limit || member.compressedSize > limit) {
        error =
            "member " + member.name + " is larger than the limit of " + std::to_string(limit >> 20) + " MB";
        return std::nullopt;
    }
    if (!Fits(archive, member.localHeader, kLocalSize) ||
        LittleU32(archive, member.localHeader) != kLocalSignature) {
        error = "member " + member.name + " is damaged";
        return std::nullopt;
    }
    const std::uint64_t data = member.localHeader + kLocalSize + LittleU16(archive, member.localHeader + 26) +
                               LittleU16(archive, member.localHeader + 28);
    if (!Fits(archive, data, member.compressedSize)) {
        error = "member " + member.name + " lies outside the file";
        return std::nullopt;
    }
    const std::string_view packed =
        archive.substr(static_cast<std::size_t>(data), static_cast<std::size_t>(member.compressedSize));
    std::optional<std::string> contents;
    if (member.method == kStored) {
        if (member.compressedSize != member.size) {
            error = "member " + member.name + " is damaged";
            return std::nullopt;
        }
        contents = std::string(packed);
    } else {
        if (member.size > kMostDeflateRatio * member.compressedSize + kMostDeflateRatio) {
            error = "member " + member.name + " claims more than its compressed data can hold";
            return std::nullopt;
        }
        contents = Inflate(packed, member.size, error);
        if (!contents) {
            error = "member " + member.name + ": " + error;
            return std::nullopt;
        }
    }
    static_assert(std::numeric_limits<uInt>::max() >= (256u << 20));
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(contents->data()), static_cast<uInt>(contents->size()));
    if (crc != member.crc) {
        error = "member " + member.name + " fails its CRC check";
        return std::nullopt;
    }
    return contents;
}

} // namespace tarsion
