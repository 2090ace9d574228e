#pragma once
// The txqjoin protocol, whose open command runs the active build, the test protocol
// txqjoin-native, which runs the program wherever it lies, and the entry under Apps that
// uninstalls the active build.

#include "platform/known_folders.hpp"
#include "platform/registry.hpp"

#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvel {

inline constexpr const wchar_t* kProtocolKey = L"Software\\Classes\\txqjoin";
inline constexpr const wchar_t* kProtocolCommandKey = L"Software\\Classes\\txqjoin\\shell\\open\\command";
inline constexpr const wchar_t* kTestProtocolKey = L"Software\\Classes\\txqjoin-native";
inline constexpr const wchar_t* kTestProtocolCommandKey = L"Software\\Classes\\txqjoin-native\\shell\\open\\command";
inline constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";

// `exePath` quoted, then ` "%1"`: the open command of a protocol.
std::wstring protocolCommand(const std::filesystem::path& exePath);

// Writes the three txqjoin values in order (name, "URL Protocol", open command running
// `exePath`), each key closed before its write is checked. Stops at the first failure and leaves
// what was written.
void registerProtocol(Registry& registry, const std::filesystem::path& exePath);

// The version a build number stands for, as the exe's version resource gives it: YYYYMMDDNN
// becomes "YYYY.MMDD.NN.0" without leading zeros (2026092001: "2026.920.1.0").
std::wstring versionText(std::uint64_t build);

// What the Uninstall entry describes: the active build's Version executable, its image size, and
// the Install root.
struct InstalledBuild {
    std::filesystem::path exePath;
    std::uint64_t build = 0;
    std::uintmax_t bytes = 0;
    std::filesystem::path installRoot;
};

// Writes the Uninstall entry's values into one key: the uninstall commands run `exePath
// --uninstall [--quiet]`, EstimatedSize is the executable's size in KiB rounded up. The key is
// closed before the first failed write fails the call; the values written before it stay.
void registerUninstallEntry(Registry& registry, const InstalledBuild& installed);

// Writes the three txqjoin-native values, the open command running the program itself. Leaves
// the txqjoin keys untouched.
void registerTestProtocol(Registry& registry, const ProgramLocations& locations);

}  // namespace quorvel
