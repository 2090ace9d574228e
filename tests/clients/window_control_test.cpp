#include "clients/window_control.hpp"
#include "clients/client_census.hpp"
#include "support/fake_clocks.hpp"
#include "support/fake_process_table.hpp"
#include "support/fake_windows.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::FakeProcess;
using testing::FakeProcessTable;
using testing::FakeWindowSystem;
using testing::messageOf;
using testing::RecordingSleeper;
using testing::TempDir;
using Calls = std::vector<std::string>;

constexpr std::uint32_t kDotaPid = 4242;
constexpr std::uint32_t kCaller = 1;
constexpr std::uint32_t kDotaThread = 12;
constexpr std::uint32_t kOtherThread = 31;
constexpr WindowHandle kDota = 7;
constexpr WindowHandle kOther = 30;  // another program's window, in front at the start

WindowInfo window(WindowHandle handle, std::uint32_t pid, std::wstring title, bool visible = true,
                  std::uint32_t thread = kDotaThread) {
    return WindowInfo{handle, pid, thread, visible, std::move(title)};
}

TEST(FindDotaWindows, KeepsVisibleWindowsOfTheProcessTitledExactlyDota2) {
    FakeWindowSystem windows;
    windows.windows = {
        window(1, kDotaPid, L"Dota 2"),        window(2, kDotaPid, L"Dota 2 - Workshop Tools"),
        window(3, kDotaPid, L"dota 2"),        window(4, kDotaPid, L""),
        window(5, kDotaPid, L"Dota 2", false), window(6, kDotaPid + 1, L"Dota 2"),
        window(8, kDotaPid, L" Dota 2"),       window(9, kDotaPid, L"Dota 2"),
    };
    EXPECT_EQ(findDotaWindows(windows, kDotaPid), (std::vector<WindowHandle>{1, 9}));
    EXPECT_EQ(findDotaWindows(windows, kDotaPid + 1), std::vector<WindowHandle>{6});
    EXPECT_TRUE(findDotaWindows(windows, 99).empty());
}

TEST(RequestDotaClose, PostsToEachWindowInOrder) {
    FakeWindowSystem windows;
    requestDotaClose(windows, {});
    EXPECT_TRUE(windows.calls.empty());
    requestDotaClose(windows, {9, 7});
    EXPECT_EQ(windows.calls, (Calls{"close 9", "close 7"}));
}

// A client read from a fake table, its Dota root on disk, its window and another program's
// window in front. Waits go into the window system's log, so that the order of both shows.
class BringDotaToFront : public ::testing::Test {
protected:
    BringDotaToFront() {
        testing::writeFile(exe, "MZ dota");
        FakeProcess p;
        p.pid = kDotaPid;
        p.imagePath = exe.wstring();
        p.creationTime = 77;
        p.commandLine = L"dota2.exe +connect [A:1:123:45]";
        table.add(p);
        client = readProcessInfo(table, kDotaPid);
        windows.callerThread = kCaller;
        windows.windows = {window(kOther, 99, L"Browser", true, kOtherThread), window(kDota, kDotaPid, L"Dota 2")};
        windows.foreground = kOther;
        sleeper.log = &windows.calls;
    }

    bool bring() { return bringDotaToFront(table, windows, sleeper, client, root); }
    int verifications() const { return table.opened - 1; }

    TempDir temp;
    fs::path root = temp / "dota";
    fs::path exe = root / "game" / "bin" / "win64" / "dota2.exe";
    FakeProcessTable table;
    DotaProcess client;
    FakeWindowSystem windows;
    RecordingSleeper sleeper;
};

TEST_F(BringDotaToFront, SetsTheWindowForegroundAndWaitsForItToSettle) {
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "setForeground 7", "sleep 100"}));
    EXPECT_EQ(verifications(), 1);
}

TEST_F(BringDotaToFront, RestoresAMinimisedWindowFirst) {
    windows.minimised = {kDota};
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "restore 7", "setForeground 7", "sleep 100"}));
    EXPECT_TRUE(windows.minimised.empty());
}

TEST_F(BringDotaToFront, AWindowAlreadyInFrontNeedsNothingMore) {
    windows.foreground = kDota;
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, Calls{"enumerate"});
    EXPECT_TRUE(sleeper.waits.empty());
}

TEST_F(BringDotaToFront, TwoWindowsAreNeitherRaisedNorAwaited) {
    windows.windows.push_back(window(8, kDotaPid, L"Dota 2"));
    EXPECT_FALSE(bring());
    EXPECT_EQ(windows.calls, Calls{"enumerate"});
    EXPECT_EQ(windows.foreground, kOther);
}

TEST_F(BringDotaToFront, AttachesToTheWindowsThreadsWhenTheFirstAttemptIsRefused) {
    windows.foregroundResults = {false};
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "setForeground 7", "sleep 100", "peek", "attach 12", "attach 31",
                                    "setForeground 7", "detach 12", "detach 31"}));
    EXPECT_EQ(windows.foreground, kDota);
}

TEST_F(BringDotaToFront, ReportsAWindowThatStaysBehind) {
    windows.foregroundByDefault = false;
    EXPECT_FALSE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "setForeground 7", "sleep 100", "peek", "attach 12", "attach 31",
                                    "setForeground 7", "detach 12", "detach 31"}));
    EXPECT_EQ(verifications(), 1);
}

TEST_F(BringDotaToFront, AttachesInAscendingThreadOrderAndDetachesInTheSameOrder) {
    windows.windows[0].ownerThread = 5;
    windows.foregroundResults = {false};
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "setForeground 7", "sleep 100", "peek", "attach 5", "attach 12",
                                    "setForeground 7", "detach 5", "detach 12"}));
}

TEST_F(BringDotaToFront, AttachesOnlyToOtherThreadsThatExistAndOnlyOnce) {
    struct Case {
        const char* what;
        std::uint32_t foregroundThread;  // owner of the window in front
        std::uint32_t dotaThread;
        WindowHandle foreground;
        Calls attachment;  // the calls between "peek" and the last "setForeground"
    };
    const Case cases[] = {
        {"same thread owns both", kDotaThread, kDotaThread, kOther, {"attach 12"}},
        {"the caller owns the front window", kCaller, kDotaThread, kOther, {"attach 12"}},
        {"the caller owns the Dota window", kOtherThread, kCaller, kOther, {"attach 31"}},
        {"no window in front", kOtherThread, kDotaThread, 0, {"attach 12"}},
        {"the caller owns both", kCaller, kCaller, kOther, {}},
    };
    // The foreground window's reads are logged too: the result is read only once every
    // attachment has been undone.
    windows.logForegroundReads = true;
    for (const Case& c : cases) {
        windows.calls.clear();
        windows.windows[0].ownerThread = c.foregroundThread;
        windows.windows[1].ownerThread = c.dotaThread;
        windows.foreground = c.foreground;
        windows.foregroundResults = {false};
        EXPECT_TRUE(bring()) << c.what;
        Calls expected = {"enumerate",  "foreground", "setForeground 7", "sleep 100", "foreground",
                          "foreground", "peek"};
        expected.insert(expected.end(), c.attachment.begin(), c.attachment.end());
        expected.push_back("setForeground 7");
        for (const std::string& attach : c.attachment) expected.push_back("detach" + attach.substr(6));
        expected.push_back("foreground");
        EXPECT_EQ(windows.calls, expected) << c.what;
    }
}

TEST_F(BringDotaToFront, DetachesOnlyWhatWasAttached) {
    windows.refusedAttachments = {kOtherThread};
    windows.foregroundResults = {false};
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "setForeground 7", "sleep 100", "peek", "attach 12", "attach 31",
                                    "setForeground 7", "detach 12"}));
}

TEST_F(BringDotaToFront, WaitsForAWindowThatAppearsLater) {
    const WindowInfo dota = windows.windows[1];
    windows.windows.pop_back();
    sleeper.onSleep = [&](std::size_t sleeps) {
        if (sleeps == 3) windows.windows.push_back(dota);
    };
    EXPECT_TRUE(bring());
    EXPECT_EQ(windows.calls, (Calls{"enumerate", "sleep 250", "enumerate", "sleep 250", "enumerate", "sleep 250",
                                    "enumerate", "setForeground 7", "sleep 100"}));
    EXPECT_EQ(verifications(), 4);  // the client is checked again in every pass
}

TEST_F(BringDotaToFront, GivesUpAfterEightyPassesWithoutAWindow) {
    windows.windows.pop_back();
    EXPECT_FALSE(bring());
    EXPECT_EQ(sleeper.waits, std::vector<std::uint32_t>(80, 250));
    EXPECT_EQ(std::count(windows.calls.begin(), windows.calls.end(), "enumerate"), 80);
    EXPECT_EQ(verifications(), 80);
}

TEST_F(BringDotaToFront, FailsWhenTheClientChangesWhileItsWindowIsAwaited) {
    struct Case {
        const char* what;
        std::function<void(FakeProcessTable&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"pid reused", [](FakeProcessTable& t) { t.find(kDotaPid)->creationTime += 1; }, kClientChanged},
        {"exited", [](FakeProcessTable& t) { t.processes.clear(); }, kProcessAccessDenied},
    };
    const FakeProcess original = table.processes.front();
    windows.windows.pop_back();
    for (const Case& c : cases) {
        table.processes = {original};
        sleeper.waits.clear();
        sleeper.onSleep = [&](std::size_t sleeps) {
            if (sleeps == 2) c.change(table);
        };
        EXPECT_EQ(messageOf([&] { bring(); }), c.message) << c.what;
        EXPECT_EQ(sleeper.waits.size(), 2u) << c.what;
        EXPECT_EQ(table.openNow(), 0) << c.what;
    }
}

TEST_F(BringDotaToFront, ChecksTheClientBeforeTouchingItsWindow) {
    fs::copy_file(exe, temp / "copy.exe");
    table.find(kDotaPid)->imagePath = (temp / "copy.exe").wstring();
    EXPECT_EQ(messageOf([&] { bring(); }), kClientChanged);
    EXPECT_TRUE(windows.calls.empty());
}

}  // namespace
}  // namespace quorvel
