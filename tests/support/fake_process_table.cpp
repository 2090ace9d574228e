#include "support/fake_process_table.hpp"

#include <algorithm>
#include <utility>

namespace quorvel::testing {
namespace {

constexpr std::size_t kHeaderSize = 16;

std::string named(const char* step, std::uint32_t pid) {
    return std::string(step) + " " + std::to_string(pid);
}

// What OpenProcess hands back: a copy of the process as it was when opened.
class FakeOpenedProcess final : public OpenedProcess {
public:
    FakeOpenedProcess(FakeProcessTable& table, FakeProcess process) : table_(table), process_(std::move(process)) {
        ++table_.opened;
    }
    ~FakeOpenedProcess() override {
        ++table_.closed;
        table_.calls.push_back(named("close", process_.pid));
    }

    std::optional<std::wstring> imageName() override {
        table_.calls.push_back(named("image", process_.pid));
        if (process_.imageFails) return std::nullopt;
        return process_.imagePath;
    }

    std::optional<std::uint64_t> creationTime() override {
        table_.calls.push_back(named("times", process_.pid));
        if (process_.timesFail) return std::nullopt;
        return process_.creationTime;
    }

    std::uint32_t commandLineBlockSize() override {
        table_.calls.push_back(named("probe", process_.pid));
        return process_.probeLength.value_or(testing::commandLineBlockSize(process_.commandLine));
    }

    bool readCommandLineBlock(std::byte* block, std::uint32_t size) override {
        table_.calls.push_back(named("read", process_.pid) + " " + std::to_string(size));
        const std::span<std::byte> bytes(block, size);
        table_.blocksZeroed.push_back(
            std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; }));
        if (process_.readFails) return false;
        if (process_.craftBlock) {
            process_.craftBlock(bytes);
            return true;
        }
        // A block too small for the text fails the query, as a length mismatch does.
        if (size < testing::commandLineBlockSize(process_.commandLine)) return false;
        const std::u16string units = utf16Units(process_.commandLine);
        writeBlockHeader(bytes, static_cast<std::uint16_t>(units.size() * 2), addressOf(bytes) + kHeaderSize);
        writeBlockUnits(bytes, kHeaderSize, units);
        return true;
    }

private:
    FakeProcessTable& table_;
    FakeProcess process_;
};

}  // namespace

FakeProcess& FakeProcessTable::add(FakeProcess process) {
    processes.push_back(std::move(process));
    return processes.back();
}

FakeProcess* FakeProcessTable::find(std::uint32_t pid) {
    for (FakeProcess& process : processes) {
        if (process.pid == pid) return &process;
    }
    return nullptr;
}

std::optional<std::vector<ProcessEntry>> FakeProcessTable::snapshot() {
    calls.push_back("snapshot");
    if (snapshotFails) return std::nullopt;
    std::vector<ProcessEntry> entries;
    for (const FakeProcess& process : processes) entries.push_back({process.pid, process.exeName});
    return entries;
}

std::unique_ptr<OpenedProcess> FakeProcessTable::open(std::uint32_t pid) {
    if (onOpen) onOpen(opened + 1);
    calls.push_back(named("open", pid));
    const FakeProcess* process = find(pid);
    if (process == nullptr || process->openFails) return nullptr;
    return std::make_unique<FakeOpenedProcess>(*this, *process);
}

bool FakeProcessTable::commandLineQueryAvailable() {
    calls.push_back("query");
    return queryAvailable;
}

std::u16string utf16Units(std::wstring_view text) {
    std::u16string units;
    for (const wchar_t c : text) {
        const auto value = static_cast<std::uint32_t>(c);
        if (value >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(value));
        }
    }
    return units;
}

std::uint32_t commandLineBlockSize(std::wstring_view commandLine) {
    return static_cast<std::uint32_t>(kHeaderSize + 2 * (utf16Units(commandLine).size() + 1));
}

void writeBlockHeader(std::span<std::byte> block, std::uint16_t length, std::uint64_t buffer) {
    const std::uint16_t capacity = static_cast<std::uint16_t>(length + 2);
    for (std::size_t i = 0; i < 2; ++i) block[i] = static_cast<std::byte>(length >> (8 * i));
    for (std::size_t i = 0; i < 2; ++i) block[2 + i] = static_cast<std::byte>(capacity >> (8 * i));
    for (std::size_t i = 0; i < 8; ++i) block[8 + i] = static_cast<std::byte>(buffer >> (8 * i));
}

void writeBlockUnits(std::span<std::byte> block, std::size_t offset, std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        block[offset + 2 * i] = static_cast<std::byte>(units[i] & 0xFF);
        block[offset + 2 * i + 1] = static_cast<std::byte>(units[i] >> 8);
    }
}

}  // namespace quorvel::testing
