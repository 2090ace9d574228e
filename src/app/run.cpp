#include "app/run.hpp"

#include "app/result_file.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/join_link.hpp"

#include <cstdint>
#include <exception>
#include <optional>

namespace quorvel {
namespace {

// The option that element 1 names, with element 2 when the option takes one; nothing for any
// other argument list.
const RunOption* selectedOption(const Arguments& args) {
    if (args.size() != 2 && args.size() != 3) return nullptr;
    for (const RunOption& option : kRunOptions) {
        const std::size_t size = option.then.empty() ? 2 : 3;
        if (args.size() == size && args[1] == option.text && (size == 2 || args[2] == option.then)) return &option;
    }
    return nullptr;
}

// A process id in decimal digits: no sign, no space, not zero, within 32 bits.
std::optional<std::uint32_t> parsePid(const std::wstring& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (value == 0 || value > 0xFFFF'FFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// `--uninstall-hand-off PID ROOT [--quiet]`, started by an uninstalling build for its temporary copy.
void runHandOff(const Arguments& args, RunModes& modes) {
    const bool quiet = args.size() == 5 && args[4] == L"--quiet";
    const std::optional<std::uint32_t> pid = args.size() >= 4 ? parsePid(args[2]) : std::nullopt;
    check(pid.has_value() && (args.size() == 4 || quiet) && !args[3].empty(), "卸载参数无效");
    const UninstallHandOff handOff{*pid, std::filesystem::path(args[3])};
    modes.uninstall(quiet, &handOff);
}

}  // namespace

void run(const Arguments& args, RunModes& modes) {
    if (const RunOption* option = selectedOption(args)) return option->start(modes);
    if (args.size() >= 2 && args[1] == kUninstallHandOffOption) return runHandOff(args, modes);
    check(args.size() <= 2, "只接受一个大厅连接链接");
    if (args.size() == 2) {
        const std::string ticket = parseJoinLink(args[1]);
        modes.join(ticket, &args[1]);
    } else {
        modes.join(std::string(), nullptr);
    }
}

bool reportsToErrorFile(const Arguments& args) {
    const RunOption* option = selectedOption(args);
    return option != nullptr && option->reportsToErrorFile;
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
