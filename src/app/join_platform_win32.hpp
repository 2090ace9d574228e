#pragma once
// Win32JoinPlatform: the socket library and the Status window with its worker thread and message
// loop.

#include "app/join_mode.hpp"

#include <windows.h>

#include <functional>
#include <thread>

namespace quorvel {

inline constexpr const wchar_t* kStatusWindowClass = L"TXQNativeExperiment";
inline constexpr const wchar_t* kStatusWindowTitle = L"Quorvel";
// The window's own messages only wake it: it takes the texts and the finish from its
// StatusChannel and trusts neither parameter, since any program on the desktop can post them.
inline constexpr UINT kStatusTextMessage = WM_APP + 1;    // a text was handed over
inline constexpr UINT kTaskFinishedMessage = WM_APP + 2;  // the task finished (wParam: its FinishMode)

// Starts the worker thread with `body`; the thread library's error when it cannot.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

class Win32JoinPlatform final : public JoinPlatform {
public:
    explicit Win32JoinPlatform(HINSTANCE instance, ThreadStarter startThread = startStdThread)
        : instance_(instance), startThread_(std::move(startThread)) {}

    static std::thread startStdThread(std::function<void()> body) { return std::thread(std::move(body)); }

    std::unique_ptr<Network> startNetwork() override;
    void runStatusWindow(const std::function<void(StatusSink&)>& task) override;

private:
    HINSTANCE instance_;
    ThreadStarter startThread_;
};

}  // namespace quorvel
