#include "game/vpk_directory.hpp"
#include "support/message_of.hpp"
#include "support/vpk_builder.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

namespace quorvel {
namespace {

using testing::vpkDirectoryFile;
using testing::VpkEntry;
using testing::VpkTreeBuilder;

constexpr const char* kHeaderInvalid = "VPK 文件头无效";
constexpr const char* kUnsupported = "不支持的 VPK 格式";
constexpr const char* kIncomplete = "VPK 文件不完整";
constexpr const char* kIndexTruncated = "VPK 索引截断";
constexpr const char* kFileTruncated = "VPK 文件截断";
constexpr const char* kIndexInvalid = "VPK 索引无效";
constexpr const char* kPreloadTruncated = "VPK 预载数据截断";
constexpr const char* kMapMissing = "地图名不存在于 VPK 中";

// The outcome as text: the indices ("{2}", "{}") or the failure message.
template <typename Read>
std::string outcome(Read read) {
    std::string text = "{";
    const std::string failure = testing::messageOf([&] {
        for (const std::uint16_t index : read()) text += (text.size() > 1 ? "," : "") + std::to_string(index);
    });
    return failure == "(no failure)" ? text + "}" : failure;
}

std::string scan(std::string_view tree, std::string_view map = "brellowick") {
    return outcome([&] { return scanVpkTree(tree, map); });
}

std::string read(const std::string& file, std::string_view map = "brellowick") {
    std::istringstream in(file, std::ios::binary);
    return outcome([&] { return readVpkDirectory(in, map); });
}

// vpk NUL maps NUL brellowick NUL, the record (preload 2, archive `archive`, offset 0, length
// `length`, terminator FFFF), preload 01 02, and the three closing zero bytes.
std::string exampleTree(std::uint16_t archive = 2, std::uint32_t length = 10, std::uint16_t terminator = 0xFFFF) {
    std::string tree("vpk\0maps\0brellowick\0", 20);
    tree += std::string("\0\0\0\0\x02\0", 6);
    tree += static_cast<char>(archive & 0xFF);
    tree += static_cast<char>(archive >> 8);
    tree += std::string(4, '\0');
    for (int shift = 0; shift < 32; shift += 8) tree += static_cast<char>((length >> shift) & 0xFF);
    tree += static_cast<char>(terminator & 0xFF);
    tree += static_cast<char>(terminator >> 8);
    tree += std::string("\x01\x02\0\0\0", 5);
    return tree;
}

TEST(ScanVpkTree, TheExampleTree) {
    EXPECT_EQ(exampleTree().size(), 43u);
    EXPECT_EQ(scan(exampleTree()), "{2}");
    EXPECT_EQ(scan(exampleTree(), "missing_map"), kMapMissing);
    EXPECT_EQ(scan(exampleTree(0x7FFF)), "{}");
    EXPECT_EQ(scan(exampleTree(2, 0)), "{}");
    EXPECT_EQ(scan(exampleTree(2, 10, 0xFFFE)), kIndexInvalid);
    EXPECT_EQ(scan(exampleTree(2, 10, 0x0000)), kIndexInvalid);
    // The builder writes the same bytes.
    EXPECT_EQ(VpkTreeBuilder().add("vpk", "maps", "brellowick", {2, 10, "\x01\x02"}).tree(), exampleTree());
}

TEST(ScanVpkTree, EveryCutOfTheExampleTreeFailsWithTheMessageOfWhereItStops) {
    const std::string tree = exampleTree();
    for (std::size_t length = 0; length < tree.size(); ++length) {
        const char* expected = length < 20   ? kIndexTruncated    // extension, path or name unfinished
                               : length < 38 ? kFileTruncated     // inside the entry record
                               : length < 40 ? kPreloadTruncated  // inside the preload data
                                             : kIndexTruncated;   // a closing zero byte missing
        EXPECT_EQ(scan(std::string_view(tree).substr(0, length)), expected) << "cut at " << length;
    }
}

TEST(ScanVpkTree, SmallTrees) {
    EXPECT_EQ(scan(std::string_view("\x01\x02\x03", 3)), kIndexTruncated);
    EXPECT_EQ(scan(""), kIndexTruncated);
    EXPECT_EQ(scan(std::string_view("\0", 1)), kMapMissing);
    EXPECT_EQ(scan(std::string("\0after the end: \x01\xFF no zero", 26)), kMapMissing);
    EXPECT_EQ(scan(exampleTree() + "ignored \x01\x02"), "{2}");
}

TEST(ScanVpkTree, OnlyTheExactExtensionPathAndNameIsTheMap) {
    const VpkEntry entry{1, 5, ""};
    const std::vector<std::array<std::string, 3>> notTheMap = {
        {"vpk", "maps/sub", "brellowick"}, {"VPK", "maps", "brellowick"},  {"vpk", "Maps", "brellowick"},
        {"vpk", "map", "brellowick"},      {"vpk ", "maps", "brellowick"}, {"vpk", "maps", "Brellowick"},
        {"vpk", "maps", "brellowic"},      {"vpk", "maps", "brellowickx"}, {"vpk", "maps", "brellowick.vpk"},
        {"vmap", "maps", "brellowick"},    {"vpk", "/maps", "brellowick"},
    };
    for (const auto& [extension, path, name] : notTheMap) {
        EXPECT_EQ(scan(VpkTreeBuilder().add(extension, path, name, entry).tree()), kMapMissing)
            << extension << "/" << path << "/" << name;
    }
    // Found as the last file of a later path of a later extension.
    const std::string tree = VpkTreeBuilder()
                                 .add("vmap", "maps", "brellowick", entry)
                                 .add("vpk", "maps/sub", "brellowick", entry)
                                 .add("vpk", "maps", "other", entry)
                                 .add("vpk", "maps", "brellowick", entry)
                                 .tree();
    EXPECT_EQ(scan(tree), "{1}");
}

TEST(ScanVpkTree, CollectsTheVolumesOfEveryEntryAscendingAndOnce) {
    const std::string tree = VpkTreeBuilder()
                                 .add("txt", "scripts", "a", {5, 1, ""})
                                 .add("txt", "scripts", "b", {0, 1, "preload"})
                                 .add("vtex_c", "materials", "c", {0xFFFF, 7, ""})
                                 .add("vtex_c", "materials", "d", {3, 0, ""})      // no data: not counted
                                 .add("vtex_c", "panorama", "e", {0x7FFF, 9, ""})  // data in the directory
                                 .add("vtex_c", "panorama", "f", {0x7FFE, 9, ""})
                                 .add("vpk", "maps", "brellowick", {5, 100, ""})
                                 .add("vpk", "maps", "g", {0x8000, 2, ""})
                                 .tree();
    EXPECT_EQ(scan(tree), "{0,5,32766,32768,65535}");
}

TEST(ScanVpkTree, ChecksTheRecordBeforeItsPreloadData) {
    // A record cut inside: truncated record even when the bytes present would be a bad terminator.
    std::string tree("vpk\0maps\0brellowick\0", 20);
    EXPECT_EQ(scan(tree + std::string(17, '\xEE')), kFileTruncated);
    // A bad terminator wins over preload data that does not fit.
    EXPECT_EQ(scan(VpkTreeBuilder()
                       .add("vpk", "maps", "brellowick", {2, 1, std::string(3, 'p'), 0x1234})
                       .tree()
                       .substr(0, 40)),
              kIndexInvalid);
    // The largest preload length, with nothing after the record.
    std::string huge = tree + std::string("\0\0\0\0\xFF\xFF\x02\0\0\0\0\0\x01\0\0\0\xFF\xFF", 18);
    EXPECT_EQ(scan(huge), kPreloadTruncated);
    EXPECT_EQ(scan(huge + std::string(0xFFFF, 'p') + std::string(3, '\0')), "{2}");
}

// Hostile trees must end in one of the messages; the sanitizers catch any read out of bounds.
bool isVpkMessage(const std::string& outcome) {
    static const std::set<std::string> messages = {kIndexTruncated, kFileTruncated, kIndexInvalid, kPreloadTruncated,
                                                   kMapMissing};
    return messages.count(outcome) == 1 || (outcome.front() == '{' && outcome.back() == '}');
}

TEST(ScanVpkTree, HostileInputEndsInAMessage) {
    std::mt19937 random(7);
    for (int round = 0; round < 20'000; ++round) {
        std::string tree(random() % 96, '\0');
        // Mostly small byte values, so that zero bytes and plausible terminators turn up.
        for (char& byte : tree)
            byte = static_cast<char>(random() % 4 == 0 ? random() : random() % 3 == 0 ? 0xFF : random() % 4);
        const std::string outcome = scan(tree);
        ASSERT_TRUE(isVpkMessage(outcome)) << outcome;
    }

    const std::string generated = testing::generateVpkTree(6'000, "brellowick", 3);
    for (std::size_t length = 0; length < generated.size(); ++length) {
        const std::string outcome = scan(std::string_view(generated).substr(0, length));
        ASSERT_TRUE(isVpkMessage(outcome) && outcome.front() != '{') << "cut at " << length << ": " << outcome;
    }
    EXPECT_EQ(scan(generated).front(), '{');
}

TEST(ScanVpkTree, ALargeGeneratedTreeIsWalkedToTheMapAtItsEnd) {
    const std::string tree = testing::generateVpkTree(4 << 20, "brellowick", 5);
    EXPECT_LE(tree.size(), std::size_t{4} << 20);
    EXPECT_GT(tree.size(), (std::size_t{4} << 20) - 200);
    const ArchiveIndices indices = scanVpkTree(tree, "brellowick");
    EXPECT_EQ(indices.size(), 200u);
    EXPECT_EQ(scan(tree, "not_there"), kMapMissing);
}

TEST(ReadVpkDirectory, ReadsVersionsOneAndTwo) {
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree())), "{2}");
    EXPECT_EQ(read(vpkDirectoryFile(2, exampleTree())), "{2}");
    EXPECT_EQ(read(vpkDirectoryFile(2, exampleTree(), "\xFF\xFF\xFF\xFF anything at all")), "{2}");
    // Whatever follows the tree (file data, checksums, signature) is not read.
    EXPECT_EQ(read(vpkDirectoryFile(2, exampleTree()) + std::string(5000, '\xA5')), "{2}");
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree()), "missing_map"), kMapMissing);
    // The tree is only as long as the header says.
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", 42) + '\0'), kIndexTruncated);
}

TEST(ReadVpkDirectory, HeaderFailures) {
    const std::string valid = vpkDirectoryFile(1, exampleTree());
    EXPECT_EQ(read(""), kHeaderInvalid);
    EXPECT_EQ(read(valid.substr(0, 11)), kHeaderInvalid);
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", -1, 0x55AA1235)), kHeaderInvalid);
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", -1, 0x3412AA55)), kHeaderInvalid);
    EXPECT_EQ(read(vpkDirectoryFile(0, exampleTree())), kUnsupported);
    EXPECT_EQ(read(vpkDirectoryFile(3, exampleTree())), kUnsupported);
    EXPECT_EQ(read(vpkDirectoryFile(0x01000001, exampleTree())), kUnsupported);
    // A bad signature is reported before a bad version.
    EXPECT_EQ(read(vpkDirectoryFile(3, exampleTree(), "", -1, 0)), kHeaderInvalid);
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", 67'108'865)), kUnsupported);
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", 0xFFFFFFFF)), kUnsupported);
}

TEST(ReadVpkDirectory, ATreeLongerThanTheFileIsIncomplete) {
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", 44)), kIncomplete);
    EXPECT_EQ(read(vpkDirectoryFile(2, exampleTree(), "", 44)), kIncomplete);
    EXPECT_EQ(read(vpkDirectoryFile(1, exampleTree(), "", 67'108'864)), kIncomplete);
    EXPECT_EQ(read(vpkDirectoryFile(2, exampleTree()).substr(0, 20)), kIncomplete);  // cut in the extra header
    // An empty tree is complete wherever the file ends, even inside the extra header bytes.
    EXPECT_EQ(read(vpkDirectoryFile(1, "")), kIndexTruncated);
    EXPECT_EQ(read(vpkDirectoryFile(2, "", "").substr(0, 20)), kIndexTruncated);
}

// A stream that can only be read forward, as from a pipe.
class ForwardOnly : public std::streambuf {
public:
    explicit ForwardOnly(std::string bytes) : bytes_(std::move(bytes)) {
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }

private:
    std::string bytes_;
};

TEST(ReadVpkDirectory, ReadsStreamsThatCannotSeek) {
    for (const std::uint32_t version : {1u, 2u}) {
        ForwardOnly buffer(vpkDirectoryFile(version, exampleTree(), "extra"));
        std::istream in(&buffer);
        EXPECT_EQ(readVpkDirectory(in, "brellowick"), ArchiveIndices{2});
    }
    ForwardOnly cut(vpkDirectoryFile(2, exampleTree()).substr(0, 60));
    std::istream in(&cut);
    EXPECT_EQ(testing::messageOf([&] { readVpkDirectory(in, "brellowick"); }), kIncomplete);
}

TEST(ReadVpkDirectory, HostileFilesEndInAMessage) {
    const std::string valid = vpkDirectoryFile(2, testing::generateVpkTree(2'000, "brellowick", 9), "x");
    for (std::size_t length = 0; length < valid.size(); ++length) {
        const std::string outcome = read(valid.substr(0, length));
        ASSERT_TRUE(outcome == kHeaderInvalid || outcome == kIncomplete) << "cut at " << length << ": " << outcome;
    }
    std::mt19937 random(11);
    for (int round = 0; round < 5'000; ++round) {
        std::string file = valid;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
            file[random() % file.size()] = static_cast<char>(random());
        }
        const std::string outcome = read(file);
        ASSERT_TRUE(isVpkMessage(outcome) || outcome == kHeaderInvalid || outcome == kUnsupported ||
                    outcome == kIncomplete)
            << outcome;
    }
}

}  // namespace
}  // namespace quorvel
