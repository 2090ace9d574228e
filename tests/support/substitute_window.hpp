#pragma once
// SubstituteWindow: the Status window without a display. The join task's texts and finish go
// through the real StatusChannel; its wakes wait in a queue until pump() delivers them through
// the window's StatusWindowState, as the message loop would; what the window did is recorded.

#include "app/status_window.hpp"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace quorvel::testing {

class SubstituteWindow final : public StatusSink, private StatusWindowActions, private StatusWake {
public:
    SubstituteWindow() { state.taskStarted(); }

    void setStatusText(const std::wstring& text) override { channel.setStatusText(text); }
    void finish(FinishMode mode) override { channel.finish(mode); }

    // Delivers every queued wake in order, including those queued while delivering.
    void pump() {
        while (!wakes_.empty() && !destroyed) {
            wakes_.pop_front();
            state.onWake();
        }
    }
    // A wake that no worker announced, as another program on the desktop can post one.
    void forgeWake() { wakes_.push_back(Wake{}); }
    void pressClose() { state.onClose(); }
    void timerFires() { state.onTimer(); }
    std::size_t queuedWakes() const { return wakes_.size(); }

    StatusChannel channel{*this};
    StatusWindowState state{*this, channel};
    std::wstring text = kInitialStatus;  // the text control's text
    std::vector<std::wstring> texts;     // every text shown, in order
    std::vector<FinishMode> finishes;    // finishes the task handed over, in order
    bool closeTimer = false;
    bool destroyed = false;
    bool wakesFail = false;  // wakes are lost, as when the window's queue is full

private:
    struct Wake {};

    void showText(const std::wstring& shown) override {
        text = shown;
        texts.push_back(shown);
    }
    void destroy() override {
        if (destroyed) return;
        destroyed = true;
        state.onDestroy();
    }
    void startCloseTimer() override { closeTimer = true; }
    void wakeForText() override {
        if (!wakesFail) wakes_.push_back(Wake{});
    }
    void wakeForFinish(FinishMode mode) override {
        finishes.push_back(mode);
        if (!wakesFail) wakes_.push_back(Wake{});
    }

    std::deque<Wake> wakes_;
};

}  // namespace quorvel::testing
