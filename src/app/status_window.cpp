#include "app/status_window.hpp"

#include <utility>

namespace quorvel {

void StatusChannel::setStatusText(const std::wstring& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    texts_.push_back(text);
    // Woken while the lock is held, so that the window cannot be destroyed between the test and
    // the post; posting never waits for the window.
    wake_.wakeForText();
}

void StatusChannel::finish(FinishMode mode) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || finish_) return;
    finish_ = mode;
    wake_.wakeForFinish(mode);
}

StatusChannel::Delivery StatusChannel::take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Delivery delivery;
    delivery.texts = std::exchange(texts_, {});
    if (finish_ && !finishTaken_) {
        delivery.finish = finish_;
        finishTaken_ = true;
    }
    return delivery;
}

void StatusChannel::close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    texts_.clear();
}

void StatusWindowState::onWake() {
    const StatusChannel::Delivery delivery = channel_.take();
    for (const std::wstring& text : delivery.texts) actions_.showText(text);
    if (delivery.finish) onTaskFinished(static_cast<std::uintptr_t>(*delivery.finish));
}

void StatusWindowState::onTaskFinished(std::uintptr_t mode) {
    taskRunning_ = false;
    if (mode == static_cast<std::uintptr_t>(FinishMode::keepOpen)) return;
    if (mode == static_cast<std::uintptr_t>(FinishMode::closeNow)) return actions_.destroy();
    actions_.startCloseTimer();
}

void StatusWindowState::onClose() {
    if (!taskRunning_) return actions_.destroy();
    actions_.showText(kStillRunning);
    // Whatever the task handed over already comes after the refusal, its finish included, even
    // when the message announcing it could not be posted.
    onWake();
}

}  // namespace quorvel
