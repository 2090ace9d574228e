#pragma once
// Win32ProcessTable: the process table through Toolhelp, OpenProcess and ntdll's
// NtQueryInformationProcess.

#include "outside/process_table.hpp"

namespace quorvel {

// How another process's command line is read.
enum class CommandLineReader {
    // NtQueryInformationProcess class 60 (ProcessCommandLineInformation) only: the shipped program.
    commandLineInformation,
    // The same, and where the system answers that class with STATUS_INVALID_INFO_CLASS (Wine 8),
    // the command line from the process environment block instead, presented as the same block.
    // For running the whole product under Wine; the program entry chooses it only in builds made
    // for that.
    environmentBlockFallback,
};

class Win32ProcessTable final : public ProcessTable {
public:
    explicit Win32ProcessTable(CommandLineReader reader) : reader_(reader) {}

    std::optional<std::vector<ProcessEntry>> snapshot() override;
    std::unique_ptr<OpenedProcess> open(std::uint32_t pid) override;
    bool commandLineQueryAvailable() override;

private:
    CommandLineReader reader_;
};

}  // namespace quorvel
