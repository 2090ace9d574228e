#pragma once
// Win32WindowSystem: the desktop's top-level windows through user32.

#include "platform/windows.hpp"

namespace quorvel {

class Win32WindowSystem final : public WindowSystem {
public:
    std::vector<WindowInfo> topLevelWindows() override;
    bool isMinimised(WindowHandle window) override;
    void restore(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    void setForegroundWindow(WindowHandle window) override;
    std::uint32_t ownerThread(WindowHandle window) override;
    std::uint32_t currentThread() override;
    void peekMessage() override;
    bool attachInput(std::uint32_t thread, bool attach) override;
    void postClose(WindowHandle window) override;
};

}  // namespace quorvel
