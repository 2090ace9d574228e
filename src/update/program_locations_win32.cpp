#include "update/program_locations_win32.hpp"

#include "common/error.hpp"

#include <windows.h>

#include <vector>

namespace quorvel {

std::filesystem::path Win32ProgramLocations::modulePath() const {
    std::vector<wchar_t> buffer(32'768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    check(length != 0, "无法获取工具路径");
    return std::filesystem::path(std::wstring(buffer.data(), length));
}

}  // namespace quorvel
