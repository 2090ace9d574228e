#pragma once
// FakeJoinWorld: everything a join reaches, scripted in memory (the lobby by endpoint, the
// census per call, windows, exit waits, Steam's client library, the account, the launcher) over a
// Steam folder and Dota root on disk. Every call the join makes into it is counted and named, and
// any one of them can be made to fail; every request, status text and handle is recorded.
// The lobby is a FakeHttpTransport.

#include "launch/join_flow.hpp"
#include "support/fake_http_transport.hpp"
#include "support/fake_process_table.hpp"
#include "support/fake_processes.hpp"
#include "support/fake_steam.hpp"
#include "support/fake_steam_client.hpp"
#include "support/fake_windows.hpp"
#include "support/fakes.hpp"
#include "support/temp_dir.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

class FakeJoinWorld;

// What enter did: its result, or the message it failed with.
struct JoinOutcome {
    std::optional<bool> result;
    std::string message;
};

class FakeJoinWorld {
public:
    static constexpr const char* kTicket = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopq";
    static constexpr const char* kServer = "[A:1:123:45]";
    static constexpr std::uint32_t kAccount = 4242;

    // An Entry in tools mode for the addon "txqarena" and map "duel", the player logged in to
    // Steam, the map and steam.exe on disk, no Dota running.
    FakeJoinWorld();
    ~FakeJoinWorld();
    FakeJoinWorld(const FakeJoinWorld&) = delete;
    FakeJoinWorld& operator=(const FakeJoinWorld&) = delete;

    // Script.
    nlohmann::json entry;  // what "context" and "consume" answer unless answerLobby says more
    // The lobby's answers to `endpoint` ("context", "consume", "helper-progress"), used in order
    // with the last one repeating; an endpoint without answers gets 200 and `entry` or {}.
    struct LobbyAnswer {
        std::uint32_t status = 200;
        nlohmann::json body;
    };
    void answerLobby(const std::string& endpoint, const std::vector<LobbyAnswer>& answers);
    // Runs as each lobby request is opened, before anything is sent.
    std::function<void(const std::string& endpoint)> onLobbyRequest;
    // The processes each census finds, in call order, the last one staying; process reads between
    // two censuses see the latest.
    std::vector<std::vector<FakeProcess>> censuses;
    // A dota2.exe of the Dota root (unless `image` says otherwise), started with `arguments`.
    FakeProcess client(std::uint32_t pid, const std::wstring& arguments,
                       std::optional<std::filesystem::path> image = std::nullopt) const;
    // The visible "Dota 2" window of `pid`.
    void showWindow(std::uint32_t pid);
    std::optional<std::size_t> failingCall;  // 1-based number of the counted call that fails
    // Or the `occurrence`th call whose name starts with `prefix` ("show status", "steam requests").
    struct NamedFailure {
        std::string prefix;
        int occurrence = 1;
        int seen = 0;
    };
    std::optional<NamedFailure> failingNamed;

    // The parts of the world, for scripting and reading back.
    TempDir dir;
    std::filesystem::path steamFolder;
    std::filesystem::path dotaRoot;
    std::filesystem::path dotaExe;
    FakeClock clock;
    FakeHttpTransport lobby;
    FakeSteamRegistry registry;
    FakeProcessTable processTable;
    FakeWindowSystem windows;
    RecordingSleeper sleeper;
    FakeProcesses processes;  // steam.exe's start, and the closed client held for its exit
    FakeSteamClient steam;

    // Record.
    // Every counted call, named, in order: "lobby context", "steamPath", "snapshot",
    // "open process 7", "steam requests 193 (…)", "show status: <text>", "start program", …
    std::vector<std::string> calls;
    std::vector<std::wstring> shown;
    // The requests as "<endpoint> <body>", in order.
    std::vector<std::string> requests() const;
    std::vector<std::string> phases() const;  // of the progress reports, in order
    int consumes() const;
    // Handles, sessions and Steam library resources still held.
    int openNow() const;

    // Runs enter with the Ticket and a progress callback that records the texts.
    JoinOutcome enter();
    // What enter takes, for callers that run enter themselves.
    const Platform& platform() const;
    const GameSide& game() const;
    const JoinSettings& settings() const;

    // Counts one call into the world; fails it when it is the failing one.
    void call(const std::string& name);

private:
    struct Seams;
    // Whether the library event `event` leaves something held that a release must give back.
    bool acquires(const std::string& event) const;
    std::unique_ptr<Seams> seams_;
    int steamHeld_ = 0;
};

// Expected request lines.
std::string contextRequest();
std::string consumeRequest();
std::string progressRequest(const std::string& phase);

}  // namespace quorvel::testing
