#include "update/install_layout_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <knownfolders.h>
#include <shlobj.h>

namespace quorvel {

std::optional<std::filesystem::path> Win32KnownFolders::localAppData() const {
    PWSTR raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &raw);
    // The buffer is the caller's to free even when the call fails.
    const ScopedCoTaskMemory owned(raw);
    if (FAILED(result) || raw == nullptr) return std::nullopt;
    return std::filesystem::path(raw);
}

}  // namespace quorvel
