#pragma once
// Finding, raising and closing a Dota client's main window.

#include "clients/process_info.hpp"
#include "outside/process_table.hpp"
#include "platform/clock.hpp"
#include "platform/windows.hpp"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace quorvel {

inline constexpr int kFrontPasses = 80;
inline constexpr std::uint32_t kWindowWaitMs = 250;
inline constexpr std::uint32_t kForegroundSettleMs = 100;

// The visible top-level windows of `pid` titled exactly "Dota 2", in enumeration order.
std::vector<WindowHandle> findDotaWindows(WindowSystem& windows, std::uint32_t pid);

// Brings the client's one Dota window to the front, waiting for it up to 80 passes; true when it
// is the foreground window at the end. Fails only when verifyDotaClient fails (checked at the
// start of every pass).
bool bringDotaToFront(ProcessTable& processes, WindowSystem& windows, Sleeper& sleeper, const DotaProcess& client,
                      const std::filesystem::path& dotaRoot);

// Posts WM_CLOSE to each window in order; does not wait.
void requestDotaClose(WindowSystem& windows, const std::vector<WindowHandle>& handles);

}  // namespace quorvel
