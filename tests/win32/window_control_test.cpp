// Finding, raising and closing the stand-in client's window through the Win32 seams (needs an X
// display under Wine).
#include "clients/window_control.hpp"
#include "clients/client_census.hpp"
#include "outside/process_table_win32.hpp"
#include "platform/windows_win32.hpp"
#include "support/message_of.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace quorvel {
namespace {

using testing::messageOf;
using testing::StandInDota;

std::wstring titleOf(WindowHandle window) {
    wchar_t title[256] = {};
    GetWindowTextW(reinterpret_cast<HWND>(window), title, 256);
    return title;
}

class WindowControlWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::haveDisplay()) GTEST_SKIP() << "Wine makes windows only with an X display (set DISPLAY)";
    }

    // The census entry of a running stand-in, read with the fallback reader.
    DotaProcess clientOf(const StandInDota& dota) {
        for (const DotaProcess& client : findDotaClients(processes)) {
            if (client.pid == dota.pid()) return client;
        }
        throw std::runtime_error("the stand-in is not in the census");
    }

    testing::OutsideWorldLock lock;
    testing::TempDir dir;
    Win32ProcessTable processes{CommandLineReader::environmentBlockFallback};
    Win32WindowSystem windows;
    SystemSleeper sleeper;
};

TEST_F(WindowControlWin32, OnlyAVisibleWindowTitledExactlyDota2OfThatProcessCounts) {
    StandInDota dota(
        L"-tools --title \"Dota 2 \" --title \"dota 2\" --title \"\" --title \"Dota 2\" --title \"Dota 2 - Tools\" "
        L"--exit-after 60000");
    StandInDota hidden(L"--hidden --exit-after 60000");
    StandInDota other(L"--exit-after 60000");
    for (const StandInDota* stand : {&dota, &hidden, &other}) ASSERT_TRUE(stand->waitUntilReady());

    const std::vector<WindowHandle> found = findDotaWindows(windows, dota.pid());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(titleOf(found[0]), L"Dota 2");
    EXPECT_TRUE(findDotaWindows(windows, hidden.pid()).empty());
    const std::vector<WindowHandle> others = findDotaWindows(windows, other.pid());
    ASSERT_EQ(others.size(), 1u);
    EXPECT_NE(others[0], found[0]);
}

TEST_F(WindowControlWin32, BringsTheMinimisedClientWindowToTheFront) {
    const std::filesystem::path root = dir / "dota 2 beta";
    StandInDota dota(L"-tools -addon dotatxq +connect \"[A:1:123:45]\" --minimised --exit-after 60000",
                     testing::installStandIn(root));
    ASSERT_TRUE(dota.waitUntilReady());
    const DotaProcess client = clientOf(dota);

    EXPECT_TRUE(bringDotaToFront(processes, windows, sleeper, client, root));
    const std::vector<WindowHandle> found = findDotaWindows(windows, dota.pid());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(GetForegroundWindow(), reinterpret_cast<HWND>(found[0]));
    EXPECT_FALSE(IsIconic(reinterpret_cast<HWND>(found[0])));

    // Each pass re-verifies the client first: with the shipped reader that is as far as Wine gets.
    if (testing::underWine()) {
        Win32ProcessTable shipped(CommandLineReader::commandLineInformation);
        EXPECT_EQ(messageOf([&] { bringDotaToFront(shipped, windows, sleeper, client, root); }),
                  kCommandLineUnreadable);
    }
}

TEST_F(WindowControlWin32, TwoDotaWindowsAreNotRaised) {
    const std::filesystem::path root = dir / "dota 2 beta";
    StandInDota dota(L"--title \"Dota 2\" --title \"Dota 2\" --exit-after 60000", testing::installStandIn(root));
    ASSERT_TRUE(dota.waitUntilReady());
    EXPECT_FALSE(bringDotaToFront(processes, windows, sleeper, clientOf(dota), root));
}

TEST_F(WindowControlWin32, RequestedCloseEndsTheClient) {
    const std::filesystem::path record = dir / "record.txt";
    StandInDota dota(L"-tools -vconport 29001 --record \"" + record.wstring() + L"\" --exit-after 60000");
    ASSERT_TRUE(dota.waitUntilReady());
    requestDotaClose(windows, findDotaWindows(windows, dota.pid()));
    EXPECT_EQ(dota.waitForExit(20'000), 0u);
    const std::vector<std::string> lines = testing::recordedLines(record);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("start ")) << lines[0];
    EXPECT_EQ(lines[1], "close Dota 2");
    EXPECT_EQ(lines[2], "exit 0");
}

}  // namespace
}  // namespace quorvel
