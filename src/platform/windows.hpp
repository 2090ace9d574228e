#pragma once
// WindowSystem: the top-level windows of the desktop as the helper finds, raises and closes Dota's
// window. Implementation: Win32WindowSystem (windows_win32.hpp); fake:
// testing::FakeWindowSystem (tests/support/fake_windows.hpp).

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// An opaque window handle; 0 is no window.
using WindowHandle = std::uintptr_t;

struct WindowInfo {
    WindowHandle handle = 0;
    std::uint32_t ownerPid = 0;
    std::uint32_t ownerThread = 0;
    bool visible = false;
    std::wstring title;  // read into 128 wide characters: at most 127 kept
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // Every top-level window in EnumWindows order; a window that vanished while it was read is
    // left out or reported with what could be read.
    virtual std::vector<WindowInfo> topLevelWindows() = 0;
    virtual bool isMinimised(WindowHandle window) = 0;                // IsIconic
    virtual void restore(WindowHandle window) = 0;                    // ShowWindow SW_RESTORE
    virtual WindowHandle foregroundWindow() = 0;                      // 0 when none
    virtual void setForegroundWindow(WindowHandle window) = 0;        // result not used
    virtual std::uint32_t ownerThread(WindowHandle window) = 0;       // 0 for no window
    virtual std::uint32_t currentThread() = 0;                        // GetCurrentThreadId
    virtual void peekMessage() = 0;                                   // PeekMessageW PM_NOREMOVE, no filter
    virtual bool attachInput(std::uint32_t thread, bool attach) = 0;  // AttachThreadInput from this thread
    virtual void postClose(WindowHandle window) = 0;                  // PostMessageW WM_CLOSE 0 0, unchecked
};

}  // namespace quorvel
