// Steam engine sessions through the Windows seams against the stand-in library, with Steam's
// registry value sandboxed.
#include "launch/steam_engine.hpp"
#include "common/scoped_handle_win32.hpp"
#include "outside/steam_registry.hpp"
#include "platform/files.hpp"
#include "platform/locked_file_win32.hpp"
#include "platform/modules_win32.hpp"
#include "platform/process_environment_win32.hpp"
#include "platform/registry_win32.hpp"
#include "stand_in_steam_client_pin.hpp"
#include "support/message_of.hpp"
#include "support/registry_sandbox_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::messageOf;
using Lines = std::vector<std::string>;

Lines operator+(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const Lines kLoaded = {"attach SteamAppId=570 SteamGameId=570",
                       "CreateInterface CLIENTENGINE_INTERFACE_VERSION005 null"};
const Lines kEngineOpened = {"engine 0", "engine 3 (17)", "engine 13 (23, 17)"};
const Lines kReleased = {"engine 6 (17, 23)", "engine 1 (17)"};

std::optional<std::wstring> environmentValue(const wchar_t* name) {
    wchar_t value[64] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 64);
    if (length == 0 || length >= 64) return std::nullopt;
    return std::wstring(value, length);
}

// Whether someone else could open the file with `access` now, sharing everything.
bool othersCanOpen(const fs::path& path, DWORD access) {
    const ScopedKernelHandle file(CreateFileW(path.c_str(), access,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

class SteamEngineWin32 : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::RegistrySandbox sandbox;
    Win32Registry platformRegistry;
    SteamRegistryReader registry{platformRegistry};
    LocalFiles files;
    Win32LockedFileOpener lockedFiles;
    Win32ProcessEnvironment environment;
    Win32ModuleLoader modules;
    SteamEngineAccess access{registry, files, lockedFiles, environment, modules};
    fs::path steam;
    fs::path library;

    void SetUp() override {
        steam = dir / L"Steam 客户端";
        fs::create_directories(steam);
        library = steam / "steamclient64.dll";
        fs::copy_file(testing::buildFolder() / "stand-ins" / "steamclient64.dll", library);
        sandbox.setString(L"Software\\Valve\\Steam", L"SteamPath", steam.wstring());
        // Each test starts from a process that never set the game context.
        SetEnvironmentVariableW(L"SteamAppId", nullptr);
        SetEnvironmentVariableW(L"SteamGameId", nullptr);
    }

    // What the stand-in recorded, and a fresh record from here on.
    Lines takeCalls() {
        const fs::path log = steam / "steamclient64-calls.txt";
        if (!fs::exists(log)) return {};
        std::istringstream text(testing::readFile(log));
        fs::remove(log);
        Lines lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    void setKnobs(const std::string& text) { testing::writeFile(steam / "steamclient64-knobs.txt", text); }

    bool libraryLoaded() const { return GetModuleHandleW(library.c_str()) != nullptr; }
};

TEST_F(SteamEngineWin32, TheStandInPinMirrorsThePinnedLayout) {
    const SteamClientPin& standIn = config::kStandInSteamClientPin;
    const SteamClientPin& production = kProductionSteamClientPin;
    EXPECT_EQ(standIn.digest.size(), 64u);
    EXPECT_NE(standIn.digest, production.digest);
    EXPECT_EQ(standIn.openConnection, production.openConnection);
    EXPECT_EQ(standIn.releaseConnection, production.releaseConnection);
    EXPECT_EQ(standIn.attachUser, production.attachUser);
    EXPECT_EQ(standIn.releaseUser, production.releaseUser);
    EXPECT_EQ(standIn.gameRequests, production.gameRequests);
    EXPECT_EQ(standIn.connectRequest, production.connectRequest);
}

TEST_F(SteamEngineWin32, ASessionHoldsTheLibraryFileUntilItIsClosed) {
    SteamEngineSession session = openSteamEngine(access, config::kStandInSteamClientPin);
    EXPECT_EQ(takeCalls(), kLoaded + kEngineOpened);
    EXPECT_EQ(environmentValue(L"SteamAppId"), L"570");
    EXPECT_EQ(environmentValue(L"SteamGameId"), L"570");
    EXPECT_TRUE(libraryLoaded());
    EXPECT_TRUE(othersCanOpen(library, GENERIC_READ));
    EXPECT_FALSE(othersCanOpen(library, GENERIC_WRITE));
    EXPECT_FALSE(othersCanOpen(library, DELETE));
    EXPECT_FALSE(DeleteFileW(library.c_str()));

    sendConnect(session, "[A:1:123:45]");
    EXPECT_EQ(takeCalls(), Lines{"requests 193 ([A:1:123:45], )"});

    closeSteamEngine(session);
    EXPECT_EQ(takeCalls(), kReleased + Lines{"detach"});
    EXPECT_FALSE(libraryLoaded());
    EXPECT_TRUE(othersCanOpen(library, GENERIC_WRITE));
    EXPECT_TRUE(DeleteFileW(library.c_str()));
    closeSteamEngine(session);
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(SteamEngineWin32, TheStandInsKnobsFailTheSessionAtTheirStep) {
    struct Case {
        const char* knobs;
        const char* message;
        Lines calls;
    };
    const Case cases[] = {
        {"engine=null", kSteamEngineUnavailable, kLoaded + Lines{"detach"}},
        {"misplace=engine:0", kSteamEngineMismatch, kLoaded + Lines{"detach"}},
        {"misplace=engine:1", kSteamEngineMismatch, kLoaded + Lines{"detach"}},
        {"misplace=engine:3", kSteamEngineMismatch, kLoaded + Lines{"detach"}},
        {"misplace=engine:6", kSteamEngineMismatch, kLoaded + Lines{"detach"}},
        {"misplace=engine:13", kSteamEngineMismatch, kLoaded + Lines{"detach"}},
        {"connection=0", kSteamConnectionFailed, kLoaded + Lines{"engine 0", "detach"}},
        {"user=0", kSteamUserFailed, kLoaded + Lines{"engine 0", "engine 3 (17)", "engine 1 (17)", "detach"}},
        {"requests=null", kSteamEngineMismatch, kLoaded + kEngineOpened + kReleased + Lines{"detach"}},
        {"misplace=requests:193", kSteamEngineMismatch, kLoaded + kEngineOpened + kReleased + Lines{"detach"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.knobs);
        setKnobs(std::string(c.knobs) + "\r\n");
        EXPECT_EQ(messageOf([&] { openSteamEngine(access, config::kStandInSteamClientPin); }), c.message);
        EXPECT_EQ(takeCalls(), c.calls);
        EXPECT_FALSE(libraryLoaded());
        EXPECT_TRUE(othersCanOpen(library, GENERIC_WRITE));
    }
}

TEST_F(SteamEngineWin32, AnotherBuildIsRefusedBeforeTheContextIsSetOrTheLibraryLoaded) {
    // The built-in pin of the test programs is the production pin, which the stand-in is not.
    EXPECT_EQ(messageOf([&] { openSteamEngine(access); }), kSteamVersionUnsupported);
    EXPECT_EQ(environmentValue(L"SteamAppId"), std::nullopt);
    EXPECT_EQ(environmentValue(L"SteamGameId"), std::nullopt);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_FALSE(libraryLoaded());
    EXPECT_TRUE(othersCanOpen(library, GENERIC_WRITE));
}

// Tries to change the library from outside each time the session reads it: writing to it, moving
// another file over it and deleting it.
class ChangesDuringTheRead final : public LockedFileOpener {
public:
    ChangesDuringTheRead(LockedFileOpener& real, fs::path other) : real_(real), other_(std::move(other)) {}

    std::unique_ptr<LockedFile> open(const fs::path& path) override {
        std::unique_ptr<LockedFile> file = real_.open(path);
        if (!file) return nullptr;
        return std::make_unique<File>(*this, std::move(file), path);
    }

    int reads = 0;
    std::vector<std::string> changesMade;

private:
    class File final : public LockedFile {
    public:
        File(ChangesDuringTheRead& owner, std::unique_ptr<LockedFile> file, fs::path path)
            : owner_(owner), file_(std::move(file)), path_(std::move(path)) {}
        std::optional<std::uint64_t> size() override { return file_->size(); }
        std::optional<std::size_t> read(char* buffer, std::size_t count) override {
            owner_.tryToChange(path_);
            return file_->read(buffer, count);
        }

    private:
        ChangesDuringTheRead& owner_;
        std::unique_ptr<LockedFile> file_;
        fs::path path_;
    };

    void tryToChange(const fs::path& path) {
        ++reads;
        const ScopedKernelHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (writer && WriteFile(writer.get(), "XX", 2, &written, nullptr)) changesMade.push_back("written");
        if (MoveFileExW(other_.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) changesMade.push_back("replaced");
        if (DeleteFileW(path.c_str())) changesMade.push_back("deleted");
    }

    LockedFileOpener& real_;
    fs::path other_;
};

TEST_F(SteamEngineWin32, NobodyChangesTheLibraryWhileItIsReadSoTheHashedBytesAreLoaded) {
    const std::string original = testing::readFile(library);
    const fs::path other = steam / "steamclient64.new";
    testing::writeFile(other, "MZ another build");
    ChangesDuringTheRead interfering(lockedFiles, other);
    const SteamEngineAccess changing{registry, files, interfering, environment, modules};
    SteamEngineSession session = openSteamEngine(changing, config::kStandInSteamClientPin);
    EXPECT_GE(interfering.reads, 1);
    EXPECT_TRUE(interfering.changesMade.empty()) << interfering.changesMade.front();
    EXPECT_EQ(takeCalls(), kLoaded + kEngineOpened);
    closeSteamEngine(session);
    EXPECT_EQ(testing::readFile(library), original);
    EXPECT_EQ(testing::readFile(other), "MZ another build");
}

TEST_F(SteamEngineWin32, ALibraryOpenForWritingCannotBeChecked) {
    ScopedKernelHandle writer(CreateFileW(library.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(messageOf([&] { openSteamEngine(access, config::kStandInSteamClientPin); }), kSteamClientFileLocked);
    writer.reset();
    EXPECT_TRUE(takeCalls().empty());
}

}  // namespace
}  // namespace quorvel
