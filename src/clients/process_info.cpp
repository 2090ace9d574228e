#include "clients/process_info.hpp"

#include "clients/command_line.hpp"
#include "common/error.hpp"
#include "platform/command_line.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <utility>

namespace quorvel {

DotaProcess readProcessInfo(ProcessTable& processes, std::uint32_t pid) {
    // Owned here so that the handle is closed on every path, before the caller sees the result
    // or the failure.
    const std::unique_ptr<OpenedProcess> process = processes.open(pid);
    check(process != nullptr, kProcessAccessDenied);

    std::optional<std::wstring> imagePath = process->imageName();
    std::optional<std::uint64_t> creationTime;
    if (imagePath) creationTime = process->creationTime();
    check(imagePath && creationTime, kProcessChanged);

    check(processes.commandLineQueryAvailable(), kCommandLineQueryMissing);
    const std::uint32_t size = process->commandLineBlockSize();
    check(size >= kMinCommandLineBlock && size <= kMaxCommandLineBlock, kCommandLineUnreadable);

    // Exactly the probed size: a command line that grew since the probe fails the query.
    std::vector<std::byte> block(size);
    check(process->readCommandLineBlock(block.data(), size), kCommandLineUnconfirmed);
    const std::optional<std::wstring> text =
        commandLineFromBlock(block, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block.data())));
    check(text.has_value(), kCommandLineRangeInvalid);

    return DotaProcess{pid, *creationTime, std::move(*imagePath), splitCommandLine(*text)};
}

}  // namespace quorvel
