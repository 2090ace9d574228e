#include "platform/modules_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <utility>

namespace quorvel {
namespace {

// The library's own dependencies come from its folder and System32 only. Not
// LOAD_LIBRARY_SEARCH_DEFAULT_DIRS, which adds the exe's own folder (a download folder, for a copy
// run where it was downloaded) and overrides the process's System32-only default.
constexpr DWORD kOwnFolderAndSystem32 = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

class Win32LoadedModule final : public LoadedModule {
public:
    explicit Win32LoadedModule(ScopedModule module) : module_(std::move(module)) {}

    std::uintptr_t address() const override { return reinterpret_cast<std::uintptr_t>(module_.get()); }

    std::uintptr_t exportAddress(const char* name) const override {
        return reinterpret_cast<std::uintptr_t>(GetProcAddress(module_.get(), name));
    }

private:
    ScopedModule module_;
};

std::unique_ptr<LoadedModule> load(const wchar_t* name, DWORD flags) {
    ScopedModule module(LoadLibraryExW(name, nullptr, flags));
    if (!module) return nullptr;
    return std::make_unique<Win32LoadedModule>(std::move(module));
}

}  // namespace

bool limitDllSearchToSystem32() {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

std::unique_ptr<LoadedModule> Win32ModuleLoader::loadWithOwnFolder(const std::filesystem::path& path) {
    return load(path.c_str(), kOwnFolderAndSystem32);
}

std::unique_ptr<LoadedModule> Win32ModuleLoader::loadFromSystem32(const std::wstring& fileName) {
    return load(fileName.c_str(), LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace quorvel
