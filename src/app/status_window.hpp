#pragma once
// The Status window's texts, finish modes and state machine, and the StatusSink seam through which
// the join task talks to it: Win32 window (join_platform_win32.cpp), substitute
// testing::SubstituteWindow (tests/support/substitute_window.hpp).

#include <cstdint>
#include <string>

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

// The window as the join task sees it: both calls post and return at once, from any thread.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    // Posts a status text; when the window is gone the text is dropped without a trace.
    virtual void setStatusText(const std::wstring& text) = 0;
    // Posts the task-finished message.
    virtual void finish(FinishMode mode) = 0;
};

// What the window procedure does to its own window.
class StatusWindowActions {
public:
    virtual ~StatusWindowActions() = default;
    virtual void showText(const std::wstring& text) = 0;  // the text control's text
    virtual void destroy() = 0;
    virtual void startCloseTimer() = 0;                   // timer 1 after kCloseDelayMs
    virtual void postText(const std::wstring& text) = 0;  // setStatusText, queued behind earlier texts
};

// The window procedure's decisions, on the main thread only. The task running flag is set when
// the task starts and cleared only by the task-finished message.
class StatusWindowState {
public:
    explicit StatusWindowState(StatusWindowActions& actions) : actions_(actions) {}

    void taskStarted() { taskRunning_ = true; }
    bool taskRunning() const { return taskRunning_; }

    void onStatusText(const std::wstring& text) { actions_.showText(text); }
    // `mode` is the message's raw value: anything but 0 and 2 closes later.
    void onTaskFinished(std::uintptr_t mode);
    void onTimer() { actions_.destroy(); }
    // The close button: refused with kStillRunning while the task runs.
    void onClose();

private:
    StatusWindowActions& actions_;
    bool taskRunning_ = false;
};

}  // namespace quorvel
