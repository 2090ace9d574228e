// The join mode under Wine: the real Status window in this process, the shipped exe started
// without a link, a second start against a running join, an abandoned join lock, and the
// hand-over recovery over the real install seams.
#include "app/join_mode.hpp"
#include "app/desktop_win32.hpp"
#include "app/join_platform_win32.hpp"
#include "common/command_line.hpp"
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"
#include "launch/launch_arguments.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/https_win32.hpp"
#include "platform/known_folders_win32.hpp"
#include "platform/named_lock_win32.hpp"
#include "platform/process_win32.hpp"
#include "platform/registry_win32.hpp"
#include "platform/sha256.hpp"
#include "support/fake_join_world.hpp"
#include "support/message_of.hpp"
#include "support/prefix_install_state_win32.hpp"
#include "support/status_window_look_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"
#include "update/protocol_registration.hpp"
#include "update/release.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <system_error>
#include <thread>

namespace quorvel {
namespace {

constexpr DWORD kPollMs = 20;
constexpr int kPollRounds = 1'500;  // 30 s

std::wstring textOf(HWND window) {
    wchar_t buffer[1'024] = {};
    GetWindowTextW(window, buffer, 1'024);
    return buffer;
}

HWND textControlOf(HWND window) {
    return FindWindowExW(window, nullptr, L"STATIC", nullptr);
}

// The Status window of process `pid`, waited for until its text control exists too: another
// process's window can be seen between its own creation and its child's.
HWND statusWindowOf(DWORD pid) {
    for (int round = 0; round < kPollRounds; ++round) {
        HWND window = testing::findWindowOfProcess(pid, kStatusWindowClass, false);
        if (window != nullptr && textControlOf(window) != nullptr) return window;
        Sleep(kPollMs);
    }
    return nullptr;
}

// Waits until `control` shows `text`; false if it never does.
bool waitForText(HWND control, const std::wstring& text) {
    for (int round = 0; round < kPollRounds; ++round) {
        if (IsWindow(control) && textOf(control) == text) return true;
        Sleep(kPollMs);
    }
    return false;
}

TEST(StatusWindow, LooksRightRefusesCloseWhileTheTaskRunsAndClosesAfter) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    Win32JoinPlatform platform(GetModuleHandleW(nullptr));
    HWND window = nullptr;
    std::wstring title, initialText;
    LONG style = 0;
    RECT outer{}, control{};
    LOGFONTW font{};
    bool refused = false, stayedOpen = false, nextText = false;
    platform.runStatusWindow([&](StatusSink& sink) {
        window = statusWindowOf(GetCurrentProcessId());
        if (window == nullptr) return sink.finish(FinishMode::closeNow);
        title = textOf(window);
        style = GetWindowLongW(window, GWL_STYLE);
        GetWindowRect(window, &outer);
        const HWND text = textControlOf(window);
        initialText = textOf(text);
        GetWindowRect(text, &control);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control), 2);
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)), sizeof(font), &font);

        PostMessageW(window, WM_CLOSE, 0, 0);
        refused = waitForText(text, kStillRunning);
        stayedOpen = IsWindow(window) != FALSE;
        sink.setStatusText(L"正在检查");
        nextText = waitForText(text, L"正在检查");
        sink.finish(FinishMode::keepOpen);
        // Handled after the finish message: the close button works now.
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(title, L"Quorvel");
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0x00CA0000);
    EXPECT_EQ(outer.right - outer.left, 610);
    EXPECT_EQ(outer.bottom - outer.top, 260);
    EXPECT_EQ(initialText, kInitialStatus);
    EXPECT_EQ(control.left, 24);
    EXPECT_EQ(control.top, 28);
    EXPECT_EQ(control.right - control.left, 550);
    EXPECT_EQ(control.bottom - control.top, 150);
    EXPECT_EQ(font.lfHeight, -18);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfQuality, CLEARTYPE_QUALITY);
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Microsoft YaHei UI");
    EXPECT_TRUE(refused);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(nextText);
}

// The window moves to monitors of other DPIs: it takes the rectangle the system suggests, and the
// text control and the font follow the new DPI, each new font freeing the one before; back at 96
// DPI it has its first measures again. A WM_DPICHANGED posted by another program, its rectangle
// pointer pointing nowhere, changes nothing.
TEST(StatusWindow, FollowsTheDpiOfTheMonitorItMovesTo) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    struct Move {
        WORD dpi;
        RECT suggested;
        RECT control;
        LONG fontHeight;
    };
    // The rectangles fit a 1024 x 768 screen, which Wine may take the display to be whatever the
    // X display's size (and which bounds a window's width to 1036).
    const Move moves[] = {
        {144, {100, 50, 1015, 440}, {36, 42, 861, 267}, -27},
        {192, {0, 0, 1000, 600}, {48, 56, 1148, 356}, -36},
        {120, {5, 5, 768, 330}, {30, 35, 718, 223}, -23},
        {96, {10, 20, 620, 280}, {24, 28, 574, 178}, -18},
    };
    struct Seen {
        testing::StatusWindowLook look;
        bool previousFontFreed = false;
    };
    Win32JoinPlatform platform(GetModuleHandleW(nullptr));
    HWND window = nullptr;
    testing::StatusWindowLook before, afterForgery;
    bool forgeryPosted = false, nextText = false;
    std::vector<Seen> seen;
    platform.runStatusWindow([&](StatusSink& sink) {
        window = statusWindowOf(GetCurrentProcessId());
        if (window == nullptr) return sink.finish(FinishMode::closeNow);
        before = testing::lookOf(window);
        forgeryPosted = PostMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), static_cast<LPARAM>(0x4141414141));
        // Handled after the forged one.
        sink.setStatusText(L"正在检查");
        nextText = waitForText(textControlOf(window), L"正在检查");
        afterForgery = testing::lookOf(window);
        for (const Move& move : moves) {
            const HFONT previous = testing::lookOf(window).font;
            RECT suggested = move.suggested;
            SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(move.dpi, move.dpi), reinterpret_cast<LPARAM>(&suggested));
            seen.push_back({testing::lookOf(window), GetObjectType(previous) == 0});
        }
        sink.finish(FinishMode::closeNow);
    });
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(forgeryPosted) << GetLastError();
    EXPECT_TRUE(nextText);
    EXPECT_EQ(afterForgery.outer, before.outer);
    EXPECT_EQ(afterForgery.control, before.control);
    EXPECT_EQ(afterForgery.font, before.font);
    ASSERT_EQ(seen.size(), std::size(moves));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(moves[i].dpi);
        EXPECT_EQ(seen[i].look.outer, moves[i].suggested);
        EXPECT_EQ(seen[i].look.control, moves[i].control);
        EXPECT_EQ(seen[i].look.fontHeight, moves[i].fontHeight);
        EXPECT_TRUE(seen[i].previousFontFreed);
    }
}

// Another program finds the window by its class and posts its messages: a text message with a
// forged pointer, a finish message that would close the window at once. Neither may crash the
// window, show anything or end it while the task runs.
TEST(StatusWindow, MessagesForgedByAnotherProgramShowNothingAndCloseNothing) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    Win32JoinPlatform platform(GetModuleHandleW(nullptr));
    HWND window = nullptr;
    bool stayedOpen = false, nextText = false;
    std::wstring afterForgery;
    platform.runStatusWindow([&](StatusSink& sink) {
        window = statusWindowOf(GetCurrentProcessId());
        if (window == nullptr) return sink.finish(FinishMode::closeNow);
        const HWND text = textControlOf(window);
        sink.setStatusText(L"正在检查");
        waitForText(text, L"正在检查");
        PostMessageW(window, kStatusTextMessage, 0, static_cast<LPARAM>(0x4141414141));
        PostMessageW(window, kTaskFinishedMessage, static_cast<WPARAM>(FinishMode::closeNow), 0);
        // Handled after the forged ones.
        sink.setStatusText(L"正在连接");
        nextText = waitForText(text, L"正在连接");
        stayedOpen = IsWindow(window) != FALSE;
        // The finish is the task's own: the close button is still refused.
        PostMessageW(window, WM_CLOSE, 0, 0);
        waitForText(text, kStillRunning);
        afterForgery = textOf(text);
        sink.finish(FinishMode::closeNow);
    });
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(nextText);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(afterForgery, kStillRunning);
    EXPECT_FALSE(IsWindow(window));
}

// The worker hands over a text after the window is gone: dropped, and nothing lands in the
// worker's own message queue (a post to a null window would).
TEST(StatusWindow, ATextAfterTheWindowIsGoneIsDroppedWithoutATrace) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    Win32JoinPlatform platform(GetModuleHandleW(nullptr));
    HWND window = nullptr;
    bool gone = false, leaked = true;
    platform.runStatusWindow([&](StatusSink& sink) {
        window = statusWindowOf(GetCurrentProcessId());
        sink.finish(FinishMode::closeNow);
        for (int round = 0; round < kPollRounds && window != nullptr && IsWindow(window); ++round) Sleep(kPollMs);
        gone = window != nullptr && !IsWindow(window);
        sink.setStatusText(L"late");
        sink.finish(FinishMode::keepOpen);
        MSG message;
        leaked = PeekMessageW(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE) != FALSE;
    });
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(gone);
    EXPECT_FALSE(leaked);
}

// Answers the message box that this process shows with `caption`; false if none appears.
bool answerMessageBox(const std::wstring& caption) {
    for (int round = 0; round < kPollRounds; ++round) {
        const HWND box = testing::findWindowOfProcess(GetCurrentProcessId(), L"#32770", true);
        if (box != nullptr && textOf(box) == caption) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}

// The worker thread cannot start: the failure names the thread constructor, and the message box
// that reports it stays until it is answered (a quit message left behind by the window's end
// would close it at once).
TEST(StatusWindow, AWorkerThatCannotStartFailsWithAMessageBoxThatStays) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    Win32JoinPlatform platform(GetModuleHandleW(nullptr), [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    bool taskRan = false;
    const std::string message = testing::messageOf<std::system_error>(
        [&] { platform.runStatusWindow([&](StatusSink&) { taskRan = true; }); });
    EXPECT_FALSE(taskRan);
    EXPECT_EQ(message.rfind("thread constructor failed", 0), 0u) << message;
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    bool answered = false;
    std::thread watcher([&] { answered = answerMessageBox(L"Quorvel"); });
    Win32Desktop().showError(toWideLenient(message));
    watcher.join();
    EXPECT_TRUE(answered);
}

TEST(StatusWindow, ItsFaceHasTheChineseGlyphs) {
    // Wine lacks the face: the prefix maps it to an installed CJK font, without which the text
    // would show as boxes.
    const ScopedMemoryDeviceContext dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const ScopedFont font(CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                      L"Microsoft YaHei UI"));
    ASSERT_TRUE(font);
    const HGDIOBJ previous = SelectObject(dc.get(), font.get());
    const std::wstring text = kInitialStatus;
    std::vector<WORD> glyphs(text.size());
    const DWORD converted = GetGlyphIndicesW(dc.get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                             GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc.get(), previous);
    ASSERT_EQ(converted, text.size());
    for (std::size_t i = 0; i < text.size(); ++i) EXPECT_NE(glyphs[i], 0xFFFF) << "character " << i;
}

struct Started {
    ScopedKernelHandle process;
    DWORD pid = 0;
};

Started startWithoutArguments(const std::filesystem::path& exe) {
    std::wstring commandLine = quoteArgument(exe.wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, exe.parent_path().c_str(),
                        &startup, &info)) {
        return {};
    }
    const ScopedKernelHandle thread(info.hThread);
    return {ScopedKernelHandle(info.hProcess), info.dwProcessId};
}

// The shipped exe, started as after a download, against the prefix's own install.
class JoinExeTest : public ::testing::Test {
protected:
    JoinExeTest() {
        exe = dir / "TXQNativeConnector.exe";
        std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", exe);
    }
    std::filesystem::path installed() const { return state.root() / L"versions\\2026092001\\TXQNativeConnector.exe"; }

    testing::OutsideWorldLock lock;
    testing::PrefixInstallState state;
    testing::TempDir dir;
    std::filesystem::path exe;
};

TEST_F(JoinExeTest, WithoutALinkInstallsSaysSoAndClosesByItselfWhileASecondStartIsTurnedAway) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "the Status window needs an X display under Wine";
    const Started first = startWithoutArguments(exe);
    ASSERT_TRUE(first.process);
    const HWND window = statusWindowOf(first.pid);
    ASSERT_NE(window, nullptr);

    // The first holds the join lock as long as its window exists.
    testing::ChildOutcome second;
    std::thread secondStart([&] { second = testing::runChild(exe, L"", dir.path()); });

    const bool installedShown = waitForText(textControlOf(window), kInstalled);
    const ULONGLONG shownAt = GetTickCount64();
    EXPECT_EQ(WaitForSingleObject(first.process.get(), 30'000), WAIT_OBJECT_0);
    const ULONGLONG closedAfter = GetTickCount64() - shownAt;
    secondStart.join();

    EXPECT_TRUE(installedShown);
    // The 3-second timer, plus the ending of a process that showed a window under bare Xvfb.
    EXPECT_GE(closedAfter, 2'500u);
    EXPECT_LT(closedAfter, 10'000u);
    DWORD exitCode = 259;
    GetExitCodeProcess(first.process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(testing::readFile(installed()), testing::readFile(exe));

    ASSERT_FALSE(second.timedOut);
    EXPECT_EQ(second.exitCode, 1u);
    ASSERT_EQ(second.boxes.size(), 1u);
    EXPECT_EQ(second.boxes[0].caption, L"Quorvel");
    EXPECT_EQ(toNarrow(second.boxes[0].text), kJoinAlreadyRunning);
}

TEST_F(JoinExeTest, AnAbandonedJoinLockIsTakenOver) {
    const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, kJoinLockName));
    ASSERT_TRUE(mutex);
    // A thread that owns the lock and ends without giving it back, as a crashed helper would.
    DWORD owned = WAIT_FAILED;
    std::thread([&] { owned = WaitForSingleObject(mutex.get(), 0); }).join();
    ASSERT_EQ(owned, WAIT_OBJECT_0);

    const testing::ChildOutcome outcome = testing::runChild(exe, L"", dir.path());
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(testing::readFile(installed()), testing::readFile(exe));
}

// The real window and network, with the newer build's file gone once the window has closed.
class NewerBuildVanishes final : public JoinPlatform {
public:
    explicit NewerBuildVanishes(std::filesystem::path newer) : newer_(std::move(newer)) {}
    std::unique_ptr<Network> startNetwork() override { return real_.startNetwork(); }
    void runStatusWindow(const std::function<void(StatusSink&)>& task) override {
        real_.runStatusWindow(task);
        std::filesystem::remove(newer_);
    }

private:
    Win32JoinPlatform real_{GetModuleHandleW(nullptr)};
    std::filesystem::path newer_;
};

TEST(JoinHandOver, ANewerBuildThatCannotStartLeavesTheRunningBuildActive) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "the Status window needs an X display under Wine";
    testing::OutsideWorldLock lock;
    testing::PrefixInstallState state;
    testing::TempDir dir;
    testing::FakeLocations locations;
    locations.module = dir / "TXQNativeConnector.exe";
    std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", locations.module);
    const std::string running = testing::readFile(locations.module);
    const std::string newer = testing::readFile(testing::buildFolder() / "next-release" / "TXQNativeConnector.exe");
    const std::filesystem::path newerExe = state.root() / L"versions\\2026092002\\TXQNativeConnector.exe";
    testing::writeFile(newerExe, newer);
    testing::writeFile(state.root() / "active.json",
                       releaseToJson(Release{2026092002, newer.size(), sha256Hex(newer)}).dump(2));

    Win32KnownFolders folders;
    LocalFiles files;
    Win32Registry registry;
    Win32Processes processes;
    Win32NamedLocks locks;
    SystemClock clock;
    SystemTickClock ticks;
    WinHttpTransport transport;
    // A closed local port: the update check fails at once and is only logged.
    InstallSystem install{locations, folders, files, registry,
                          processes, locks,   clock, {transport, ticks, HttpHost{L"127.0.0.1", 9}}};
    testing::FakeJoinWorld join;
    NewerBuildVanishes platform(newerExe);
    const std::wstring link = std::wstring(L"txqjoin://enter/?ticket=") + toWide(testing::FakeJoinWorld::kTicket);

    EXPECT_EQ(
        testing::messageOf([&] {
            runJoinMode({platform, locks, processes, {install, join.platform(), join.game(), join.settings()}},
                        testing::FakeJoinWorld::kTicket, &link);
        }),
        kLaunchFailed);
    const std::filesystem::path runningExe = state.root() / L"versions\\2026092001\\TXQNativeConnector.exe";
    EXPECT_EQ(testing::readFile(runningExe), running);
    EXPECT_EQ(testing::readUserString(kProtocolCommandKey, nullptr), protocolCommand(runningExe));
    const Release active = parseRelease(nlohmann::json::parse(testing::readFile(state.root() / "active.json")));
    EXPECT_EQ(active, (Release{2026092001, running.size(), sha256Hex(running)}));
    // enter never ran here: only the early report reached the lobby.
    EXPECT_EQ(join.requests(), std::vector<std::string>{testing::progressRequest("checking")});
}

}  // namespace
}  // namespace quorvel
