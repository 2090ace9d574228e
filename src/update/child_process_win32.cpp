#include "update/child_process_win32.hpp"

#include "common/scoped_handle_win32.hpp"
#include "outside/program_starter_win32.hpp"

#include <string>
#include <utility>

namespace quorvel {
namespace {

class Win32ChildProcess final : public ChildProcess {
public:
    Win32ChildProcess(ScopedKernelHandle process, ScopedKernelHandle thread)
        : process_(std::move(process)), thread_(std::move(thread)) {}

    bool waitForExit(std::uint32_t milliseconds) override {
        return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    void terminate(std::uint32_t exitCode) override { TerminateProcess(process_.get(), exitCode); }
    std::optional<std::uint32_t> exitCode() override {
        DWORD code = 0;
        if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
        return code;
    }

private:
    ScopedKernelHandle process_;
    ScopedKernelHandle thread_;
};

}  // namespace

std::unique_ptr<ChildProcess> Win32ChildProcesses::start(const ProgramStart& options) {
    std::optional<StartedProcess> started = startProcess(options);
    if (!started) return nullptr;
    return std::make_unique<Win32ChildProcess>(std::move(started->process), std::move(started->thread));
}

}  // namespace quorvel
