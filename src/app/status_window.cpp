#include "app/status_window.hpp"

namespace quorvel {

void StatusWindowState::onTaskFinished(std::uintptr_t mode) {
    taskRunning_ = false;
    if (mode == static_cast<std::uintptr_t>(FinishMode::keepOpen)) return;
    if (mode == static_cast<std::uintptr_t>(FinishMode::closeNow)) return actions_.destroy();
    actions_.startCloseTimer();
}

void StatusWindowState::onClose() {
    if (taskRunning_) return actions_.postText(kStillRunning);
    actions_.destroy();
}

}  // namespace quorvel
