#pragma once
// What the product relies on that no platform documents: the places inside Windows' process
// blocks that another process's command line is read from, and the positions of the operations
// called in the interfaces of Steam's client library (each checked against the pinned library's
// places before its first call).

#include <cstddef>
#include <cstdint>

namespace quorvel {

// NtQueryInformationProcess: the information class that answers with the command-line block (a
// UNICODE_STRING header followed by the characters).
inline constexpr std::uint32_t kProcessCommandLineInformation = 60;

// Layout of the 64-bit process environment block and its process parameters, as far as the
// command line is concerned.
inline constexpr std::uint64_t kPebProcessParametersOffset = 0x20;
inline constexpr std::uint64_t kParametersCommandLineOffset = 0x70;

// Positions in the operation tables of the client library's interfaces: the engine's, then (the
// last) the game-request interface's.
inline constexpr std::size_t kOpenConnection = 0;
inline constexpr std::size_t kReleaseConnection = 1;
inline constexpr std::size_t kAttachUser = 3;
inline constexpr std::size_t kReleaseUser = 6;
inline constexpr std::size_t kGameRequests = 13;
inline constexpr std::size_t kConnectRequest = 193;

}  // namespace quorvel
