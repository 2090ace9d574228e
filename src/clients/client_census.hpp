#pragma once
// The running Dota clients: the census, re-verification of one client, and what their launch
// arguments say.

#include "clients/process_info.hpp"
#include "lobby/entry.hpp"
#include "outside/process_table.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kCensusFailed = "无法检查游戏进程";
inline constexpr const char* kClientChanged = "Dota 进程或安装目录已变化";
inline constexpr const char* kConsolePortInvalid = "控制台端口无效";
inline constexpr int kDefaultConsolePort = 29000;

// Whether any argument (the program name included), lower-cased, equals the lower-case `token`.
bool hasArgument(const std::vector<std::wstring>& arguments, std::wstring_view token);

// The argument right after the first one that, lower-cased, equals `token`, with its case kept;
// empty when there is none.
std::wstring argumentValue(const std::vector<std::wstring>& arguments, std::wstring_view token);

// Every process named dota2.exe (any letter case) that was not started with -dedicated, in
// snapshot order. Fails with kCensusFailed without a snapshot, and with readProcessInfo's
// message when one of them cannot be read.
std::vector<DotaProcess> findDotaClients(ProcessTable& processes);

// Requires `client` to still be the same process instance, not a dedicated server, running the
// executable of `dotaRoot` (same file, however spelt). Fails with kClientChanged, readProcessInfo's
// message, or the file-system error when either executable cannot be examined.
void verifyDotaClient(ProcessTable& processes, const DotaProcess& client, const std::filesystem::path& dotaRoot);

// Whether the client runs in the mode the Entry asks for (`toolsMode`, and then `addon`).
bool matchesEntryMode(const DotaProcess& client, const Entry& entry);

// The -vconport value (1024 to 65535), or kDefaultConsolePort without one; fails with
// kConsolePortInvalid.
int consolePort(const DotaProcess& client);

}  // namespace quorvel
