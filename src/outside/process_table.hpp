#pragma once
// ProcessTable: the processes of this machine as the client census reads them. Implementation:
// Win32ProcessTable (process_table_win32.hpp); fake: testing::FakeProcessTable
// (tests/support/fake_process_table.hpp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One entry of the process snapshot.
struct ProcessEntry {
    std::uint32_t pid = 0;
    std::wstring exeName;  // the bare executable file name, as the snapshot spells it
};

// One process opened for PROCESS_QUERY_LIMITED_INFORMATION only (not inheritable); the handle is
// closed when the object is destroyed. Each step reports failure by its result, so that the
// caller can give each its own message.
class OpenedProcess {
public:
    virtual ~OpenedProcess() = default;
    // QueryFullProcessImageNameW with flags 0 into 32,768 characters, up to the terminator;
    // nothing when the query fails.
    virtual std::optional<std::wstring> imageName() = 0;
    // GetProcessTimes' creation time, FILETIME ticks; nothing when the query fails.
    virtual std::optional<std::uint64_t> creationTime() = 0;
    // The size probe of the command-line block (class 60, no buffer, length 0): the returned
    // length only, whatever the status.
    virtual std::uint32_t commandLineBlockSize() = 0;
    // Fills `block` (`size` bytes, zeroed by the caller) with the command-line block (class 60);
    // false when the status is an error status. The block's `Buffer` field holds an address
    // inside `block` as this process sees it.
    virtual bool readCommandLineBlock(std::byte* block, std::uint32_t size) = 0;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // The Toolhelp process snapshot in its order; nothing when no snapshot can be taken.
    virtual std::optional<std::vector<ProcessEntry>> snapshot() = 0;
    // Null when the process cannot be opened.
    virtual std::unique_ptr<OpenedProcess> open(std::uint32_t pid) = 0;
    // Whether the platform's command-line query (ntdll's NtQueryInformationProcess) is present.
    virtual bool commandLineQueryAvailable() = 0;
};

}  // namespace quorvel
