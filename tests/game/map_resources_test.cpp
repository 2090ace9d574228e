#include "game/map_resources.hpp"
#include "support/fake_files.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"
#include "support/vpk_builder.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::VpkEntry;
using testing::VpkTreeBuilder;

constexpr const char* kWorkshopIdRequired = "普通游廊模式需要工坊数字编号";
constexpr const char* kResourcesMissing = "缺少地图资源，请先通过 Steam 下载地图";
constexpr const char* kVolumeMissing = "地图 VPK 分卷缺失，请修复地图下载";

// A package directory listing the map (unless told otherwise) with data in the given volumes.
std::string package(std::vector<std::uint16_t> volumes, const std::string& listedMap = "brellowick") {
    VpkTreeBuilder tree;
    tree.add("vpk", "maps", listedMap, {volumes.empty() ? std::uint16_t{0x7FFF} : volumes[0], 64, ""});
    for (std::size_t i = 1; i < volumes.size(); ++i)
        tree.add("vmdl_c", "models", "m" + std::to_string(i), {volumes[i], 8, ""});
    tree.add("vtex_c", "materials", "in_directory", {0x7FFF, 100, ""});
    return testing::vpkDirectoryFile(2, tree.tree());
}

class MapResources : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeFiles files;
    const fs::path dotaRoot = dir / "steamapps" / "common" / "dota 2 beta";
    const fs::path addonFolder = dotaRoot / "game" / "dota_addons" / "dotatxq";
    const fs::path workshopFolder = dir / "steamapps" / "workshop" / "content" / "570" / "3141592653";

    // The members of an Entry that name its map.
    struct MapOfEntry {
        std::string addon;
        bool tools;
        std::string map;
    };

    static MapOfEntry entry(const std::string& addon, bool tools, const std::string& map = "brellowick") {
        return {addon, tools, map};
    }

    std::string outcome(const MapOfEntry& entry) {
        return testing::messageOf([&] { checkMapResources(dotaRoot, entry.addon, entry.map, entry.tools, files); });
    }
};

TEST_F(MapResources, ToolsModeTakesTheLooseMapFirst) {
    testing::writeFile(addonFolder / "maps" / "brellowick.vpk", "loose map");
    EXPECT_EQ(outcome(entry("dotatxq", true)), "(no failure)");
    testing::writeFile(addonFolder / "pak01_dir.vpk", "corrupt");
    EXPECT_EQ(outcome(entry("dotatxq", true)), "(no failure)");
    EXPECT_EQ(files.accesses.size(), 2u);  // the loose map's check, each time, and nothing else
    EXPECT_EQ(outcome(entry("dotatxq", true, "other")), "VPK 文件头无效");
}

TEST_F(MapResources, ToolsModePackageAndItsVolumes) {
    EXPECT_EQ(outcome(entry("dotatxq", true)), kResourcesMissing);

    fs::create_directories(addonFolder / "maps" / "brellowick.vpk");  // a folder is not the map
    EXPECT_EQ(outcome(entry("dotatxq", true)), kResourcesMissing);

    testing::writeFile(addonFolder / "pak01_dir.vpk", package({3, 0, 3}));
    testing::writeFile(addonFolder / "pak01_000.vpk", "");
    files.accesses.clear();
    EXPECT_EQ(outcome(entry("dotatxq", true)), kVolumeMissing);
    const std::string base = addonFolder.generic_string();
    EXPECT_EQ(files.accesses, (std::vector<std::string>{
                                  "isRegularFile " + base + "/maps/brellowick.vpk",
                                  "openBinary " + base + "/pak01_dir.vpk",
                                  "isRegularFile " + base + "/pak01_000.vpk",
                                  "isRegularFile " + base + "/pak01_003.vpk",
                              }));

    fs::create_directories(addonFolder / "pak01_003.vpk");  // a folder is not a volume
    EXPECT_EQ(outcome(entry("dotatxq", true)), kVolumeMissing);
    fs::remove(addonFolder / "pak01_003.vpk");
    testing::writeFile(addonFolder / "pak01_003.vpk", "");
    EXPECT_EQ(outcome(entry("dotatxq", true)), "(no failure)");
}

TEST_F(MapResources, NormalModeNeedsAWorkshopNumberBeforeTouchingAnyFile) {
    for (const char* addon : {"dotatxq", "123a", "-123", "12 3", "１２３"}) {
        EXPECT_EQ(outcome(entry(addon, false)), kWorkshopIdRequired) << addon;
    }
    EXPECT_TRUE(files.accesses.empty());
}

TEST_F(MapResources, NormalModeReadsTheWorkshopItemOfTheSameLibrary) {
    EXPECT_EQ(outcome(entry("3141592653", false)), kResourcesMissing);

    // Everything inside the directory file: no volume needed.
    testing::writeFile(workshopFolder / "3141592653.vpk", package({}));
    EXPECT_EQ(outcome(entry("3141592653", false)), "(no failure)");

    testing::writeFile(workshopFolder / "3141592653.vpk", package({2, 1234}));
    testing::writeFile(workshopFolder / "3141592653_002.vpk", "");
    EXPECT_EQ(outcome(entry("3141592653", false)), kVolumeMissing);
    testing::writeFile(workshopFolder / "3141592653_1234.vpk", "");
    EXPECT_EQ(outcome(entry("3141592653", false)), "(no failure)");

    // Every volume present, but the map is not listed.
    testing::writeFile(workshopFolder / "3141592653.vpk", package({2, 1234}, "other_map"));
    EXPECT_EQ(outcome(entry("3141592653", false)), "地图名不存在于 VPK 中");

    testing::writeFile(workshopFolder / "3141592653.vpk", package({2}).substr(0, 40));
    EXPECT_EQ(outcome(entry("3141592653", false)), "VPK 文件不完整");

    // The tools-mode folders are not looked at.
    testing::writeFile(dotaRoot / "game" / "dota_addons" / "3141592653" / "maps" / "brellowick.vpk", "loose");
    EXPECT_EQ(outcome(entry("3141592653", false)), "VPK 文件不完整");
}

TEST_F(MapResources, ADirectoryFileThatIsAFolderIsMissing) {
    fs::create_directories(workshopFolder / "42.vpk");
    EXPECT_EQ(outcome(entry("42", false)), kResourcesMissing);
}

// Directory files as large as the header allows, and one byte larger, written sparse: the size
// rule is applied to the header before anything of the tree is read.
TEST_F(MapResources, DirectoryFilesAtTheTreeSizeLimit) {
    constexpr std::uintmax_t k64MiB = std::uintmax_t{64} << 20;
    struct Case {
        std::uint32_t treeSize;
        std::uintmax_t treeBytesOnDisk;
        const char* message;
    };
    const Case cases[] = {
        {k64MiB + 1, k64MiB + 1, "不支持的 VPK 格式"},
        {k64MiB, k64MiB, "地图名不存在于 VPK 中"},  // read whole: zeros, an empty tree
        {k64MiB, k64MiB - 1, "VPK 文件不完整"},
    };
    const fs::path file = workshopFolder / "3141592653.vpk";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.treeSize);
        testing::writeFile(file, testing::vpkDirectoryFile(1, "", "", c.treeSize));
        fs::resize_file(file, 12 + c.treeBytesOnDisk);
        EXPECT_EQ(outcome(entry("3141592653", false)), c.message);
    }
}

}  // namespace
}  // namespace quorvel
