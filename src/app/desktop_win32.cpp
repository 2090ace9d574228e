#include "app/desktop_win32.hpp"

#include <windows.h>

namespace quorvel {

namespace {
constexpr const wchar_t* kCaption = L"Quorvel";
}

void Win32Desktop::showError(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), kCaption, MB_ICONERROR);
}

void Win32Desktop::showInformation(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK);
}

}  // namespace quorvel
