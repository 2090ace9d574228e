#pragma once
// ModuleLoader and LoadedModule: loading a library into the process and finding its exports, each
// way of loading with its own search places. Implementation: Win32ModuleLoader (modules_win32.hpp);
// fake: testing::FakeSteamClient (tests/support/fake_steam_client.hpp).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

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
    // Loads the library at the absolute `path`; the libraries it depends on come from its own
    // folder and System32 only, never from the exe's folder. Null when it cannot be loaded.
    virtual std::unique_ptr<LoadedModule> loadWithOwnFolder(const std::filesystem::path& path) = 0;
    // Loads the library `fileName` from System32 only. Null when it cannot be loaded.
    virtual std::unique_ptr<LoadedModule> loadFromSystem32(const std::wstring& fileName) = 0;
};

}  // namespace quorvel
