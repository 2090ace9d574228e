#include "platform/process_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <string>
#include <utility>

namespace quorvel {
namespace {

class Win32Process final : public Process {
public:
    explicit Win32Process(ScopedKernelHandle process) : process_(std::move(process)) {}

    bool waitForExit(std::uint32_t milliseconds) override {
        return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    bool terminate(std::uint32_t exitCode) override { return TerminateProcess(process_.get(), exitCode) != FALSE; }
    std::optional<std::uint32_t> exitCode() override {
        DWORD code = 0;
        if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
        return code;
    }

private:
    ScopedKernelHandle process_;
};

}  // namespace

std::unique_ptr<Process> Win32Processes::start(const ProgramStart& options) {
    std::wstring commandLine = options.commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const wchar_t* folder = options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    if (!CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder, &startup, &started)) {
        return nullptr;
    }
    const ScopedKernelHandle thread(started.hThread);
    return std::make_unique<Win32Process>(ScopedKernelHandle(started.hProcess));
}

std::unique_ptr<Process> Win32Processes::open(std::uint32_t pid) {
    ScopedKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid()) return nullptr;
    return std::make_unique<Win32Process>(std::move(process));
}

}  // namespace quorvel
