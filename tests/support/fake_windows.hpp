#pragma once
// FakeWindowSystem: scripted top-level windows and foreground state, every action recorded.

#include "platform/windows.hpp"

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace quorvel::testing {

struct FakeWindowSystem final : WindowSystem {
    // Script.
    std::vector<WindowInfo> windows;  // enumeration order; a test changes it between passes
    std::set<WindowHandle> minimised;
    WindowHandle foreground = 0;
    std::uint32_t callerThread = 1;
    std::set<std::uint32_t> refusedAttachments;  // attaching to these threads fails
    // Whether each setForegroundWindow brings its window forward, in call order; once the list is
    // used up, `foregroundByDefault` decides.
    std::deque<bool> foregroundResults;
    bool foregroundByDefault = true;
    bool logForegroundReads = false;  // also logs "foreground" for each read of the foreground window

    // Record of the actions: "enumerate", "restore 7", "setForeground 7", "peek", "attach 12",
    // "detach 12", "close 7" (and whatever else shares the log, such as a sleeper's waits).
    std::vector<std::string> calls;

    std::vector<WindowInfo> topLevelWindows() override {
        calls.push_back("enumerate");
        return windows;
    }
    bool isMinimised(WindowHandle window) override { return minimised.contains(window); }
    void restore(WindowHandle window) override {
        calls.push_back("restore " + std::to_string(window));
        minimised.erase(window);
    }
    WindowHandle foregroundWindow() override {
        if (logForegroundReads) calls.push_back("foreground");
        return foreground;
    }
    void setForegroundWindow(WindowHandle window) override {
        calls.push_back("setForeground " + std::to_string(window));
        bool takes = foregroundByDefault;
        if (!foregroundResults.empty()) {
            takes = foregroundResults.front();
            foregroundResults.pop_front();
        }
        if (takes) foreground = window;
    }
    std::uint32_t ownerThread(WindowHandle window) override {
        for (const WindowInfo& info : windows) {
            if (info.handle == window && window != 0) return info.ownerThread;
        }
        return 0;
    }
    std::uint32_t currentThread() override { return callerThread; }
    void peekMessage() override { calls.push_back("peek"); }
    bool attachInput(std::uint32_t thread, bool attach) override {
        calls.push_back((attach ? "attach " : "detach ") + std::to_string(thread));
        return !attach || !refusedAttachments.contains(thread);
    }
    void postClose(WindowHandle window) override { calls.push_back("close " + std::to_string(window)); }
};

}  // namespace quorvel::testing
