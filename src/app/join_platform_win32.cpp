#include "app/join_platform_win32.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <winsock2.h>

#include <memory>
#include <system_error>
#include <thread>

namespace quorvel {
namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kCloseTimerId = 1;

// The window's measures at 96 DPI; at any other DPI each is scaled by dpi / 96.
constexpr UINT kBaseDpi = USER_DEFAULT_SCREEN_DPI;
constexpr int kWindowWidth = 610;
constexpr int kWindowHeight = 260;
constexpr int kTextLeft = 24;
constexpr int kTextTop = 28;
constexpr int kTextWidth = 550;
constexpr int kTextHeight = 150;
constexpr int kFontHeight = -18;

int scaled(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

// The DPI of the monitor the window is on. GetDpiForWindow is looked up at run time, as Windows
// before 10 version 1607 lacks it; there, and should it answer 0, the window is taken to be at
// 96 DPI.
UINT dpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const GetDpiForWindowFunction getDpiForWindow = [] {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        const FARPROC address = user32 != nullptr ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        // Through void (*)(), which converts to any function type without a warning.
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(address));
    }();
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : kBaseDpi;
}

HFONT createStatusFont(UINT dpi) {
    return CreateFontW(scaled(kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"Microsoft YaHei UI");
}

class WinsockNetwork final : public JoinPlatform::Network {
public:
    ~WinsockNetwork() override { WSACleanup(); }
};

// The main window, its text control and font, the channel that carries the task's texts to it,
// and the window procedure's state.
class StatusWindow final : private StatusWindowActions, private StatusWake {
public:
    explicit StatusWindow(HINSTANCE instance);

    // What the worker hands its texts and its finish to.
    StatusSink& sink() { return channel_; }
    // Runs the message loop until the window is destroyed; the window's handle is then let go.
    void runMessageLoop();
    void taskStarted() { state_.taskStarted(); }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The window moved to a monitor of another DPI: the window takes the system's rectangle, the
    // text control its measures at `dpi` and a font made for `dpi`.
    void onDpiChanged(UINT dpi, const RECT& suggested);

    void showText(const std::wstring& text) override { SetWindowTextW(text_, text.c_str()); }
    void destroy() override { DestroyWindow(window_.get()); }
    void startCloseTimer() override { SetTimer(window_.get(), kCloseTimerId, kCloseDelayMs, nullptr); }
    // Called by the channel under its lock, which the window's destruction also takes: the
    // handle is that of a living window, set before the worker started.
    void wakeForText() override { PostMessageW(target_, kStatusTextMessage, 0, 0); }
    void wakeForFinish(FinishMode mode) override {
        PostMessageW(target_, kTaskFinishedMessage, static_cast<WPARAM>(mode), 0);
    }

    StatusChannel channel_{*this};
    StatusWindowState state_{*this, channel_};
    HWND target_ = nullptr;  // the main window, for the worker's wakes
    HWND text_ = nullptr;    // a child: destroyed with the main window
    ScopedFont font_;
    // Last, so that a window still alive on unwinding is destroyed while the state it calls into
    // exists.
    ScopedWindow window_;
    bool looping_ = false;    // the message loop runs: only then does the window's end post a quit
    bool destroyed_ = false;
};

StatusWindow::StatusWindow(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &StatusWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kStatusWindowClass;
    // Registering twice in one process fails harmlessly; the class stays the same.
    RegisterClassW(&windowClass);

    // The system picks the window's position, and with it the monitor and its DPI, only when it
    // creates the window: it is created at its 96-DPI size and, on a monitor of another DPI,
    // resized before it is shown. That DPI is the window's own, so the sizes are exact.
    window_.reset(CreateWindowExW(0, kStatusWindowClass, kStatusWindowTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, this));
    check(static_cast<bool>(window_), kWindowCreationFailed);
    target_ = window_.get();
    const UINT dpi = dpiOf(window_.get());
    if (dpi != kBaseDpi) {
        SetWindowPos(window_.get(), nullptr, 0, 0, scaled(kWindowWidth, dpi), scaled(kWindowHeight, dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    text_ = CreateWindowExW(0, L"STATIC", kInitialStatus, WS_CHILD | WS_VISIBLE, scaled(kTextLeft, dpi),
                            scaled(kTextTop, dpi), scaled(kTextWidth, dpi), scaled(kTextHeight, dpi), window_.get(),
                            nullptr, instance, nullptr);
    font_.reset(createStatusFont(dpi));
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    ShowWindow(window_.get(), SW_SHOW);
    UpdateWindow(window_.get());
}

void StatusWindow::runMessageLoop() {
    looping_ = true;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The system sends WM_DPICHANGED, with a rectangle of its own; a posted one comes from
        // another program, and its rectangle pointer points anywhere.
        if (message.message == WM_DPICHANGED) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Destroyed by now: the handle is no longer ours to destroy. The worker may still post to it;
    // those posts fail and drop their texts.
    if (destroyed_) static_cast<void>(window_.take());
}

LRESULT CALLBACK StatusWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<StatusWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<StatusWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || message == WM_NCCREATE) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(window, message, wParam, lParam);
}

LRESULT StatusWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kStatusTextMessage:
        case kTaskFinishedMessage:
            state_.onWake();
            return 0;
        case WM_TIMER:
            state_.onTimer();
            return 0;
        case WM_CLOSE:
            state_.onClose();
            return 0;
        case WM_DPICHANGED:
            if (lParam != 0) onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            destroyed_ = true;
            state_.onDestroy();
            // A window destroyed while unwinding (the worker could not start) must leave no quit
            // message behind: the message box that reports the failure would take it and close
            // at once.
            if (looping_) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void StatusWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (dpi == 0 || text_ == nullptr) return;
    SetWindowPos(text_, nullptr, scaled(kTextLeft, dpi), scaled(kTextTop, dpi), scaled(kTextWidth, dpi),
                 scaled(kTextHeight, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    // The control keeps the font it has when no new one can be made; the old one is deleted only
    // once the control has let it go.
    ScopedFont font(createStatusFont(dpi));
    if (!font) return;
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font);
}

}  // namespace

std::unique_ptr<JoinPlatform::Network> Win32JoinPlatform::startNetwork() {
    WSADATA data;
    check(WSAStartup(MAKEWORD(2, 2), &data) == 0, kNetworkStartFailed);
    return std::make_unique<WinsockNetwork>();
}

void Win32JoinPlatform::runStatusWindow(const std::function<void(StatusSink&)>& task) {
    StatusWindow window(instance_);
    window.taskStarted();
    StatusSink& sink = window.sink();
    std::thread worker;
    try {
        worker = startThread_([&sink, &task] { task(sink); });
    } catch (const std::system_error& failure) {
        throw std::system_error(failure.code(), "thread constructor failed");
    }
    window.runMessageLoop();
    worker.join();
}

}  // namespace quorvel
