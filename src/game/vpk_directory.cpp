#include "game/vpk_directory.hpp"

#include "common/error.hpp"

#include <array>
#include <bit>
#include <cstring>
#include <string>

namespace quorvel {
namespace {

constexpr const char* kHeaderInvalid = "VPK 文件头无效";
constexpr const char* kUnsupported = "不支持的 VPK 格式";
constexpr const char* kIncomplete = "VPK 文件不完整";
constexpr const char* kIndexTruncated = "VPK 索引截断";
constexpr const char* kFileTruncated = "VPK 文件截断";
constexpr const char* kIndexInvalid = "VPK 索引无效";
constexpr const char* kPreloadTruncated = "VPK 预载数据截断";
constexpr const char* kMapMissing = "地图名不存在于 VPK 中";

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kVersion2HeaderSize = 28;
constexpr std::size_t kEntrySize = 18;
constexpr std::size_t kPreloadField = 4;
constexpr std::size_t kArchiveField = 6;
constexpr std::size_t kLengthField = 12;
constexpr std::size_t kTerminatorField = 16;
constexpr std::uint16_t kTerminator = 0xFFFF;

std::uint16_t u16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t u32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Cursor over the tree; every read is checked against the end first.
class TreeWalk {
public:
    explicit TreeWalk(std::string_view tree) : end_(tree.data() + tree.size()), at_(tree.data()) {}

    // The zero-terminated string at the cursor, left in place; the cursor moves past its zero.
    std::string_view string() {
        const auto* zero =
            static_cast<const char*>(at_ == end_ ? nullptr : std::memchr(at_, 0, static_cast<std::size_t>(end_ - at_)));
        check(zero != nullptr, kIndexTruncated);
        const std::string_view text(at_, static_cast<std::size_t>(zero - at_));
        at_ = zero + 1;
        return text;
    }

    const char* at() const { return at_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    void skip(std::size_t bytes) { at_ += bytes; }

private:
    const char* end_;
    const char* at_;
};

// Archive indices seen, as one bit each: no allocation per entry, ascending order for free.
class IndexSet {
public:
    void add(std::uint16_t index) { bits_[index >> 6] |= std::uint64_t{1} << (index & 63); }

    ArchiveIndices sorted() const {
        ArchiveIndices indices;
        for (std::size_t word = 0; word < bits_.size(); ++word) {
            for (std::uint64_t bits = bits_[word]; bits != 0; bits &= bits - 1) {
                indices.push_back(
                    static_cast<std::uint16_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
            }
        }
        return indices;
    }

private:
    std::array<std::uint64_t, 65536 / 64> bits_{};
};

}  // namespace

ArchiveIndices scanVpkTree(std::string_view tree, std::string_view mapName) {
    TreeWalk walk(tree);
    IndexSet indices;
    bool mapFound = false;
    for (std::string_view extension = walk.string(); !extension.empty(); extension = walk.string()) {
        const bool vpkExtension = extension == "vpk";
        for (std::string_view path = walk.string(); !path.empty(); path = walk.string()) {
            const bool mapFolder = vpkExtension && path == "maps";
            for (std::string_view name = walk.string(); !name.empty(); name = walk.string()) {
                // The terminator is the record's last field: once it is in the tree, so are the
                // preload length, archive index and entry length before it.
                const std::size_t left = walk.left();
                check(left >= kEntrySize, kFileTruncated);
                const char* record = walk.at();
                check(u16(record + kTerminatorField) == kTerminator, kIndexInvalid);
                const std::size_t preload = u16(record + kPreloadField);
                check(left - kEntrySize >= preload, kPreloadTruncated);
                const std::uint16_t archive = u16(record + kArchiveField);
                if (u32(record + kLengthField) != 0 && archive != kVpkInDirectory) indices.add(archive);
                if (mapFolder && name == mapName) mapFound = true;
                walk.skip(kEntrySize + preload);
            }
        }
    }
    check(mapFound, kMapMissing);
    return indices.sorted();
}

ArchiveIndices readVpkDirectory(std::istream& in, std::string_view mapName) {
    char header[kHeaderSize];
    in.read(header, kHeaderSize);
    check(in.gcount() == static_cast<std::streamsize>(kHeaderSize) && u32(header) == kVpkSignature, kHeaderInvalid);
    const std::uint32_t version = u32(header + 4);
    const std::uint32_t treeSize = u32(header + 8);
    check((version == 1 || version == 2) && treeSize <= kVpkMaxTreeSize, kUnsupported);

    // Version 2 has 16 more header bytes, skipped unread; the tree follows.
    const std::size_t skipped = version == 2 ? kVersion2HeaderSize - kHeaderSize : 0;

    // Where the stream can tell its length, a tree that cannot be there is refused before memory
    // is set aside for it.
    const std::streampos here = treeSize > 0 ? in.tellg() : std::streampos(-1);
    if (here != std::streampos(-1)) {
        in.seekg(0, std::ios::end);
        const std::streampos end = in.tellg();
        in.clear();
        in.seekg(here);
        if (end != std::streampos(-1))
            check(end - here >= static_cast<std::streamoff>(skipped + treeSize), kIncomplete);
    }

    // Like a seek, skipping may run past the end: only the tree's bytes must all be there.
    in.ignore(static_cast<std::streamsize>(skipped));
    std::string tree(treeSize, '\0');
    if (treeSize > 0) in.read(tree.data(), static_cast<std::streamsize>(treeSize));
    check(treeSize == 0 || static_cast<std::size_t>(in.gcount()) == treeSize, kIncomplete);
    return scanVpkTree(tree, mapName);
}

}  // namespace quorvel
