// The floor of the helper's start up to its status window: a program that does nothing but show
// the same window the same way (class, style, size, title, a text control in the same font) and
// then waits. It ends on WM_CLOSE or by itself after 30 seconds. No arguments; exit code 0.
#include <windows.h>

namespace {

constexpr UINT_PTR kGiveUpTimer = 1;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuorvelWindowFloor";
    if (RegisterClassW(&windowClass) == 0) return 1;

    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Quorvel", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 610, 260, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    HWND text = CreateWindowExW(0, L"STATIC", L"正在初始化Quorvel…", WS_CHILD | WS_VISIBLE, 24, 28, 550, 150, window,
                                nullptr, instance, nullptr);
    HFONT font =
        CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei UI");
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetTimer(window, kGiveUpTimer, 30'000, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(font);
    return 0;
}
