#include "update/executable_file.hpp"
#include "support/fake_files.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::TempDir;

TEST(ReadExecutableFile, ReadsFilesFromOneByteToEightMebibytes) {
    TempDir dir;
    LocalFiles files;
    testing::writeFile(dir / "one", "M");
    EXPECT_EQ(readExecutableFile(files, dir / "one"), "M");

    std::string full(kMaxExecutableBytes, 'x');
    full[0] = 'M';
    full[full.size() - 1] = 'Z';
    testing::writeFile(dir / "full", full);
    EXPECT_EQ(readExecutableFile(files, dir / "full"), full);
}

TEST(ReadExecutableFile, RejectsEmptyAndOversizedFiles) {
    TempDir dir;
    LocalFiles files;
    testing::writeFile(dir / "empty", "");
    testing::writeFile(dir / "over", std::string(kMaxExecutableBytes + 1, 'x'));
    EXPECT_EQ(testing::messageOf([&] { readExecutableFile(files, dir / "empty"); }), "更新文件大小异常");
    EXPECT_EQ(testing::messageOf([&] { readExecutableFile(files, dir / "over"); }), "更新文件大小异常");
}

TEST(ReadExecutableFile, MissingFileFailsWithTheFileSystemError) {
    TempDir dir;
    LocalFiles files;
    EXPECT_THROW(readExecutableFile(files, dir / "absent.exe"), std::filesystem::filesystem_error);
    EXPECT_THROW(readExecutableFile(files, dir.path()), std::filesystem::filesystem_error);  // a folder has no size
}

// The file changes between the size query and the read (another process replacing it): neither a
// longer nor a cut-off image may come back as the image.
TEST(ReadExecutableFile, AFileThatChangesSizeDuringTheReadFails) {
    const struct {
        const char* name;
        std::string meanwhile;
    } cases[] = {{"grew", "MZ image and more"}, {"shrank", "MZ"}, {"vanished", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto image = dir / "image.exe";
        testing::writeFile(image, "MZ image");
        testing::FakeFiles files;
        files.onAccess = [&](const std::string& operation, const std::filesystem::path&) {
            if (operation != "readBounded") return;
            if (c.meanwhile.empty()) {
                std::filesystem::remove(image);
            } else {
                testing::writeFile(image, c.meanwhile);
            }
        };
        EXPECT_EQ(testing::messageOf([&] { readExecutableFile(files, image); }), "读取更新文件失败");
    }
}

}  // namespace
}  // namespace quorvel
