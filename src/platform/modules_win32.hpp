#pragma once

#include "platform/modules.hpp"

namespace quorvel {

// LoadLibraryExW with the search flags of each way of loading; exports through GetProcAddress;
// FreeLibrary when the LoadedModule goes.
// From here on, every library the process loads by name (delay-loaded imports, and whatever system
// libraries load on their own) comes from System32 only: SetDefaultDllDirectories. False when the
// system refuses.
bool limitDllSearchToSystem32();

class Win32ModuleLoader final : public ModuleLoader {
public:
    std::unique_ptr<LoadedModule> loadWithOwnFolder(const std::filesystem::path& path) override;
    std::unique_ptr<LoadedModule> loadFromSystem32(const std::wstring& fileName) override;
};

}  // namespace quorvel
