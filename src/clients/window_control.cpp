#include "clients/window_control.hpp"

#include "clients/client_census.hpp"

#include <set>

namespace quorvel {
namespace {

constexpr std::wstring_view kDotaWindowTitle = L"Dota 2";

// SetForegroundWindow with the caller's input attached to the threads of W and of the current
// foreground window, which lets the call through where the foreground lock would refuse it.
// Every attachment made is undone before the result is read.
bool forceForeground(WindowSystem& windows, WindowHandle window) {
    const std::uint32_t self = windows.currentThread();
    const std::uint32_t windowThread = windows.ownerThread(window);
    const std::uint32_t foregroundThread = windows.ownerThread(windows.foregroundWindow());
    windows.peekMessage();  // makes sure this thread has a message queue to attach
    const std::set<std::uint32_t> threads{windowThread, foregroundThread};
    std::vector<std::uint32_t> attached;
    for (const std::uint32_t thread : threads) {
        if (thread == 0 || thread == self) continue;
        if (windows.attachInput(thread, true)) attached.push_back(thread);
    }
    windows.setForegroundWindow(window);
    for (const std::uint32_t thread : attached) windows.attachInput(thread, false);
    return windows.foregroundWindow() == window;
}

}  // namespace

std::vector<WindowHandle> findDotaWindows(WindowSystem& windows, std::uint32_t pid) {
    std::vector<WindowHandle> found;
    for (const WindowInfo& info : windows.topLevelWindows()) {
        if (info.ownerPid == pid && info.visible && info.title == kDotaWindowTitle) found.push_back(info.handle);
    }
    return found;
}

bool bringDotaToFront(ProcessTable& processes, WindowSystem& windows, Sleeper& sleeper, const DotaProcess& client,
                      const std::filesystem::path& dotaRoot) {
    for (int pass = 0; pass < kFrontPasses; ++pass) {
        verifyDotaClient(processes, client, dotaRoot);
        const std::vector<WindowHandle> found = findDotaWindows(windows, client.pid);
        if (found.empty()) {
            sleeper.sleep(kWindowWaitMs);
            continue;
        }
        // Which of several windows is the main one cannot be told; raise none.
        if (found.size() > 1) return false;
        const WindowHandle window = found.front();
        if (windows.isMinimised(window)) windows.restore(window);
        if (windows.foregroundWindow() == window) return true;
        windows.setForegroundWindow(window);
        sleeper.sleep(kForegroundSettleMs);
        if (windows.foregroundWindow() == window) return true;
        return forceForeground(windows, window);
    }
    return false;
}

void requestDotaClose(WindowSystem& windows, const std::vector<WindowHandle>& handles) {
    for (const WindowHandle window : handles) windows.postClose(window);
}

}  // namespace quorvel
