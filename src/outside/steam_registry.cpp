#include "outside/steam_registry.hpp"

namespace quorvel {
namespace {

constexpr const wchar_t* kSteamKey = L"Software\\Valve\\Steam";
constexpr const wchar_t* kActiveProcessKey = L"Software\\Valve\\Steam\\ActiveProcess";
constexpr std::uint32_t kSteamPathBytes = 65'536;

}  // namespace

std::optional<std::wstring> SteamRegistryReader::steamPath() const {
    return registry_.readString(kSteamKey, L"SteamPath", kSteamPathBytes);
}

std::optional<std::uint32_t> SteamRegistryReader::activeUser() const {
    return registry_.readDword(kActiveProcessKey, L"ActiveUser");
}

}  // namespace quorvel
