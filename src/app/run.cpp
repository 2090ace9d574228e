#include "app/run.hpp"

#include "app/result_file.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/join_link.hpp"

#include <array>
#include <exception>
#include <string_view>

namespace quorvel {
namespace {

constexpr std::array<std::wstring_view, 6> kErrorFileOptions = {L"--self-test",    L"--inspect",     L"--health-check",
                                                                L"--install-only", L"--update-only", L"--steam-check"};

bool selectOption(const std::wstring& option, RunModes& modes) {
    if (option == L"--health-check") {
        modes.healthCheck();
    } else if (option == L"--install-only") {
        modes.prepare(false);
    } else if (option == L"--update-only") {
        modes.prepare(true);
    } else if (option == L"--self-test") {
        modes.selfTest();
    } else if (option == L"--steam-check") {
        modes.steamCheck();
    } else if (option == L"--inspect") {
        modes.inspect();
    } else if (option == L"--register-test-protocol") {
        modes.registerTestProtocol();
    } else {
        return false;
    }
    return true;
}

}  // namespace

void run(const Arguments& args, RunModes& modes) {
    if (args.size() == 2 && selectOption(args[1], modes)) return;
    check(args.size() <= 2, "只接受一个大厅连接链接");
    if (args.size() == 2) {
        const std::string ticket = parseJoinLink(args[1]);
        modes.join(ticket, &args[1]);
    } else {
        modes.join(std::string(), nullptr);
    }
}

bool reportsToErrorFile(const Arguments& args) {
    if (args.size() != 2) return false;
    for (std::wstring_view option : kErrorFileOptions) {
        if (args[1] == option) return true;
    }
    return false;
}

int runProgram(const Arguments& args, RunModes& modes, const ProgramLocations& locations, Desktop& desktop) {
    std::string message;
    try {
        run(args, modes);
        return 0;
    } catch (const std::exception& failure) {
        // The shared error above all; a library error that a mode lets through is reported the
        // same way rather than ending the process without a word.
        message = failure.what();
    }
    if (reportsToErrorFile(args)) {
        try {
            writeResultFile("native-check-error.json", nlohmann::json{{"error", message}}, locations);
        } catch (const std::exception&) {
            // Nowhere left to report to: the exit code still says it failed.
        }
    } else {
        desktop.showError(toWideLenient(message));
    }
    return 1;
}

}  // namespace quorvel
