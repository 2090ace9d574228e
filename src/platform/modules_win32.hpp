#pragma once

#include "platform/modules.hpp"

namespace quorvel {

// LoadLibraryExW with the search flags of each way of loading; exports through GetProcAddress;
// FreeLibrary when the LoadedModule goes.
class Win32ModuleLoader final : public ModuleLoader {
public:
    std::unique_ptr<LoadedModule> loadWithOwnFolder(const std::filesystem::path& path) override;
    std::unique_ptr<LoadedModule> loadFromSystem32(const std::wstring& fileName) override;
};

}  // namespace quorvel
