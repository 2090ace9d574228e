#include "update/child_process_win32.hpp"

#include "common/scoped_handle_win32.hpp"

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
    std::wstring commandLine = options.commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const wchar_t* folder = options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    if (!CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder, &startup, &started)) {
        return nullptr;
    }
    return std::make_unique<Win32ChildProcess>(ScopedKernelHandle(started.hProcess),
                                               ScopedKernelHandle(started.hThread));
}

}  // namespace quorvel
