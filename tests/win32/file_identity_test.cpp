// fileIdentity on Wine's files: the same file however it is spelt, another file (a copy) not.
#include "platform/file_identity.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

TEST(FileIdentityWin32, SameFileThroughEverySpellingAndNoOther) {
    testing::TempDir dir;
    const fs::path file = dir / "Game" / "dota2.exe";
    testing::writeFile(file, "MZ");
    testing::writeFile(dir / "Copy" / "dota2.exe", "MZ");
    ASSERT_TRUE(CreateHardLinkW((dir / "hard-link.exe").c_str(), file.c_str(), nullptr));
    const FileIdentity identity = fileIdentity(file);

    std::vector<fs::path> spellings = {testing::upperCase(file), dir / "game" / "." / ".." / "GAME" / "DOTA2.EXE",
                                       fs::path(file.generic_wstring()), dir / "hard-link.exe"};
    if (testing::underWine()) spellings.push_back(testing::upperCase(testing::unixDriveForm(file)));
    for (const fs::path& spelling : spellings) {
        EXPECT_EQ(fileIdentity(spelling), identity) << spelling.string();
    }
    EXPECT_NE(fileIdentity(dir / "Copy" / "dota2.exe"), identity);
    EXPECT_NE(fileIdentity(dir / "Game"), identity);  // folders have identities too
}

TEST(FileIdentityWin32, FilesThatCannotBeExaminedFailWithTheSystemError) {
    testing::TempDir dir;
    struct Case {
        fs::path path;
        int error;
    };
    const Case cases[] = {
        {dir / "absent.exe", ERROR_FILE_NOT_FOUND},
        {dir / "absent" / "dota2.exe", ERROR_PATH_NOT_FOUND},
        {fs::path(std::wstring(L"C:\\windows\0\\x", 13)), ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        try {
            fileIdentity(c.path);
            ADD_FAILURE() << "no failure for " << c.path.string();
        } catch (const fs::filesystem_error& failure) {
            EXPECT_EQ(failure.code(), std::error_code(c.error, std::system_category())) << c.path.string();
            EXPECT_EQ(failure.path1(), c.path);
        }
    }
}

}  // namespace
}  // namespace quorvel
