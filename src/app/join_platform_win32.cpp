#include "app/join_platform_win32.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <winsock2.h>

#include <memory>
#include <thread>

namespace quorvel {
namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kWindowWidth = 610;
constexpr int kWindowHeight = 260;
constexpr UINT_PTR kCloseTimerId = 1;

class WinsockNetwork final : public JoinPlatform::Network {
public:
    ~WinsockNetwork() override { WSACleanup(); }
};

// The main window, its text control and font, and the window procedure's state.
class StatusWindow final : public StatusSink, private StatusWindowActions {
public:
    explicit StatusWindow(HINSTANCE instance);

    void setStatusText(const std::wstring& text) override;
    void finish(FinishMode mode) override;
    // Runs the message loop until the window is destroyed; the window's handle is then let go.
    void runMessageLoop();
    void taskStarted() { state_.taskStarted(); }
    // Frees the texts posted before the window was destroyed that were never delivered. Only once
    // the worker has ended, so that nothing is posted any more.
    void discardUndelivered();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void showText(const std::wstring& text) override { SetWindowTextW(text_, text.c_str()); }
    void destroy() override { DestroyWindow(window_.get()); }
    void startCloseTimer() override { SetTimer(window_.get(), kCloseTimerId, kCloseDelayMs, nullptr); }
    void postText(const std::wstring& text) override { setStatusText(text); }

    StatusWindowState state_{*this};
    HWND text_ = nullptr;  // a child: destroyed with the main window
    ScopedFont font_;
    // Last, so that a window still alive on unwinding is destroyed while the state it calls into
    // exists.
    ScopedWindow window_;
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

    window_.reset(CreateWindowExW(0, kStatusWindowClass, kStatusWindowTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, this));
    check(static_cast<bool>(window_), kWindowCreationFailed);
    text_ = CreateWindowExW(0, L"STATIC", kInitialStatus, WS_CHILD | WS_VISIBLE, 24, 28, 550, 150, window_.get(),
                            nullptr, instance, nullptr);
    font_.reset(CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            L"Microsoft YaHei UI"));
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    ShowWindow(window_.get(), SW_SHOW);
    UpdateWindow(window_.get());
}

void StatusWindow::setStatusText(const std::wstring& text) {
    auto copy = std::make_unique<std::wstring>(text);
    // The receiver owns the copy once the post succeeded; a vanished window drops it here.
    if (PostMessageW(window_.get(), kStatusTextMessage, 0, reinterpret_cast<LPARAM>(copy.get()))) {
        static_cast<void>(copy.release());
    }
}

void StatusWindow::finish(FinishMode mode) {
    PostMessageW(window_.get(), kTaskFinishedMessage, static_cast<WPARAM>(mode), 0);
}

void StatusWindow::runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Destroyed by now: the handle is no longer ours to destroy. The worker may still post to it;
    // those posts fail and drop their texts.
    if (destroyed_) static_cast<void>(window_.take());
}

void StatusWindow::discardUndelivered() {
    MSG message;
    while (PeekMessageW(&message, nullptr, kStatusTextMessage, kStatusTextMessage, PM_REMOVE)) {
        delete reinterpret_cast<std::wstring*>(message.lParam);
    }
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
        case kStatusTextMessage: {
            const std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(lParam));
            state_.onStatusText(*text);
            return 0;
        }
        case kTaskFinishedMessage:
            state_.onTaskFinished(static_cast<std::uintptr_t>(wParam));
            return 0;
        case WM_TIMER:
            state_.onTimer();
            return 0;
        case WM_CLOSE:
            state_.onClose();
            return 0;
        case WM_DESTROY:
            destroyed_ = true;
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
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
    std::thread worker([&window, &task] { task(window); });
    window.runMessageLoop();
    worker.join();
    window.discardUndelivered();
}

}  // namespace quorvel
