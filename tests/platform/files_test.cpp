#include "platform/files.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::TempDir;

TEST(ReadBounded, ReadsAFileUpToItsLimitAndRefusesALargerOne) {
    TempDir dir;
    LocalFiles files;
    testing::writeFile(dir / "full", std::string(100, 'x'));
    EXPECT_EQ(files.readBounded(dir / "full", 100), std::string(100, 'x'));
    testing::writeFile(dir / "empty", "");
    EXPECT_EQ(files.readBounded(dir / "empty", 100), "");
    try {
        files.readBounded(dir / "full", 99);
        ADD_FAILURE() << "a file above the limit was read";
    } catch (const std::filesystem::filesystem_error& e) {
        EXPECT_EQ(e.code(), std::make_error_code(std::errc::file_too_large));
    }
    EXPECT_THROW(files.readBounded(dir / "absent", 100), std::filesystem::filesystem_error);
}

TEST(WriteFileReplacing, CreatesFoldersAndLeavesNoPartFile) {
    TempDir dir;
    LocalFiles files;
    const auto target = dir / "versions" / "2026092001" / "TXQNativeConnector.exe";
    writeFileReplacing(files, target, std::string("MZ\0\x01", 4));
    EXPECT_EQ(testing::readFile(target), std::string("MZ\0\x01", 4));
    EXPECT_FALSE(std::filesystem::exists(target.string() + ".part"));

    writeFileReplacing(files, target, "second, longer content");
    EXPECT_EQ(testing::readFile(target), "second, longer content");
    writeFileReplacing(files, target, "");
    EXPECT_EQ(testing::readFile(target), "");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(target.parent_path()), std::filesystem::directory_iterator()),
        1);
}

TEST(WriteFileReplacing, ReplacesAStalePartFile) {
    TempDir dir;
    LocalFiles files;
    const auto target = dir / "active.json";
    testing::writeFile(dir / "active.json.part", std::string(1000, '?'));
    writeFileReplacing(files, target, "{}");
    EXPECT_EQ(testing::readFile(target), "{}");
    EXPECT_FALSE(std::filesystem::exists(dir / "active.json.part"));
}

TEST(WriteFileReplacing, FailedMoveLeavesTheTargetAsItWas) {
    TempDir dir;
    LocalFiles files;
    // A non-empty folder in the target's place cannot be replaced by a file.
    const auto target = dir / "blocked";
    testing::writeFile(target / "inside", "kept");
    EXPECT_EQ(testing::messageOf([&] { writeFileReplacing(files, target, "new"); }), "无法保存更新文件");
    EXPECT_EQ(testing::readFile(target / "inside"), "kept");
}

TEST(WriteFileReplacing, UnwritablePartFails) {
    TempDir dir;
    LocalFiles files;
    // The ".part" twin's name is taken by a folder, so it cannot be opened for writing.
    std::filesystem::create_directories(dir / "target.part");
    EXPECT_EQ(testing::messageOf([&] { writeFileReplacing(files, dir / "target", "data"); }), "无法写入更新文件");
    EXPECT_FALSE(std::filesystem::exists(dir / "target"));
}

TEST(WriteFileReplacing, FolderThatCannotBeCreatedFailsWithTheFileSystemError) {
    TempDir dir;
    LocalFiles files;
    testing::writeFile(dir / "file", "x");
    EXPECT_THROW(writeFileReplacing(files, dir / "file" / "sub" / "target", "data"), std::filesystem::filesystem_error);
}

}  // namespace
}  // namespace quorvel
