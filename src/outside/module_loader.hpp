#pragma once
// ModuleLoader and LoadedModule: loading a library into the process and finding its exports.
// Implementation: Win32ModuleLoader (module_loader_win32.hpp); fake: testing::FakeSteamClient
// (tests/support/fake_steam_client.hpp).

#include <cstdint>
#include <filesystem>
#include <memory>

namespace quorvel {

// A library loaded into the process; destroying it unloads it (FreeLibrary).
class LoadedModule {
public:
    virtual ~LoadedModule() = default;
    // The load address, which is also the module handle's value.
    virtual std::uintptr_t address() const = 0;
    // The address of the export `name`, or 0 when the library has none by that name.
    virtual std::uintptr_t exportAddress(const char* name) const = 0;
};

class ModuleLoader {
public:
    virtual ~ModuleLoader() = default;
    // Loads the library at the absolute `path` with LoadLibraryExW's `flags`; null when it cannot
    // be loaded.
    virtual std::unique_ptr<LoadedModule> load(const std::filesystem::path& path, std::uint32_t flags) = 0;
};

}  // namespace quorvel
