#include "launch/steam_engine.hpp"

#include "game/steam_discovery.hpp"
#include "support/fake_files.hpp"
#include "support/fake_steam.hpp"
#include "support/fake_steam_client.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace quorvel {
namespace {

using testing::FakeSteamClient;
using testing::messageOf;
using Events = std::vector<std::string>;
using Interface = FakeSteamClient::Interface;

Events operator+(Events first, const Events& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What an opening of the 32-byte fake library does up to the engine.
const Events kThroughTheDigest = {"open", "size", "read 32"};
const Events kThroughTheLoad = kThroughTheDigest + Events{"set SteamAppId=570", "set SteamGameId=570", "load"};
const Events kThroughTheFactory =
    kThroughTheLoad + Events{"export CreateInterface", "CreateInterface CLIENTENGINE_INTERFACE_VERSION005 null"};
const Events kEngineOpened = {"engine 0", "engine 3 (17)", "engine 13 (23, 17)"};
const Events kClosed = {"engine 6 (17, 23)", "engine 1 (17)", "free", "close"};

constexpr std::uint64_t k64MiB = 67'108'864;

// A Steam folder on disk holding a library file (only its path matters: the fake serves the
// bytes), Steam's registry value naming it with a detour, and the fake library.
struct Rig {
    explicit Rig(const testing::TempDir& dir) {
        std::filesystem::create_directories(dir / "Steam");
        testing::writeFile(dir / "Steam" / "steamclient64.dll", "MZ");
        registry.path = (dir / "Steam" / ".." / "Steam").wstring();
        libraryPath = LocalFiles().canonical(dir / "Steam" / "steamclient64.dll");
    }

    testing::FakeSteamRegistry registry;
    testing::FakeFiles files;
    FakeSteamClient steam;
    SteamEngineAccess access{registry, files, steam, steam, steam};
    std::filesystem::path libraryPath;
};

class SteamEngineTest : public ::testing::Test {
protected:
    testing::TempDir dir;
};

TEST_F(SteamEngineTest, OpensWithEveryCheckSendsAndClosesInReverseOnce) {
    Rig rig(dir);
    SteamEngineSession session = openSteamEngine(rig.access, rig.steam.pin());
    EXPECT_EQ(rig.steam.events, kThroughTheFactory + kEngineOpened);
    // Opened and loaded under the canonical path.
    EXPECT_EQ(rig.steam.openedPath, rig.libraryPath);
    EXPECT_EQ(rig.steam.loadedPath, rig.libraryPath);

    rig.steam.events.clear();
    sendConnect(session, "[A:1:123:45]");
    EXPECT_EQ(rig.steam.events, Events{"requests 193 ([A:1:123:45], )"});

    rig.steam.events.clear();
    closeSteamEngine(session);
    EXPECT_EQ(rig.steam.events, kClosed);
    closeSteamEngine(session);
    EXPECT_EQ(rig.steam.events, kClosed);
    EXPECT_THROW(sendConnect(session, "[A:1:123:45]"), std::logic_error);
    EXPECT_EQ(rig.steam.events, kClosed);
}

TEST_F(SteamEngineTest, TheSessionClosesWhenItGoesOutOfScopeAndMovingHandsItOn) {
    Rig rig(dir);
    {
        SteamEngineSession outer = [&] {
            SteamEngineSession inner = openSteamEngine(rig.access, rig.steam.pin());
            return SteamEngineSession(std::move(inner));
        }();
        EXPECT_EQ(rig.steam.events, kThroughTheFactory + kEngineOpened);
        rig.steam.events.clear();
    }
    EXPECT_EQ(rig.steam.events, kClosed);
}

TEST_F(SteamEngineTest, EachFailureNamesItsStepAndReleasesExactlyWhatWasOpened) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> arrange;
        const char* message;
        Events events;
    };
    const Case cases[] = {
        {"no Steam", [](Rig& r) { r.registry.path.reset(); }, kSteamNotFound, {}},
        {"file locked", [](Rig& r) { r.steam.openFails = true; }, kSteamClientFileLocked, {"open"}},
        {"size unknown", [](Rig& r) { r.steam.sizeFails = true; }, kSteamClientSizeAbnormal, {"open", "size", "close"}},
        {"empty file", [](Rig& r) { r.steam.content.clear(); }, kSteamClientSizeAbnormal, {"open", "size", "close"}},
        {"64 MiB and one byte",
         [](Rig& r) { r.steam.zeroPadding = k64MiB + 1 - r.steam.content.size(); },
         kSteamClientSizeAbnormal,
         {"open", "size", "close"}},
        {"read fails", [](Rig& r) { r.steam.failingRead = 1; }, kSteamClientReadFailed,
         kThroughTheDigest + Events{"close"}},
        {"file ends before its size",
         [](Rig& r) { r.steam.sizeOverride = 40; },
         kSteamClientReadFailed,
         {"open", "size", "read 40", "read 8", "close"}},
        {"another build", [](Rig& r) { r.steam.content.back() = 'L'; }, kSteamVersionUnsupported,
         kThroughTheDigest + Events{"close"}},
        {"SteamAppId refused", [](Rig& r) { r.steam.refusedVariable = L"SteamAppId"; }, kSteamContextFailed,
         kThroughTheDigest + Events{"set SteamAppId=570", "close"}},
        {"SteamGameId refused", [](Rig& r) { r.steam.refusedVariable = L"SteamGameId"; }, kSteamContextFailed,
         kThroughTheDigest + Events{"set SteamAppId=570", "set SteamGameId=570", "close"}},
        {"not loaded", [](Rig& r) { r.steam.loadFails = true; }, kSteamClientLoadFailed,
         kThroughTheLoad + Events{"close"}},
        {"no factory", [](Rig& r) { r.steam.factoryMissing = true; }, kSteamFactoryMissing,
         kThroughTheLoad + Events{"export CreateInterface", "free", "close"}},
        {"no engine", [](Rig& r) { r.steam.engineNull = true; }, kSteamEngineUnavailable,
         kThroughTheFactory + Events{"free", "close"}},
        {"engine 0 misplaced", [](Rig& r) { r.steam.misplace(Interface::engine, 0); }, kSteamEngineMismatch,
         kThroughTheFactory + Events{"free", "close"}},
        {"engine 1 misplaced", [](Rig& r) { r.steam.misplace(Interface::engine, 1); }, kSteamEngineMismatch,
         kThroughTheFactory + Events{"free", "close"}},
        {"engine 3 misplaced", [](Rig& r) { r.steam.misplace(Interface::engine, 3); }, kSteamEngineMismatch,
         kThroughTheFactory + Events{"free", "close"}},
        {"engine 6 misplaced", [](Rig& r) { r.steam.misplace(Interface::engine, 6); }, kSteamEngineMismatch,
         kThroughTheFactory + Events{"free", "close"}},
        {"engine 13 misplaced", [](Rig& r) { r.steam.misplace(Interface::engine, 13); }, kSteamEngineMismatch,
         kThroughTheFactory + Events{"free", "close"}},
        {"no connection", [](Rig& r) { r.steam.connection = 0; }, kSteamConnectionFailed,
         kThroughTheFactory + Events{"engine 0", "free", "close"}},
        {"no user", [](Rig& r) { r.steam.user = 0; }, kSteamUserFailed,
         kThroughTheFactory + Events{"engine 0", "engine 3 (17)", "engine 1 (17)", "free", "close"}},
        {"no game-request interface", [](Rig& r) { r.steam.requestsNull = true; }, kSteamEngineMismatch,
         kThroughTheFactory + kEngineOpened + kClosed},
        {"connect request misplaced", [](Rig& r) { r.steam.misplace(Interface::requests, 193); }, kSteamEngineMismatch,
         kThroughTheFactory + kEngineOpened + kClosed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(dir);
        const SteamClientPin pin = rig.steam.pin();  // the pin of the library before it is changed
        c.arrange(rig);
        EXPECT_EQ(messageOf([&] { openSteamEngine(rig.access, pin); }), c.message);
        EXPECT_EQ(rig.steam.events, c.events);
    }
}

TEST_F(SteamEngineTest, AMissingLibraryFailsWithTheFileSystemsErrorBeforeAnythingIsOpened) {
    Rig rig(dir);
    std::filesystem::remove(dir / "Steam" / "steamclient64.dll");
    EXPECT_THROW(openSteamEngine(rig.access, rig.steam.pin()), std::filesystem::filesystem_error);
    EXPECT_TRUE(rig.steam.events.empty());
}

TEST_F(SteamEngineTest, ReadsTheWholeFileInChunksOfAtMostOneMebibyte) {
    Rig rig(dir);
    rig.steam.zeroPadding = 1'048'576;
    {
        const SteamEngineSession session = openSteamEngine(rig.access, rig.steam.pin());
        EXPECT_EQ(Events(rig.steam.events.begin(), rig.steam.events.begin() + 4),
                  (Events{"open", "size", "read 1048576", "read 32"}));
    }

    // A read that brings fewer bytes than asked is followed by one for the rest.
    rig.steam.events.clear();
    rig.steam.zeroPadding = 0;
    rig.steam.bytesPerRead = 10;
    const SteamEngineSession session = openSteamEngine(rig.access, rig.steam.pin());
    EXPECT_EQ(Events(rig.steam.events.begin(), rig.steam.events.begin() + 6),
              (Events{"open", "size", "read 32", "read 22", "read 12", "read 2"}));
}

TEST_F(SteamEngineTest, ALibraryOfExactly64MiBIsReadWholeAndGoesOnToTheDigest) {
    Rig rig(dir);
    const SteamClientPin pin = rig.steam.pin();
    rig.steam.content.clear();
    rig.steam.zeroPadding = k64MiB;
    EXPECT_EQ(messageOf([&] { openSteamEngine(rig.access, pin); }), kSteamVersionUnsupported);
    Events expected{"open", "size"};
    expected.insert(expected.end(), 64, "read 1048576");
    expected.push_back("close");
    EXPECT_EQ(rig.steam.events, expected);
}

TEST_F(SteamEngineTest, TheBuiltInPinIsTheProductionPin) {
    Rig rig(dir);
    EXPECT_EQ(messageOf([&] { openSteamEngine(rig.access); }), kSteamVersionUnsupported);
    EXPECT_EQ(rig.steam.events, kThroughTheDigest + Events{"close"});
}

TEST(CheckSteamClientDigest, AcceptsOnlyThePinnedDigestExactly) {
    const std::string pinned = "caba4826aa3501039d095aee1843a6bfb270fb43a3ab4455b2d6733223579fee";
    std::string upper = pinned;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(messageOf([&] { checkSteamClientDigest(pinned); }), "(no failure)");
    for (const std::string& digest :
         {std::string(64, '0'), upper, pinned.substr(0, 63), pinned + "0", std::string(), pinned + '\0'}) {
        EXPECT_EQ(messageOf([&] { checkSteamClientDigest(digest); }), kSteamVersionUnsupported) << digest;
    }
}

TEST_F(SteamEngineTest, SendConnectSendsOnlyAWellFormedAddress) {
    Rig rig(dir);
    SteamEngineSession session = openSteamEngine(rig.access, rig.steam.pin());
    rig.steam.events.clear();
    const std::string longest = "[A:1:" + std::string(10, '9') + ":" + std::string(10, '9') + "]";
    for (const std::string& address : {std::string("[A:1:0:0]"), longest}) {
        sendConnect(session, address);
    }
    EXPECT_EQ(rig.steam.events, (Events{"requests 193 ([A:1:0:0], )", "requests 193 (" + longest + ", )"}));

    rig.steam.events.clear();
    const std::string bad[] = {
        std::string(63, '1'),
        "[A:1:123:45]" + std::string(52, ' '),  // 64 bytes
        "[U:1:123:45]",
        "[A:1:" + std::string(11, '1') + ":45]",
        "[A:1:123:" + std::string(11, '1') + "]",
        "[A:2:123:45]",
        " [A:1:123:45]",
        "[A:1:123:45]x",
        "connect [A:1:123:45]",
        std::string("[A:1:123:45]\0", 13),
        "[A:1::45]",
        "",
    };
    for (const std::string& address : bad) {
        EXPECT_EQ(messageOf([&] { sendConnect(session, address); }), kServerAddressInvalid) << address;
    }
    EXPECT_TRUE(rig.steam.events.empty());
}

}  // namespace
}  // namespace quorvel
