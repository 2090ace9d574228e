#include "lobby/lobby_requests.hpp"

namespace quorvel {
namespace {

void postProgressIgnoringFailures(const LobbyAccess& lobby, const std::string& ticket, const std::string& phase) {
    try {
        postLobby(lobby, L"helper-progress", nlohmann::json{{"phase", phase}, {"ticket", ticket}});
    } catch (...) {
        // A report is only a courtesy to the lobby; the join goes on whatever happened to it.
    }
}

}  // namespace

nlohmann::json requestEntry(const LobbyAccess& lobby, const std::string& ticket, std::wstring_view endpoint) {
    return postLobby(lobby, endpoint, nlohmann::json{{"ticket", ticket}});
}

void ProgressReporter::reportProgress(const std::string& phase, const std::wstring& text) {
    if (showStatus_) showStatus_(text);
    postProgressIgnoringFailures(lobby_, ticket_, phase);
}

void reportEarlyChecking(const LobbyAccess& lobby, const std::string& ticket) {
    postProgressIgnoringFailures(lobby, ticket, "checking");
}

}  // namespace quorvel
