#include "platform/windows_win32.hpp"

#include <windows.h>

namespace quorvel {
namespace {

constexpr int kTitleCapacity = 128;

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

WindowHandle toHandle(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

BOOL CALLBACK collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;  // always on to the next window
}

}  // namespace

std::vector<WindowInfo> Win32WindowSystem::topLevelWindows() {
    std::vector<HWND> handles;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&handles));
    std::vector<WindowInfo> windows;
    windows.reserve(handles.size());
    for (HWND handle : handles) {
        WindowInfo info;
        info.handle = toHandle(handle);
        DWORD pid = 0;
        info.ownerThread = GetWindowThreadProcessId(handle, &pid);
        info.ownerPid = pid;
        info.visible = IsWindowVisible(handle) != FALSE;
        wchar_t title[kTitleCapacity] = {};
        const int length = GetWindowTextW(handle, title, kTitleCapacity);
        info.title.assign(title, length > 0 ? static_cast<std::size_t>(length) : 0);
        windows.push_back(std::move(info));
    }
    return windows;
}

bool Win32WindowSystem::isMinimised(WindowHandle window) {
    return IsIconic(toHwnd(window)) != FALSE;
}

void Win32WindowSystem::restore(WindowHandle window) {
    ShowWindow(toHwnd(window), SW_RESTORE);
}

WindowHandle Win32WindowSystem::foregroundWindow() {
    return toHandle(GetForegroundWindow());
}

void Win32WindowSystem::setForegroundWindow(WindowHandle window) {
    SetForegroundWindow(toHwnd(window));
}

std::uint32_t Win32WindowSystem::ownerThread(WindowHandle window) {
    return window == 0 ? 0 : GetWindowThreadProcessId(toHwnd(window), nullptr);
}

std::uint32_t Win32WindowSystem::currentThread() {
    return GetCurrentThreadId();
}

void Win32WindowSystem::peekMessage() {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool Win32WindowSystem::attachInput(std::uint32_t thread, bool attach) {
    return AttachThreadInput(GetCurrentThreadId(), thread, attach ? TRUE : FALSE) != FALSE;
}

void Win32WindowSystem::postClose(WindowHandle window) {
    PostMessageW(toHwnd(window), WM_CLOSE, 0, 0);
}

}  // namespace quorvel
