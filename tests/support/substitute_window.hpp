#pragma once
// SubstituteWindow: the Status window without a display. Posted messages wait in a queue until
// pump() delivers them through the window's StatusWindowState, as the message loop would; what the
// window did is recorded.

#include "app/status_window.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

class SubstituteWindow final : public StatusSink, private StatusWindowActions {
public:
    SubstituteWindow() { state.taskStarted(); }

    void setStatusText(const std::wstring& text) override {
        if (destroyed) {
            ++dropped;
            return;
        }
        queue_.push_back({text, std::nullopt});
    }
    void finish(FinishMode mode) override {
        if (destroyed) return;
        queue_.push_back({std::wstring(), mode});
    }

    // Delivers every posted message in order, including those posted while delivering.
    void pump() {
        while (!queue_.empty() && !destroyed) {
            const Message message = queue_.front();
            queue_.pop_front();
            if (message.finish) {
                finishes.push_back(*message.finish);
                state.onTaskFinished(static_cast<std::uintptr_t>(*message.finish));
            } else {
                state.onStatusText(message.text);
            }
        }
    }
    void pressClose() { state.onClose(); }
    void timerFires() { state.onTimer(); }

    StatusWindowState state{*this};
    std::wstring text = kInitialStatus;  // the text control's text
    std::vector<std::wstring> texts;     // every text applied, in order
    std::vector<FinishMode> finishes;    // task-finished messages delivered
    bool closeTimer = false;
    bool destroyed = false;
    int dropped = 0;  // texts posted after the window was destroyed

private:
    struct Message {
        std::wstring text;
        std::optional<FinishMode> finish;
    };

    void showText(const std::wstring& shown) override {
        text = shown;
        texts.push_back(shown);
    }
    void destroy() override { destroyed = true; }
    void startCloseTimer() override { closeTimer = true; }
    void postText(const std::wstring& posted) override { setStatusText(posted); }

    std::deque<Message> queue_;
};

}  // namespace quorvel::testing
