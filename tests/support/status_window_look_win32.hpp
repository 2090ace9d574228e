#pragma once
// The Status window's measures as the window system reports them. Header-only, so that the
// programs that a test starts can read their own window without the test support library.

#include <windows.h>

#include <ostream>

// Rectangles compared and printed in test expectations (found by argument-dependent lookup, as
// RECT is in the global namespace).
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& out, const RECT& rect) {
    return out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
}

namespace quorvel::testing {

struct StatusWindowLook {
    UINT dpi = 0;          // GetDpiForWindow of the main window
    RECT outer{};          // the main window, in screen coordinates
    RECT control{};        // the text control, in the main window's client area
    LONG fontHeight = 0;   // the text control's font
    HFONT font = nullptr;  // that font (valid in the window's process only)
};

inline HWND statusTextControlOf(HWND window) {
    return FindWindowExW(window, nullptr, L"STATIC", nullptr);
}

inline StatusWindowLook lookOf(HWND window) {
    StatusWindowLook look;
    look.dpi = GetDpiForWindow(window);
    GetWindowRect(window, &look.outer);
    const HWND text = statusTextControlOf(window);
    GetWindowRect(text, &look.control);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&look.control), 2);
    look.font = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
    LOGFONTW font{};
    if (GetObjectW(look.font, sizeof(font), &font) == sizeof(font)) look.fontHeight = font.lfHeight;
    return look;
}

}  // namespace quorvel::testing
