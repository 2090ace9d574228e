#include "outside/process_table_win32.hpp"

#include "common/scoped_handle_win32.hpp"
#include "outside/undocumented_layouts.hpp"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>

namespace quorvel {
namespace {

constexpr ULONG kProcessBasicInformation = 0;
constexpr LONG kStatusInvalidInfoClass = static_cast<LONG>(0xC0000003);
constexpr DWORD kImageNameCapacity = 32'768;

// UNICODE_STRING on x64, which is also the header of the class-60 block.
struct CountedText {
    std::uint16_t length;  // bytes
    std::uint16_t capacity;
    std::uint32_t padding;
    std::uint64_t buffer;
};
static_assert(sizeof(CountedText) == 16);
static_assert(sizeof(PROCESS_BASIC_INFORMATION) == 48);

using NtQueryInformationProcessFunction = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// Looked up at run time in the ntdll every process has loaded, so that the program does not
// import it; null when it is missing.
NtQueryInformationProcessFunction ntQueryInformationProcess() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    const FARPROC address = GetProcAddress(ntdll, "NtQueryInformationProcess");
    // Through void (*)(), which converts to any function type without a warning.
    return reinterpret_cast<NtQueryInformationProcessFunction>(reinterpret_cast<void (*)()>(address));
}

bool readExactly(HANDLE process, std::uint64_t address, void* out, std::size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), out, size,
                             &read) &&
           read == size;
}

// The characters of the command line as the process environment block records it; nothing when
// a read fails or returns fewer bytes, or when the recorded length is odd. The caller's handle
// keeps the process alive, so the pid names the same process here.
std::optional<std::vector<std::byte>> environmentBlockCommandLine(NtQueryInformationProcessFunction query,
                                                                  std::uint32_t pid) {
    const ScopedKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return std::nullopt;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG written = 0;
    if (query(process.get(), kProcessBasicInformation, &basic, sizeof(basic), &written) < 0) return std::nullopt;
    const auto peb = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress));
    std::uint64_t parameters = 0;
    if (!readExactly(process.get(), peb + kPebProcessParametersOffset, &parameters, sizeof(parameters))) {
        return std::nullopt;
    }
    CountedText text{};
    if (!readExactly(process.get(), parameters + kParametersCommandLineOffset, &text, sizeof(text))) {
        return std::nullopt;
    }
    // A 16-bit length that is even lies within 0 to 65,534 bytes.
    if (text.length % 2 != 0) return std::nullopt;
    std::vector<std::byte> characters(text.length);
    if (text.length > 0 && !readExactly(process.get(), text.buffer, characters.data(), characters.size())) {
        return std::nullopt;
    }
    return characters;
}

class Win32OpenedProcess final : public OpenedProcess {
public:
    Win32OpenedProcess(ScopedKernelHandle handle, std::uint32_t pid, CommandLineReader reader)
        : handle_(std::move(handle)), pid_(pid), reader_(reader) {}

    std::optional<std::wstring> imageName() override {
        std::wstring path(kImageNameCapacity, L'\0');
        DWORD size = kImageNameCapacity;
        if (!QueryFullProcessImageNameW(handle_.get(), 0, path.data(), &size)) return std::nullopt;
        path.resize(std::min<std::size_t>(size, path.find(L'\0')));
        return path;
    }

    std::optional<std::uint64_t> creationTime() override {
        FILETIME creation{}, exit{}, kernel{}, user{};
        if (!GetProcessTimes(handle_.get(), &creation, &exit, &kernel, &user)) return std::nullopt;
        return (static_cast<std::uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
    }

    std::uint32_t commandLineBlockSize() override {
        const NtQueryInformationProcessFunction query = ntQueryInformationProcess();
        if (query == nullptr) return 0;
        ULONG length = 0;
        const LONG status = query(handle_.get(), kProcessCommandLineInformation, nullptr, 0, &length);
        if (status == kStatusInvalidInfoClass && reader_ == CommandLineReader::environmentBlockFallback) {
            const auto characters = environmentBlockCommandLine(query, pid_);
            return characters ? static_cast<std::uint32_t>(sizeof(CountedText) + characters->size()) : 0;
        }
        return length;
    }

    bool readCommandLineBlock(std::byte* block, std::uint32_t size) override {
        const NtQueryInformationProcessFunction query = ntQueryInformationProcess();
        if (query == nullptr) return false;
        ULONG length = 0;
        const LONG status = query(handle_.get(), kProcessCommandLineInformation, block, size, &length);
        if (status == kStatusInvalidInfoClass && reader_ == CommandLineReader::environmentBlockFallback) {
            return environmentBlockInto(query, block, size);
        }
        return status >= 0;
    }

private:
    // Lays the environment block's command line out as class 60 would: the header, then the
    // characters, `Buffer` pointing at them inside `block`. False when it does not fit, as class
    // 60 fails for a command line that grew since the probe.
    bool environmentBlockInto(NtQueryInformationProcessFunction query, std::byte* block, std::uint32_t size) {
        const auto characters = environmentBlockCommandLine(query, pid_);
        if (!characters || size < sizeof(CountedText) || characters->size() > size - sizeof(CountedText)) {
            return false;
        }
        const CountedText header{static_cast<std::uint16_t>(characters->size()),
                                 static_cast<std::uint16_t>(characters->size()), 0,
                                 static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block + sizeof(header)))};
        std::memcpy(block, &header, sizeof(header));
        if (!characters->empty()) std::memcpy(block + sizeof(header), characters->data(), characters->size());
        return true;
    }

    ScopedKernelHandle handle_;
    std::uint32_t pid_;
    CommandLineReader reader_;
};

}  // namespace

std::optional<std::vector<ProcessEntry>> Win32ProcessTable::snapshot() {
    const ScopedKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return std::nullopt;
    std::vector<ProcessEntry> entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        const std::size_t length = wcsnlen(entry.szExeFile, MAX_PATH);
        entries.push_back({entry.th32ProcessID, std::wstring(entry.szExeFile, length)});
    }
    return entries;
}

std::unique_ptr<OpenedProcess> Win32ProcessTable::open(std::uint32_t pid) {
    ScopedKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return nullptr;
    return std::make_unique<Win32OpenedProcess>(std::move(process), pid, reader_);
}

bool Win32ProcessTable::commandLineQueryAvailable() {
    return ntQueryInformationProcess() != nullptr;
}

}  // namespace quorvel
