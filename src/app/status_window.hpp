#pragma once
// The Status window's texts, finish modes and state machine, the StatusSink seam through which
// the join task talks to it, and the StatusChannel that carries the task's texts to the window:
// Win32 window (join_platform_win32.cpp), substitute testing::SubstituteWindow
// (tests/support/substitute_window.hpp).

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const wchar_t* kInitialStatus = L"正在初始化Quorvel…";
inline constexpr const wchar_t* kStillRunning = L"连接任务仍在执行，请等待完成后关闭。";
inline constexpr std::uint32_t kCloseDelayMs = 3'000;

// How the window ends once the join task has finished.
enum class FinishMode : std::uintptr_t {
    keepOpen = 0,    // the player closes it
    closeLater = 1,  // 3 seconds later
    closeNow = 2,    // at once, for a newer build to take over
};

// The window as the join task sees it: both calls return at once, from any thread.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    // Hands a status text to the window; when the window is gone the text is dropped without a
    // trace.
    virtual void setStatusText(const std::wstring& text) = 0;
    // Tells the window that the task has finished and how the window ends.
    virtual void finish(FinishMode mode) = 0;
};

// How the channel wakes the window's thread: a posted message that carries nothing the window
// relies on. A wake that cannot be posted is lost; what it announced stays in the channel.
class StatusWake {
public:
    virtual ~StatusWake() = default;
    virtual void wakeForText() = 0;
    virtual void wakeForFinish(FinishMode mode) = 0;
};

// The texts and the finish of the join task on their way to the window. The worker fills it; the
// window's thread takes what arrived whenever it is woken. The texts never travel in the messages
// themselves, so a message forged by another program shows nothing, frees nothing and closes
// nothing: the window acts on what the worker really handed over. The worker never waits for
// the window, only for the mutex, which the window holds just long enough to take the texts.
class StatusChannel final : public StatusSink {
public:
    explicit StatusChannel(StatusWake& wake) : wake_(wake) {}

    void setStatusText(const std::wstring& text) override;
    void finish(FinishMode mode) override;

    struct Delivery {
        std::vector<std::wstring> texts;  // in the order they were handed over
        std::optional<FinishMode> finish;  // after the texts, handed out once
    };
    // What arrived since the last take.
    Delivery take();
    // The window is gone: from now on texts and the finish are dropped, and nothing is woken.
    void close();

private:
    StatusWake& wake_;
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::optional<FinishMode> finish_;
    bool finishTaken_ = false;
    bool closed_ = false;
};

// What the window procedure does to its own window.
class StatusWindowActions {
public:
    virtual ~StatusWindowActions() = default;
    virtual void showText(const std::wstring& text) = 0;  // the text control's text
    virtual void destroy() = 0;
    virtual void startCloseTimer() = 0;  // timer 1 after kCloseDelayMs
};

// The window procedure's decisions, on the window's thread only. The task running flag is set
// when the task starts and cleared only once the task's finish has been taken from the channel.
class StatusWindowState {
public:
    StatusWindowState(StatusWindowActions& actions, StatusChannel& channel) : actions_(actions), channel_(channel) {}

    void taskStarted() { taskRunning_ = true; }
    bool taskRunning() const { return taskRunning_; }

    // Either of the window's own messages, whoever posted it: shows the texts the task handed
    // over, then acts on its finish.
    void onWake();
    void onTimer() { actions_.destroy(); }
    // The close button: refused with kStillRunning while the task runs. The refusal is shown at
    // once, so any text the task hands over later replaces it.
    void onClose();
    // The window is being destroyed.
    void onDestroy() { channel_.close(); }

private:
    // `mode` is the task's finish: anything but 0 and 2 closes later.
    void onTaskFinished(std::uintptr_t mode);

    StatusWindowActions& actions_;
    StatusChannel& channel_;
    bool taskRunning_ = false;
};

}  // namespace quorvel
