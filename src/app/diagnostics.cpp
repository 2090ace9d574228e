#include "app/diagnostics.hpp"

#include "app/result_file.hpp"
#include "clients/client_census.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "game/steam_discovery.hpp"
#include "lobby/join_link.hpp"
#include "platform/sha256.hpp"

#include <string>

namespace quorvel {

void runHealthCheck() {
    check(sha256Hex("abc") == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
          "SHA256 health check failed");
    parseJoinLink(L"txqjoin://enter/?ticket=" + std::wstring(43, L'a'));
}

nlohmann::json inspectReport(const std::filesystem::path& dotaRoot, const std::vector<DotaProcess>& clients) {
    nlohmann::json list = nlohmann::json::array();
    for (const DotaProcess& client : clients) {
        list.push_back({{"consolePort", consolePort(client)},
                        {"pid", client.pid},
                        {"toolsMode", hasArgument(client.arguments, L"-tools")}});
    }
    return {{"clients", std::move(list)}, {"dotaRoot", toNarrow(dotaRoot.wstring())}};
}

void runInspect(const SteamRegistry& registry, Files& files, ProcessTable& processes,
                const ProgramLocations& locations) {
    const std::filesystem::path dotaRoot = findDotaRoot(registry, files);
    const std::vector<DotaProcess> clients = findDotaClients(processes);
    writeResultFile("native-inspect.json", inspectReport(dotaRoot, clients), locations);
}

}  // namespace quorvel
