#include "app/run.hpp"

#include "app/result_file.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/join_link.hpp"

#include <exception>

namespace quorvel {
namespace {

// The option that element 1 names, when the argument list has exactly two elements.
const RunOption* selectedOption(const Arguments& args) {
    if (args.size() != 2) return nullptr;
    for (const RunOption& option : kRunOptions) {
        if (args[1] == option.text) return &option;
    }
    return nullptr;
}

}  // namespace

void run(const Arguments& args, RunModes& modes) {
    if (const RunOption* option = selectedOption(args)) return option->start(modes);
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
