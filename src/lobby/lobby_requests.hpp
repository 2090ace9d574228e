#pragma once

#include "common/progress.hpp"
#include "lobby/lobby_client.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace quorvel {

// Posts {"ticket":T} to "context" or "consume" and returns the answer unvalidated; every failure
// reaches the caller unchanged.
nlohmann::json requestEntry(const LobbyAccess& lobby, const std::string& ticket, std::wstring_view endpoint);

// Tells the lobby which phase one join has reached. A report never fails the join: whatever
// goes wrong with the post is ignored.
class ProgressReporter {
public:
    ProgressReporter(const LobbyAccess& lobby, std::string ticket, ProgressCallback showStatus)
        : lobby_(lobby), ticket_(std::move(ticket)), showStatus_(std::move(showStatus)) {}

    // Shows `text` through the progress callback (its failure reaches the caller), then posts
    // {"phase":phase,"ticket":T} to "helper-progress" and discards the answer.
    void reportProgress(const std::string& phase, const std::wstring& text);

private:
    LobbyAccess lobby_;
    std::string ticket_;
    ProgressCallback showStatus_;
};

// The report a join sends before the update check: {"phase":"checking","ticket":T} without
// showing anything; every failure is ignored.
void reportEarlyChecking(const LobbyAccess& lobby, const std::string& ticket);

}  // namespace quorvel
