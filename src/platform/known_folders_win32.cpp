#include "platform/known_folders_win32.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <knownfolders.h>
#include <shlobj.h>
#include <windows.h>

#include <vector>

namespace quorvel {

std::optional<std::filesystem::path> Win32KnownFolders::localAppData() const {
    PWSTR raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &raw);
    // The buffer is the caller's to free even when the call fails.
    const ScopedCoTaskMemory owned(raw);
    if (FAILED(result) || raw == nullptr) return std::nullopt;
    return std::filesystem::path(raw);
}

std::optional<std::filesystem::path> Win32KnownFolders::temporaryFolder() const {
    // GetTempPathW's answer ends with a backslash and fits MAX_PATH + 1 characters.
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1) return std::nullopt;
    return std::filesystem::path(std::wstring(buffer, length));
}

std::uint32_t Win32ProgramLocations::processId() const {
    return GetCurrentProcessId();
}

std::filesystem::path Win32ProgramLocations::modulePath() const {
    std::vector<wchar_t> buffer(32'768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    check(length != 0, "无法获取工具路径");
    return std::filesystem::path(std::wstring(buffer.data(), length));
}

}  // namespace quorvel
