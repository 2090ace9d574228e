// Steam and Dota discovery on real folders of the prefix, with Steam's registry value sandboxed.
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"
#include "game/steam_discovery.hpp"
#include "outside/steam_registry.hpp"
#include "platform/files.hpp"
#include "platform/registry_win32.hpp"
#include "support/message_of.hpp"
#include "support/registry_sandbox_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

std::string escaped(const fs::path& folder) {
    std::string text;
    for (const char c : toNarrow(folder.wstring())) {
        text += c;
        if (c == '\\') text += c;
    }
    return text;
}

void installDota(const fs::path& dotaFolder) {
    testing::writeFile(dotaFolder / "game" / "bin" / "win64" / "dota2.exe", "MZ");
}

class DotaDiscoveryWin32 : public ::testing::Test {
protected:
    testing::RegistrySandbox sandbox;
    Win32Registry platformRegistry;
    SteamRegistryReader registry{platformRegistry};
    LocalFiles files;

    // Steam records its folder as it likes, here in lower case with forward slashes.
    void registerSteam(const fs::path& steamFolder, const std::string& libraryList) {
        sandbox.setString(L"Software\\Valve\\Steam", L"SteamPath", lowerCopy(steamFolder.generic_wstring()));
        testing::writeFile(steamFolder / "steamapps" / "libraryfolders.vdf", libraryList);
    }
};

TEST_F(DotaDiscoveryWin32, FindsTheSecondLibraryInTheFileSystemsSpelling) {
    testing::TempDir dir;
    const fs::path steam = dir / "Steam";
    // Folders spelt in mixed case on disk, named in lower case by the library list.
    installDota(dir / "Library Two" / "SteamApps" / "common" / "Dota 2 Beta");
    fs::create_directories(dir / "Library One" / "steamapps" / "common" / "dota 2 beta" / "game" / "bin" / "win64" /
                           "dota2.exe");
    const fs::path lowerDir = fs::path(lowerCopy(dir.path().wstring()));
    registerSteam(steam, "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + escaped(steam) +
                             "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + escaped(lowerDir / "library one") +
                             "\"\n\t}\n\t\"2\"\n\t{\n\t\t\"path\"\t\t\"" + escaped(lowerDir / "library two") +
                             "\"\n\t}\n}\n");

    const fs::path root = findDotaRoot(registry, files);
    const std::wstring text = root.wstring();
    const std::wstring onDisk = L"\\Library Two\\SteamApps\\common\\Dota 2 Beta";
    EXPECT_TRUE(text.ends_with(onDisk)) << text;
    EXPECT_EQ(root, files.canonical(dir.path()) / L"Library Two\\SteamApps\\common\\Dota 2 Beta");
    ASSERT_GE(text.size(), 3u);
    EXPECT_TRUE(text[1] == L':' && text[2] == L'\\') << text;  // the classic drive form, no \\?\ prefix
    EXPECT_EQ(text.find(L'/'), std::wstring::npos) << text;
}

TEST_F(DotaDiscoveryWin32, NoSteamAndNoDota) {
    const auto failure = [&] { return testing::messageOf([&] { findDotaRoot(registry, files); }); };
    EXPECT_EQ(failure(), kSteamNotFound);
    testing::TempDir dir;
    registerSteam(dir / "Steam", "\"path\" \"" + escaped(dir / "Nowhere") + "\"");
    EXPECT_EQ(failure(), kDotaNotFound);
}

TEST_F(DotaDiscoveryWin32, CanonicalFormOfFilesAndFolders) {
    testing::TempDir dir;
    testing::writeFile(dir / "Folder" / "File.TXT", "x");
    const fs::path folder = files.canonical(dir / "Folder");
    EXPECT_EQ(files.canonical(dir / "FOLDER" / "." / ".." / "folder" / "file.txt"), folder / L"File.TXT");
    EXPECT_EQ(files.canonical(fs::path(dir.path().wstring() + L"/folder/")), folder);
    EXPECT_THROW(files.canonical(dir / "absent"), fs::filesystem_error);
}

// Starts a Unix program, which Wine does like any other; it hands out no process handle that can
// be waited for, so callers watch for the program's effect.
bool startUnixProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring command = program + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    const ScopedKernelHandle thread(process.hThread);
    const ScopedKernelHandle owned(process.hProcess);
    return true;
}

bool visible(const fs::path& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Polls for up to ten seconds.
template <typename Condition>
bool eventually(Condition condition) {
    for (int round = 0; round < 400; ++round) {
        if (condition()) return true;
        Sleep(25);
    }
    return false;
}

// A folder of the build tree, whose Unix path is known, holding a real folder and a Unix symbolic
// link to it. Wine 8's CreateSymbolicLinkW reports success without making a link, so /bin/ln
// makes it. The link is removed first at the end: the standard library's remove_all never ends
// on a folder holding a link whose target is gone.
class LinkedFolder {
public:
    LinkedFolder() {
        static int counter = 0;
        name_ = "link-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        fs::create_directories(real());
    }
    ~LinkedFolder() {
        if (linked_ && startUnixProgram(L"Z:\\bin\\rm", L"-f \"" + toWide(unixPath("Linked")) + L"\"")) {
            eventually([&] { return !visible(link()); });
        }
        if (!visible(link())) {
            std::error_code ignored;
            fs::remove_all(folder(), ignored);
        }
    }
    fs::path folder() const { return testing::buildFolder() / name_; }
    fs::path real() const { return folder() / "Real"; }
    fs::path link() const { return folder() / "Linked"; }

    // Makes the link once `probe`, a path relative to the real folder, exists; false when it
    // cannot be made here.
    bool makeLink(const fs::path& probe) {
        linked_ = startUnixProgram(L"Z:\\bin\\ln",
                                   L"-s \"" + toWide(unixPath("Real")) + L"\" \"" + toWide(unixPath("Linked")) + L"\"");
        return linked_ && eventually([&] { return visible(link() / probe); });
    }

private:
    std::string unixPath(const std::string& leaf) const {
        return std::string(QUORVEL_BINARY_DIR) + "/" + name_ + "/" + leaf;
    }

    std::string name_;
    bool linked_ = false;
};

TEST_F(DotaDiscoveryWin32, ALibraryReachedThroughALinkGivesTheLinksTarget) {
    LinkedFolder folder;
    installDota(folder.real() / "steamapps" / "common" / "dota 2 beta");
    if (!folder.makeLink("steamapps/common/dota 2 beta/game/bin/win64/dota2.exe")) {
        GTEST_SKIP() << "Wine could not start /bin/ln here; links are covered by the native tests";
    }
    testing::TempDir steam;
    registerSteam(steam.path(), "\"path\" \"" + escaped(folder.link()) + "\"");
    const fs::path root = findDotaRoot(registry, files);
    EXPECT_EQ(root.wstring(), folder.real().wstring() + L"\\steamapps\\common\\dota 2 beta");
    // The standard library's own canonical form keeps the link: the reason for the final-path seam.
    EXPECT_NE(fs::canonical(folder.link()), files.canonical(folder.link()));
}

}  // namespace
}  // namespace quorvel
