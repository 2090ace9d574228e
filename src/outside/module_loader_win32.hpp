#pragma once

#include "outside/module_loader.hpp"

namespace quorvel {

// LoadLibraryExW with the caller's flags; exports through GetProcAddress; FreeLibrary when the
// LoadedModule goes.
class Win32ModuleLoader final : public ModuleLoader {
public:
    std::unique_ptr<LoadedModule> load(const std::filesystem::path& path, std::uint32_t flags) override;
};

}  // namespace quorvel
