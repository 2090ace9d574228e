#include "update/file_helpers.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"
#include "update/install_files.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::TempDir;

TEST(ReadExecutableFile, ReadsFilesFromOneByteToEightMebibytes) {
    TempDir dir;
    testing::writeFile(dir / "one", "M");
    EXPECT_EQ(readExecutableFile(dir / "one"), "M");

    std::string full(kMaxExecutableBytes, 'x');
    full[0] = 'M';
    full[full.size() - 1] = 'Z';
    testing::writeFile(dir / "full", full);
    EXPECT_EQ(readExecutableFile(dir / "full"), full);
}

TEST(ReadExecutableFile, RejectsEmptyAndOversizedFiles) {
    TempDir dir;
    testing::writeFile(dir / "empty", "");
    testing::writeFile(dir / "over", std::string(kMaxExecutableBytes + 1, 'x'));
    EXPECT_EQ(testing::messageOf([&] { readExecutableFile(dir / "empty"); }), "更新文件大小异常");
    EXPECT_EQ(testing::messageOf([&] { readExecutableFile(dir / "over"); }), "更新文件大小异常");
}

TEST(ReadExecutableFile, MissingFileFailsWithTheFileSystemError) {
    TempDir dir;
    EXPECT_THROW(readExecutableFile(dir / "absent.exe"), std::filesystem::filesystem_error);
    EXPECT_THROW(readExecutableFile(dir.path()), std::filesystem::filesystem_error);  // a folder has no size
}

TEST(ReadAll, ReadsAFileUpToItsLimitAndRefusesALargerOne) {
    TempDir dir;
    LocalInstallFiles files;
    testing::writeFile(dir / "full", std::string(100, 'x'));
    EXPECT_EQ(files.readAll(dir / "full", 100), std::string(100, 'x'));
    testing::writeFile(dir / "empty", "");
    EXPECT_EQ(files.readAll(dir / "empty", 100), "");
    try {
        files.readAll(dir / "full", 99);
        ADD_FAILURE() << "a file above the limit was read";
    } catch (const std::filesystem::filesystem_error& e) {
        EXPECT_EQ(e.code(), std::make_error_code(std::errc::file_too_large));
    }
    EXPECT_THROW(files.readAll(dir / "absent", 100), std::filesystem::filesystem_error);
}

TEST(WriteFileReplacing, CreatesFoldersAndLeavesNoPartFile) {
    TempDir dir;
    const auto target = dir / "versions" / "2026092001" / "TXQNativeConnector.exe";
    writeFileReplacing(target, std::string("MZ\0\x01", 4));
    EXPECT_EQ(testing::readFile(target), std::string("MZ\0\x01", 4));
    EXPECT_FALSE(std::filesystem::exists(target.string() + ".part"));

    writeFileReplacing(target, "second, longer content");
    EXPECT_EQ(testing::readFile(target), "second, longer content");
    writeFileReplacing(target, "");
    EXPECT_EQ(testing::readFile(target), "");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(target.parent_path()), std::filesystem::directory_iterator()),
        1);
}

TEST(WriteFileReplacing, ReplacesAStalePartFile) {
    TempDir dir;
    const auto target = dir / "active.json";
    testing::writeFile(dir / "active.json.part", std::string(1000, '?'));
    writeFileReplacing(target, "{}");
    EXPECT_EQ(testing::readFile(target), "{}");
    EXPECT_FALSE(std::filesystem::exists(dir / "active.json.part"));
}

TEST(WriteFileReplacing, FailedMoveLeavesTheTargetAsItWas) {
    TempDir dir;
    // A non-empty folder in the target's place cannot be replaced by a file.
    const auto target = dir / "blocked";
    testing::writeFile(target / "inside", "kept");
    EXPECT_EQ(testing::messageOf([&] { writeFileReplacing(target, "new"); }), "无法保存更新文件");
    EXPECT_EQ(testing::readFile(target / "inside"), "kept");
}

TEST(WriteFileReplacing, UnwritablePartFails) {
    TempDir dir;
    // The ".part" twin's name is taken by a folder, so it cannot be opened for writing.
    std::filesystem::create_directories(dir / "target.part");
    EXPECT_EQ(testing::messageOf([&] { writeFileReplacing(dir / "target", "data"); }), "无法写入更新文件");
    EXPECT_FALSE(std::filesystem::exists(dir / "target"));
}

TEST(WriteFileReplacing, FolderThatCannotBeCreatedFailsWithTheFileSystemError) {
    TempDir dir;
    testing::writeFile(dir / "file", "x");
    EXPECT_THROW(writeFileReplacing(dir / "file" / "sub" / "target", "data"), std::filesystem::filesystem_error);
}

}  // namespace
}  // namespace quorvel
