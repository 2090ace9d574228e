#pragma once
// Win32JoinPlatform: the socket library and the Status window with its worker thread and message
// loop.

#include "app/join_mode.hpp"

#include <windows.h>

namespace quorvel {

inline constexpr const wchar_t* kStatusWindowClass = L"TXQNativeExperiment";
inline constexpr const wchar_t* kStatusWindowTitle = L"Quorvel";
inline constexpr UINT kStatusTextMessage = WM_APP + 1;    // lParam: a heap std::wstring the receiver frees
inline constexpr UINT kTaskFinishedMessage = WM_APP + 2;  // wParam: the FinishMode

class Win32JoinPlatform final : public JoinPlatform {
public:
    explicit Win32JoinPlatform(HINSTANCE instance) : instance_(instance) {}

    std::unique_ptr<Network> startNetwork() override;
    void runStatusWindow(const std::function<void(StatusSink&)>& task) override;

private:
    HINSTANCE instance_;
};

}  // namespace quorvel
