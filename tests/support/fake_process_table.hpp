#pragma once
// FakeProcessTable: scripted processes for the client inspection, with a failure switch for each
// step of reading one, and the command-line block built as the platform hands it back.

#include "outside/process_table.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::testing {

// One scripted process. By default every step succeeds and the block carries `commandLine`.
struct FakeProcess {
    std::uint32_t pid = 0;
    std::wstring exeName = L"dota2.exe";  // as the snapshot lists it
    std::wstring imagePath;
    std::uint64_t creationTime = 0;
    std::wstring commandLine;

    bool openFails = false;
    bool imageFails = false;
    bool timesFail = false;
    std::optional<std::uint32_t> probeLength;  // reported by the probe instead of the block's size
    bool readFails = false;                    // the second query returns an error status
    // Writes the block instead of the fake; it receives the zeroed block as allocated.
    std::function<void(std::span<std::byte> block)> craftBlock;
};

class FakeProcessTable final : public ProcessTable {
public:
    // Script.
    std::vector<FakeProcess> processes;  // snapshot order
    bool snapshotFails = false;
    bool queryAvailable = true;
    // Runs before each open (1 for the first), so that a test can change a process between reads.
    std::function<void(int openNumber)> onOpen;

    // Record: "snapshot", "open 7", "image 7", "times 7", "query", "probe 7", "read 7 <size>",
    // "close 7", in call order.
    std::vector<std::string> calls;
    int opened = 0;
    int closed = 0;
    std::vector<bool> blocksZeroed;  // for each read, whether the block arrived all zero

    FakeProcess& add(FakeProcess process);
    FakeProcess* find(std::uint32_t pid);
    int openNow() const { return opened - closed; }

    std::optional<std::vector<ProcessEntry>> snapshot() override;
    std::unique_ptr<OpenedProcess> open(std::uint32_t pid) override;
    bool commandLineQueryAvailable() override;
};

// The command line's UTF-16 units (code points above U+FFFF become surrogate pairs).
std::u16string utf16Units(std::wstring_view text);

// Size of the block the platform returns for `commandLine`: header, text, terminating NUL.
std::uint32_t commandLineBlockSize(std::wstring_view commandLine);

// Writes the header fields (little-endian) into the first 16 bytes of `block`.
void writeBlockHeader(std::span<std::byte> block, std::uint16_t length, std::uint64_t buffer);

// Writes `units` little-endian at `offset`.
void writeBlockUnits(std::span<std::byte> block, std::size_t offset, std::u16string_view units);

// The address of `block` as the reader computes it.
inline std::uint64_t addressOf(std::span<const std::byte> block) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block.data()));
}

}  // namespace quorvel::testing
