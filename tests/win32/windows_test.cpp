// Win32WindowSystem against the stand-in's windows (needs an X display under Wine).
#include "platform/windows_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace quorvel {
namespace {

using testing::StandInDota;

class WindowSystemWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::haveDisplay()) GTEST_SKIP() << "Wine makes windows only with an X display (set DISPLAY)";
    }

    // The stand-in's own windows: Wine gives every GUI process hidden helper windows as well.
    std::vector<WindowInfo> windowsOf(std::uint32_t pid) {
        std::vector<WindowInfo> found;
        for (WindowInfo& window : windows.topLevelWindows()) {
            wchar_t className[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(window.handle), className, 64);
            if (window.ownerPid == pid && std::wstring(className) == L"QuorvelDotaStandIn") {
                found.push_back(std::move(window));
            }
        }
        return found;
    }

    testing::OutsideWorldLock lock;
    testing::TempDir dir;
    Win32WindowSystem windows;
};

TEST_F(WindowSystemWin32, TopLevelWindowsCarryOwnerVisibilityAndTitle) {
    const std::wstring longTitle(200, L'x');
    StandInDota shown(L"-tools --title \"Dota 2\" --title " + longTitle + L" --exit-after 60000");
    StandInDota hidden(L"--hidden --exit-after 60000");
    ASSERT_TRUE(shown.waitUntilReady());
    ASSERT_TRUE(hidden.waitUntilReady());

    const std::vector<WindowInfo> mine = windowsOf(shown.pid());
    ASSERT_EQ(mine.size(), 2u);
    std::vector<std::wstring> titles;
    for (const WindowInfo& window : mine) {
        titles.push_back(window.title);
        EXPECT_TRUE(window.visible);
        EXPECT_NE(window.ownerThread, 0u);
        EXPECT_NE(window.ownerThread, windows.currentThread());
        EXPECT_EQ(window.ownerThread, windows.ownerThread(window.handle));
    }
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Dota 2", longTitle.substr(0, 127)}));

    const std::vector<WindowInfo> others = windowsOf(hidden.pid());
    ASSERT_EQ(others.size(), 1u);
    EXPECT_FALSE(others[0].visible);
    EXPECT_EQ(others[0].title, L"Dota 2");
    EXPECT_EQ(windows.ownerThread(0), 0u);
}

TEST_F(WindowSystemWin32, RestoresRaisesAndAttaches) {
    StandInDota dota(L"--minimised --exit-after 60000");
    ASSERT_TRUE(dota.waitUntilReady());
    const std::vector<WindowInfo> mine = windowsOf(dota.pid());
    ASSERT_EQ(mine.size(), 1u);
    const WindowHandle window = mine[0].handle;

    EXPECT_TRUE(windows.isMinimised(window));
    windows.restore(window);
    EXPECT_FALSE(windows.isMinimised(window));

    windows.peekMessage();  // gives this thread the message queue that attaching needs
    EXPECT_TRUE(windows.attachInput(mine[0].ownerThread, true));
    windows.setForegroundWindow(window);
    EXPECT_TRUE(windows.attachInput(mine[0].ownerThread, false));
    EXPECT_EQ(windows.foregroundWindow(), window);
    EXPECT_FALSE(windows.attachInput(0, true));
}

TEST_F(WindowSystemWin32, PostedCloseReachesTheWindow) {
    const std::filesystem::path closing = dir / "closing.txt";
    const std::filesystem::path stubborn = dir / "stubborn.txt";
    StandInDota closes(L"--record \"" + closing.wstring() + L"\" --exit-after 60000");
    StandInDota ignores(L"--ignore-close --record \"" + stubborn.wstring() + L"\" --exit-after 60000");
    ASSERT_TRUE(closes.waitUntilReady());
    ASSERT_TRUE(ignores.waitUntilReady());
    for (const WindowInfo& window : windowsOf(closes.pid())) windows.postClose(window.handle);
    for (const WindowInfo& window : windowsOf(ignores.pid())) windows.postClose(window.handle);

    EXPECT_EQ(closes.waitForExit(20'000), 0u);
    const auto closed = testing::recordedLines(closing);
    ASSERT_EQ(closed.size(), 3u);
    EXPECT_EQ(closed[1], "close Dota 2");
    EXPECT_EQ(closed[2], "exit 0");

    // The other one records the request and keeps its window: once a message sent after the close
    // has been answered, the close has been handled.
    bool recorded = false;
    for (int round = 0; round < 1000 && !recorded; ++round) {
        const auto lines = testing::recordedLines(stubborn);
        recorded = !lines.empty() && lines.back() == "close Dota 2";
        if (!recorded) Sleep(20);
    }
    ASSERT_TRUE(recorded);
    const HWND kept = reinterpret_cast<HWND>(windowsOf(ignores.pid()).at(0).handle);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(kept, WM_NULL, 0, 0, SMTO_BLOCK, 10'000, &answer), 0);
    EXPECT_TRUE(IsWindow(kept));
    EXPECT_EQ(ignores.waitForExit(0), std::nullopt);
}

}  // namespace
}  // namespace quorvel
