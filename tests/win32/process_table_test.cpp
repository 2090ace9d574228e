// Win32ProcessTable against real processes: the stand-in dota2.exe started with the game's
// arguments, read through both command-line readers.
#include "outside/process_table_win32.hpp"
#include "platform/file_identity.hpp"
#include "support/stand_in_dota_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <cstring>

namespace quorvel {
namespace {

using testing::StandInDota;

// Arguments as the game is started with them, and the stand-in's own at the end; the stand-in
// ends by itself after a minute should a test leave it behind.
const std::wstring kLaunch =
    L"-novid -tools -addon \"my map\" -vconport 29001 +connect \"[A:1:123:45]\" -名前 --no-window --exit-after 60000";

std::uint64_t now() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct Header {
    std::uint16_t length;
    std::uint16_t capacity;
    std::uint32_t padding;
    std::uint64_t buffer;
};

std::uint64_t addressOf(const void* pointer) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// The command line a class-60 block carries, after checking that its header points at the
// characters right behind it.
std::wstring textOfBlock(const std::vector<std::byte>& block) {
    Header header{};
    std::memcpy(&header, block.data(), sizeof(header));
    EXPECT_EQ(header.buffer, addressOf(block.data() + sizeof(header)));
    EXPECT_EQ(header.length, block.size() - sizeof(header));
    std::wstring text(header.length / 2, L'\0');
    std::memcpy(text.data(), block.data() + sizeof(header), header.length);
    return text;
}

// The stand-in's own record of its command line, changed in its memory the way a hostile or
// broken process could: through its process environment block, as the fallback reads it.
class RecordedCommandLine {
public:
    explicit RecordedCommandLine(std::uint32_t pid)
        : process_(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION,
                               FALSE, pid)) {
        if (!process_) throw std::runtime_error("cannot open the stand-in for writing");
        using Query = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
        const auto query = reinterpret_cast<Query>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic{};
        ULONG written = 0;
        if (query(process_.get(), 0, &basic, sizeof(basic), &written) < 0) throw std::runtime_error("no PEB");
        peb_ = addressOf(basic.PebBaseAddress);
        read(peb_ + 0x20, &parameters_, sizeof(parameters_));
    }
    std::uint64_t imageBase() {
        std::uint64_t base = 0;
        read(peb_ + 0x10, &base, sizeof(base));
        return base;
    }
    void setLength(std::uint16_t length) { write(parameters_ + 0x70, &length, sizeof(length)); }
    void setBuffer(std::uint64_t address) { write(parameters_ + 0x78, &address, sizeof(address)); }

private:
    void read(std::uint64_t address, void* out, std::size_t size) {
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_.get(), reinterpret_cast<LPCVOID>(address), out, size, &done) || done != size) {
            throw std::runtime_error("cannot read the stand-in's memory");
        }
    }
    void write(std::uint64_t address, const void* data, std::size_t size) {
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_.get(), reinterpret_cast<LPVOID>(address), data, size, &done) || done != size) {
            throw std::runtime_error("cannot write the stand-in's memory");
        }
    }

    ScopedKernelHandle process_;
    std::uint64_t peb_ = 0;
    std::uint64_t parameters_ = 0;
};

class ProcessTableWin32 : public ::testing::Test {
protected:
    testing::OutsideWorldLock lock;
    Win32ProcessTable shipped{CommandLineReader::commandLineInformation};
    Win32ProcessTable fallback{CommandLineReader::environmentBlockFallback};
};

TEST_F(ProcessTableWin32, SnapshotNamesEachProcessByItsBareFileName) {
    StandInDota dota(kLaunch);
    const auto entries = shipped.snapshot();
    ASSERT_TRUE(entries.has_value());
    int standIns = 0;
    bool self = false;
    for (const ProcessEntry& entry : *entries) {
        if (entry.pid == dota.pid()) {
            ++standIns;
            EXPECT_EQ(entry.exeName, L"dota2.exe");
        }
        if (entry.pid == GetCurrentProcessId()) {
            self = true;
            EXPECT_EQ(entry.exeName, L"win32_tests.exe");
        }
    }
    EXPECT_EQ(standIns, 1);
    EXPECT_TRUE(self);
}

TEST_F(ProcessTableWin32, OpenedProcessGivesItsImageAndCreationTime) {
    const std::uint64_t before = now();
    StandInDota dota(kLaunch);
    const std::uint64_t after = now();
    const auto opened = shipped.open(dota.pid());
    ASSERT_NE(opened, nullptr);
    const auto image = opened->imageName();
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->ends_with(L"\\dota2.exe")) << *image;
    EXPECT_EQ(fileIdentity(*image), fileIdentity(testing::standInPath()));
    const auto created = opened->creationTime();
    ASSERT_TRUE(created.has_value());
    EXPECT_GE(*created, before);
    EXPECT_LE(*created, after);
    EXPECT_EQ(shipped.open(dota.pid())->creationTime(), created);
    EXPECT_TRUE(shipped.commandLineQueryAvailable());
}

TEST_F(ProcessTableWin32, ProcessesThatCannotBeOpened) {
    EXPECT_EQ(shipped.open(0), nullptr);            // the idle process
    EXPECT_EQ(shipped.open(0xFFFFFFF0u), nullptr);  // no such process
}

TEST_F(ProcessTableWin32, ShippedReaderUsesClassSixtyOnly) {
    StandInDota dota(kLaunch);
    const auto opened = shipped.open(dota.pid());
    ASSERT_NE(opened, nullptr);
    const std::uint32_t size = opened->commandLineBlockSize();
    if (testing::underWine()) {
        // Wine 8 answers class 60 with STATUS_INVALID_INFO_CLASS and length 0, although the
        // environment block would give the command line: this reader does not look there.
        EXPECT_EQ(size, 0u);
        std::vector<std::byte> block(4096);
        EXPECT_FALSE(opened->readCommandLineBlock(block.data(), static_cast<std::uint32_t>(block.size())));
        return;
    }
    std::vector<std::byte> block(size);
    ASSERT_TRUE(opened->readCommandLineBlock(block.data(), size));
    Header header{};
    std::memcpy(&header, block.data(), sizeof(header));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(header.buffer), header.length / 2), dota.commandLine());
}

TEST_F(ProcessTableWin32, FallbackGivesTheWholeCommandLineAsAClassSixtyBlock) {
    StandInDota dota(kLaunch);
    // Until the new process has run its start-up, its environment block may not hold the
    // command line yet.
    ASSERT_TRUE(dota.waitUntilReady());
    const auto opened = fallback.open(dota.pid());
    ASSERT_NE(opened, nullptr);
    const std::uint32_t size = opened->commandLineBlockSize();
    ASSERT_EQ(size, 16 + 2 * dota.commandLine().size());
    std::vector<std::byte> block(size);
    ASSERT_TRUE(opened->readCommandLineBlock(block.data(), size));
    EXPECT_EQ(textOfBlock(block), dota.commandLine());

    // One character short, as when the command line grew after the probe: the read fails.
    std::vector<std::byte> small(size - 2);
    EXPECT_FALSE(opened->readCommandLineBlock(small.data(), static_cast<std::uint32_t>(small.size())));
}

TEST_F(ProcessTableWin32, FallbackTakesOnlyWhatItCanReadWhole) {
    struct Case {
        const char* name;
        void (*change)(RecordedCommandLine&);
        std::uint32_t expectedSize;  // 0: the probe fails
    };
    const Case cases[] = {
        {"odd length", [](RecordedCommandLine& line) { line.setLength(7); }, 0},
        {"characters at an unmapped address", [](RecordedCommandLine& line) { line.setBuffer(0x10); }, 0},
        {"empty", [](RecordedCommandLine& line) { line.setLength(0); }, 16},
        {"the longest a counted string holds",
         [](RecordedCommandLine& line) {
             // The mapped image is longer than that, so every byte can be read.
             line.setBuffer(line.imageBase());
             line.setLength(65534);
         },
         16 + 65534},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInDota dota(kLaunch);
        ASSERT_TRUE(dota.waitUntilReady());
        RecordedCommandLine recorded(dota.pid());
        c.change(recorded);
        const auto opened = fallback.open(dota.pid());
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->commandLineBlockSize(), c.expectedSize);
        std::vector<std::byte> block(16 + 65534);
        const bool read = opened->readCommandLineBlock(block.data(), static_cast<std::uint32_t>(block.size()));
        EXPECT_EQ(read, c.expectedSize != 0);
        if (read) {
            block.resize(c.expectedSize);
            EXPECT_EQ(textOfBlock(block).size(), (c.expectedSize - 16) / 2);
        }
    }
}

}  // namespace
}  // namespace quorvel
