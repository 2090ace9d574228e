#include "game/steam_discovery.hpp"
#include "common/text.hpp"
#include "support/fake_files.hpp"
#include "support/fake_registry.hpp"
#include "support/fake_steam.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <regex>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::FakeFiles;
using testing::FakeSteamRegistry;
using testing::TempDir;

// The reading of library paths as first written: ECMAScript regex matches, then each pair of
// backslashes replaced by one, resuming at the backslash just written.
std::vector<std::wstring> referenceLibraryFolders(const std::string& text) {
    static const std::regex pattern(R"re("path"\s*"([^"\r\n]+)")re");
    std::vector<std::wstring> folders;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        std::string value = (*it)[1].str();
        for (std::size_t at = value.find("\\\\"); at != std::string::npos; at = value.find("\\\\", at)) {
            value.replace(at, 2, "\\");
        }
        folders.push_back(toWide(value));
    }
    return folders;
}

TEST(LibraryFolders, AgreesWithThePatternOnEdgeCases) {
    const std::vector<std::pair<std::string, std::vector<std::wstring>>> cases = {
        {R"("path" "D:\\SteamLibrary")", {L"D:\\SteamLibrary"}},
        {R"("path"		"D:\\Games\\Steam Library\\")", {L"D:\\Games\\Steam Library\\"}},
        {"\"path\"\r\n\t \v\f\"x\"", {L"x"}},
        {R"("path""x")", {L"x"}},
        {R"("path" "")", {}},
        {R"("path" "" "path" "y")", {L"y"}},
        {"\"path\" \"a\nb\"", {}},
        {"\"path\" \"a\rb\"", {}},
        {R"("path" "unterminated)", {}},
        {R"("PATH" "x" "Path" "y" "paths" "z" path "w")", {}},
        {R"("path" "path" "y")", {L"path"}},
        {R"("path" "a""path" "b")", {L"a", L"b"}},
        {R"("path" "a"path" "b")", {L"a"}},
        {R"(""path" "x")", {L"x"}},
        {R"("path" x "path" "y")", {L"y"}},
        {R"("path" "\\\\server\\share")", {L"\\server\\share"}},
        {R"("path" "a\\\b\c\\\\\d")", {L"a\\b\\c\\d"}},
        {R"("path" "\\")", {L"\\"}},
        {"\"path\" \"\xE6\xB8\xB8\xE6\x88\x8F\"", {L"\u6E38\u620F"}},
        {R"("libraryfolders" { "0" { "path" "C:\\Program Files (x86)\\Steam" "label" "" "apps" { "570" "1" } }
            "1" { "path" "E:\\Lib" } })",
         {L"C:\\Program Files (x86)\\Steam", L"E:\\Lib"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(referenceLibraryFolders(text), expected) << text;
        EXPECT_EQ(libraryFolders(text), expected) << text;
    }
}

TEST(LibraryFolders, AgreesWithThePatternOnRandomText) {
    static constexpr std::string_view kPieces[] = {
        "\"path\"", "\"", " ", "\t", "\n", "\r", "\\", "\\\\", "a", "path", std::string_view("\0", 1)};
    std::mt19937 random(4);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (std::uint32_t pieces = random() % 24; pieces > 0; --pieces) text += kPieces[random() % std::size(kPieces)];
        ASSERT_EQ(libraryFolders(text), referenceLibraryFolders(text)) << text;
    }
}

TEST(LibraryFolders, HandlesLongValuesAndManyKeys) {
    const std::string longValue(4'000'000, 'a');
    EXPECT_EQ(libraryFolders("\"path\" \"" + longValue + "\""), std::vector<std::wstring>{toWide(longValue)});

    // Each key is the value of the one before it.
    std::string manyKeys;
    for (int i = 0; i < 200'000; ++i) manyKeys += "\"path\" ";
    EXPECT_EQ(libraryFolders(manyKeys), std::vector<std::wstring>(100'000, L"path"));
}

TEST(LibraryFolders, IllFormedUtf8FailsTheWholeList) {
    EXPECT_EQ(testing::messageOf([] { libraryFolders("\"path\" \"C:\\\\ok\" \"path\" \"D:\\\\bad\xC0\xAF\""); }),
              "Invalid UTF-8");
}

// A Steam folder and libraries in a temp folder; any of them can hold the game.
class DotaDiscovery : public ::testing::Test {
protected:
    TempDir dir;
    FakeSteamRegistry registry;
    FakeFiles files;

    DotaDiscovery() { registry.path = (dir / "Steam").wstring(); }

    static fs::path dotaFolder(const fs::path& library) { return library / "steamapps" / "common" / "dota 2 beta"; }
    static fs::path executable(const fs::path& library) {
        return dotaFolder(library) / "game" / "bin" / "win64" / "dota2.exe";
    }
    void installDota(const fs::path& library) { testing::writeFile(executable(library), "MZ"); }

    // The library list with each folder written as Steam writes it: backslashes doubled.
    void writeLibraryList(const std::vector<fs::path>& libraries, const std::string& extra = "") {
        std::string text = "\"libraryfolders\"\n{\n";
        for (std::size_t i = 0; i < libraries.size(); ++i) {
            std::string escaped;
            for (const char c : toNarrow(libraries[i].wstring())) {
                escaped += c;
                if (c == '\\') escaped += c;
            }
            text += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + escaped + "\"\n\t}\n";
        }
        testing::writeFile(dir / "Steam" / "steamapps" / "libraryfolders.vdf", text + extra + "}\n");
    }

    std::vector<std::string> regularFileChecks() const {
        std::vector<std::string> checks;
        for (const std::string& access : files.accesses) {
            if (access.starts_with("isRegularFile ")) checks.push_back(access.substr(14));
        }
        return checks;
    }
};

TEST_F(DotaDiscovery, NoSteamFailsWithoutReadingTheLibraryList) {
    for (const std::optional<std::wstring>& value : {std::optional<std::wstring>(), std::optional<std::wstring>(L"")}) {
        registry.path = value;
        EXPECT_EQ(testing::messageOf([&] { findSteamPath(registry); }), kSteamNotFound);
        EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kSteamNotFound);
        EXPECT_TRUE(files.accesses.empty());
    }
}

TEST_F(DotaDiscovery, SteamPathIsReturnedAsStored) {
    registry.path = L"c:/program files (x86)\\Steam\\";
    EXPECT_EQ(findSteamPath(registry), L"c:/program files (x86)\\Steam\\");
}

TEST_F(DotaDiscovery, FindsDotaInTheSteamFolderAlsoListedAsALibrary) {
    installDota(dir / "Steam");
    writeLibraryList({dir / "Steam", dir / "Other"});
    EXPECT_EQ(findDotaRoot(registry, files), LocalFiles().canonical(dotaFolder(dir / "Steam")));
    EXPECT_EQ(regularFileChecks(), std::vector<std::string>{executable(dir / "Steam").generic_string()});
}

TEST_F(DotaDiscovery, TriesEveryCandidateInOrderWithDuplicates) {
    installDota(dir / "Second");
    writeLibraryList({dir / "First", dir / "First", dir / "Second", dir / "Third"});
    installDota(dir / "Third");
    EXPECT_EQ(findDotaRoot(registry, files), LocalFiles().canonical(dotaFolder(dir / "Second")));
    EXPECT_EQ(regularFileChecks(), (std::vector<std::string>{
                                       executable(dir / "Steam").generic_string(),
                                       executable(dir / "First").generic_string(),
                                       executable(dir / "First").generic_string(),
                                       executable(dir / "Second").generic_string(),
                                   }));
}

TEST_F(DotaDiscovery, AnExecutablePathThatIsAFolderDoesNotQualify) {
    fs::create_directories(executable(dir / "First"));
    installDota(dir / "Second");
    writeLibraryList({dir / "First", dir / "Second"});
    EXPECT_EQ(findDotaRoot(registry, files), LocalFiles().canonical(dotaFolder(dir / "Second")));
}

TEST_F(DotaDiscovery, WithoutALibraryListOnlyTheSteamFolderIsTried) {
    installDota(dir / "Steam");
    EXPECT_EQ(findDotaRoot(registry, files), LocalFiles().canonical(dotaFolder(dir / "Steam")));

    fs::remove_all(dir / "Steam");
    files.accesses.clear();
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kDotaNotFound);
    EXPECT_EQ(regularFileChecks().size(), 1u);
}

TEST_F(DotaDiscovery, NoInstallationAnywhereFails) {
    writeLibraryList({dir / "First", dir / "Second"}, "\"path\" \"\"\n");
    fs::create_directories(dotaFolder(dir / "Second"));
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kDotaNotFound);
    EXPECT_EQ(regularFileChecks().size(), 3u);
}

TEST_F(DotaDiscovery, ALibraryListOf64MiBIsSearchedToItsEnd) {
    const fs::path list = dir / "Steam" / "steamapps" / "libraryfolders.vdf";
    fs::create_directories(list.parent_path());
    std::string entry = "\"path\" \"";
    for (const char c : toNarrow((dir / "Last").wstring())) entry += c == '\\' ? std::string(2, c) : std::string(1, c);
    entry += "\"\n";
    testing::writeSparseFile(list, std::uintmax_t{64} << 20, entry);
    installDota(dir / "Last");
    EXPECT_EQ(findDotaRoot(registry, files), LocalFiles().canonical(dotaFolder(dir / "Last")));

    // Nothing but zeros: only the Steam folder is a candidate.
    testing::writeSparseFile(list, std::uintmax_t{64} << 20);
    files.accesses.clear();
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kDotaNotFound);
    EXPECT_EQ(regularFileChecks(), std::vector<std::string>{executable(dir / "Steam").generic_string()});
}

TEST_F(DotaDiscovery, IllFormedUtf8InALibraryPathFailsBeforeAnyCandidateIsTried) {
    installDota(dir / "Steam");
    testing::writeFile(dir / "Steam" / "steamapps" / "libraryfolders.vdf", "\"path\" \"D:\\\\\xFF\"");
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), "Invalid UTF-8");
    EXPECT_TRUE(regularFileChecks().empty());
}

TEST_F(DotaDiscovery, ResultIsCanonical) {
    installDota(dir / "Lib");
    // A library written with redundant components still gives the plain absolute folder.
    const fs::path spelled = dir / "Lib" / "." / "sub" / "..";
    fs::create_directories(dir / "Lib" / "sub");
    writeLibraryList({spelled});
    const fs::path root = findDotaRoot(registry, files);
    EXPECT_TRUE(root.is_absolute());
    EXPECT_EQ(root, LocalFiles().canonical(dotaFolder(dir / "Lib")));
    EXPECT_EQ(root.filename(), "dota 2 beta");
    EXPECT_EQ(root.parent_path().parent_path().parent_path(), LocalFiles().canonical(dir / "Lib"));
}

#ifndef _WIN32
// Links need the Windows tests' own arrangements under Wine (see tests/win32).
TEST_F(DotaDiscovery, LinksAreResolved) {
    installDota(dir / "Real");
    fs::create_directory_symlink(dir / "Real", dir / "Linked");
    fs::create_directories(dir / "Other" / "steamapps" / "common");
    fs::create_directory_symlink(dotaFolder(dir / "Real"), dotaFolder(dir / "Other"));
    writeLibraryList({dir / "Linked"});
    EXPECT_EQ(findDotaRoot(registry, files), fs::canonical(dir.path()).append("Real/steamapps/common/dota 2 beta"));

    writeLibraryList({dir / "Other"});
    EXPECT_EQ(findDotaRoot(registry, files), fs::canonical(dir.path()).append("Real/steamapps/common/dota 2 beta"));
}

TEST_F(DotaDiscovery, AnExecutableLinkCountsAsTheFileItNames) {
    testing::writeFile(dir / "elsewhere.exe", "MZ");
    fs::create_directories(executable(dir / "Steam").parent_path());
    fs::create_symlink(dir / "elsewhere.exe", executable(dir / "Steam"));
    fs::create_directories(executable(dir / "Dangling").parent_path());
    fs::create_symlink(dir / "absent.exe", executable(dir / "Dangling"));
    EXPECT_EQ(findDotaRoot(registry, files), fs::canonical(dotaFolder(dir / "Steam")));
    registry.path = (dir / "Dangling").wstring();
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kDotaNotFound);
}

TEST_F(DotaDiscovery, ALibraryListThatOpensButCannotBeReadCountsAsEmpty) {
    // Opening /proc/self/mem succeeds; reading at offset 0 fails with EIO.
    const fs::path list = dir / "Steam" / "steamapps" / "libraryfolders.vdf";
    fs::create_directories(list.parent_path());
    fs::create_symlink("/proc/self/mem", list);
    EXPECT_EQ(LocalFiles().readWhole(list), std::nullopt);

    installDota(dir / "Steam");
    EXPECT_EQ(findDotaRoot(registry, files), fs::canonical(dotaFolder(dir / "Steam")));
    fs::remove_all(dotaFolder(dir / "Steam"));
    files.accesses.clear();
    EXPECT_EQ(testing::messageOf([&] { findDotaRoot(registry, files); }), kDotaNotFound);
    EXPECT_EQ(regularFileChecks(), std::vector<std::string>{executable(dir / "Steam").generic_string()});
}
#endif

// Steam's two values, each from its own key, by its own name and type; the path up to 65,536 bytes
// with its terminator.
TEST(SteamRegistryReader, ReadsSteamsValuesFromTheirKeys) {
    const std::wstring steamKey = L"Software\\Valve\\Steam";
    const std::wstring activeKey = L"Software\\Valve\\Steam\\ActiveProcess";
    const std::wstring longest(32'767, L's');
    struct Case {
        const char* what;
        std::function<void(testing::FakeRegistry&)> store;
        std::optional<std::wstring> path;
        std::optional<std::uint32_t> user;
    };
    const std::vector<Case> cases = {
        {"nothing stored", [](auto&) {}, std::nullopt, std::nullopt},
        {"both stored",
         [&](auto& r) {
             r.values[steamKey][L"SteamPath"] = L"D:\\游戏\\Steam";
             r.dwords[activeKey][L"ActiveUser"] = 22202;
         },
         L"D:\\游戏\\Steam", 22202u},
        {"the longest path", [&](auto& r) { r.values[steamKey][L"SteamPath"] = longest; }, longest, std::nullopt},
        {"a path too long", [&](auto& r) { r.values[steamKey][L"SteamPath"] = longest + L"s"; }, std::nullopt,
         std::nullopt},
        {"each value of the other type",
         [&](auto& r) {
             r.dwords[steamKey][L"SteamPath"] = 7;
             r.values[activeKey][L"ActiveUser"] = L"22202";
         },
         std::nullopt, std::nullopt},
        {"each value under the other key",
         [&](auto& r) {
             r.values[activeKey][L"SteamPath"] = L"C:\\Steam";
             r.dwords[steamKey][L"ActiveUser"] = 22202;
         },
         std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::FakeRegistry stored;
        c.store(stored);
        const SteamRegistryReader reader(stored);
        EXPECT_EQ(reader.steamPath(), c.path);
        EXPECT_EQ(reader.activeUser(), c.user);
    }
}

}  // namespace
}  // namespace quorvel
