#include "outside/module_loader_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <utility>

namespace quorvel {
namespace {

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

}  // namespace

std::unique_ptr<LoadedModule> Win32ModuleLoader::load(const std::filesystem::path& path, std::uint32_t flags) {
    ScopedModule module(LoadLibraryExW(path.c_str(), nullptr, flags));
    if (!module) return nullptr;
    return std::make_unique<Win32LoadedModule>(std::move(module));
}

}  // namespace quorvel
