#include "clients/client_census.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "platform/file_identity.hpp"

namespace quorvel {
namespace {

constexpr std::wstring_view kClientExe = L"dota2.exe";
constexpr std::wstring_view kDedicated = L"-dedicated";
constexpr std::wstring_view kTools = L"-tools";
constexpr std::wstring_view kAddon = L"-addon";
constexpr std::wstring_view kConsolePort = L"-vconport";
constexpr int kMinConsolePort = 1024;
constexpr int kMaxConsolePort = 65535;

}  // namespace

bool hasArgument(const std::vector<std::wstring>& arguments, std::wstring_view token) {
    for (const std::wstring& argument : arguments) {
        if (lowerCopy(argument) == token) return true;
    }
    return false;
}

std::wstring argumentValue(const std::vector<std::wstring>& arguments, std::wstring_view token) {
    // The last argument has nothing after it, so it never counts as the token.
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (lowerCopy(arguments[i]) == token) return arguments[i + 1];
    }
    return {};
}

std::vector<DotaProcess> findDotaClients(ProcessTable& processes) {
    const std::optional<std::vector<ProcessEntry>> entries = processes.snapshot();
    check(entries.has_value(), kCensusFailed);
    std::vector<DotaProcess> clients;
    for (const ProcessEntry& entry : *entries) {
        if (lowerCopy(entry.exeName) != kClientExe) continue;
        DotaProcess process = readProcessInfo(processes, entry.pid);
        if (!hasArgument(process.arguments, kDedicated)) clients.push_back(std::move(process));
    }
    return clients;
}

void verifyDotaClient(ProcessTable& processes, const DotaProcess& client, const std::filesystem::path& dotaRoot) {
    const DotaProcess now = readProcessInfo(processes, client.pid);
    check(now.creationTime == client.creationTime && !hasArgument(now.arguments, kDedicated), kClientChanged);
    const std::filesystem::path expected = dotaRoot / "game" / "bin" / "win64" / "dota2.exe";
    check(fileIdentity(std::filesystem::path(now.imagePath)) == fileIdentity(expected), kClientChanged);
}

bool matchesEntryMode(const DotaProcess& client, const Entry& entry) {
    if (hasArgument(client.arguments, kTools) != entry.toolsMode) return false;
    if (!entry.toolsMode) return true;
    // An empty -addon value never equals an Entry's addon, which is never empty.
    return lowerCopy(argumentValue(client.arguments, kAddon)) == lowerCopy(toWide(entry.addon));
}

int consolePort(const DotaProcess& client) {
    const std::wstring value = argumentValue(client.arguments, kConsolePort);
    if (value.empty()) return kDefaultConsolePort;
    check(value.size() <= 5, kConsolePortInvalid);
    int port = 0;
    for (wchar_t c : value) {
        check(c >= L'0' && c <= L'9', kConsolePortInvalid);
        port = port * 10 + (c - L'0');
    }
    check(port >= kMinConsolePort && port <= kMaxConsolePort, kConsolePortInvalid);
    return port;
}

}  // namespace quorvel
