#pragma once
// The txqjoin protocol, whose open command runs the active build, and the test protocol
// txqjoin-native, which runs the program wherever it lies.

#include "platform/known_folders.hpp"
#include "platform/registry.hpp"

#include <filesystem>
#include <string>

namespace quorvel {

inline constexpr const wchar_t* kProtocolKey = L"Software\\Classes\\txqjoin";
inline constexpr const wchar_t* kProtocolCommandKey = L"Software\\Classes\\txqjoin\\shell\\open\\command";
inline constexpr const wchar_t* kTestProtocolKey = L"Software\\Classes\\txqjoin-native";
inline constexpr const wchar_t* kTestProtocolCommandKey = L"Software\\Classes\\txqjoin-native\\shell\\open\\command";

// `exePath` quoted, then ` "%1"`: the open command of a protocol.
std::wstring protocolCommand(const std::filesystem::path& exePath);

// Writes the three txqjoin values in order (name, "URL Protocol", open command running
// `exePath`), each key closed before its write is checked. Stops at the first failure and leaves
// what was written.
void registerProtocol(Registry& registry, const std::filesystem::path& exePath);

// Writes the three txqjoin-native values, the open command running the program itself. Leaves
// the txqjoin keys untouched.
void registerTestProtocol(Registry& registry, const ProgramLocations& locations);

}  // namespace quorvel
