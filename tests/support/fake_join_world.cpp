#include "support/fake_join_world.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "support/fake_files.hpp"
#include "support/fake_http_transport.hpp"
#include "support/fake_known_folders.hpp"
#include "support/fake_named_locks.hpp"
#include "support/fake_registry.hpp"

#include <algorithm>

namespace quorvel::testing {
namespace {

constexpr std::wstring_view kApiPrefix = L"/api/entry/";

std::wstring lobbyPath(const std::string& endpoint) {
    return std::wstring(kApiPrefix) + toWide(endpoint);
}

std::string endpointOf(const std::wstring& path) {
    return toNarrow(path.substr(kApiPrefix.size()));
}

// The seams as the join sees them: each call counted by the world, then served by the fakes.
struct CountingRegistry final : SteamRegistry {
    CountingRegistry(FakeJoinWorld& world) : world(world) {}
    std::optional<std::wstring> steamPath() const override {
        world.call("steamPath");
        return world.registry.steamPath();
    }
    std::optional<std::uint32_t> activeUser() const override {
        world.call("activeUser");
        return world.registry.activeUser();
    }
    FakeJoinWorld& world;
};

class CountingOpenedProcess final : public OpenedProcess {
public:
    CountingOpenedProcess(FakeJoinWorld& world, std::unique_ptr<OpenedProcess> inner)
        : world_(world), inner_(std::move(inner)) {}
    std::optional<std::wstring> imageName() override {
        world_.call("imageName");
        return inner_->imageName();
    }
    std::optional<std::uint64_t> creationTime() override {
        world_.call("creationTime");
        return inner_->creationTime();
    }
    std::uint32_t commandLineBlockSize() override {
        world_.call("commandLineBlockSize");
        return inner_->commandLineBlockSize();
    }
    bool readCommandLineBlock(std::byte* block, std::uint32_t size) override {
        world_.call("readCommandLineBlock");
        return inner_->readCommandLineBlock(block, size);
    }

private:
    FakeJoinWorld& world_;
    std::unique_ptr<OpenedProcess> inner_;
};

struct CountingProcessTable final : ProcessTable {
    CountingProcessTable(FakeJoinWorld& world) : world(world) {}
    std::optional<std::vector<ProcessEntry>> snapshot() override {
        world.call("snapshot");
        if (next < world.censuses.size()) world.processTable.processes = world.censuses[next++];
        return world.processTable.snapshot();
    }
    std::unique_ptr<OpenedProcess> open(std::uint32_t pid) override {
        world.call("open process " + std::to_string(pid));
        std::unique_ptr<OpenedProcess> inner = world.processTable.open(pid);
        if (inner == nullptr) return nullptr;
        return std::make_unique<CountingOpenedProcess>(world, std::move(inner));
    }
    bool commandLineQueryAvailable() override {
        world.call("commandLineQueryAvailable");
        return world.processTable.commandLineQueryAvailable();
    }
    FakeJoinWorld& world;
    std::size_t next = 0;
};

struct CountingWindows final : WindowSystem {
    CountingWindows(FakeJoinWorld& world) : world(world), fake(world.windows) {}
    std::vector<WindowInfo> topLevelWindows() override {
        world.call("topLevelWindows");
        return fake.topLevelWindows();
    }
    bool isMinimised(WindowHandle window) override {
        world.call("isMinimised");
        return fake.isMinimised(window);
    }
    void restore(WindowHandle window) override {
        world.call("restore");
        fake.restore(window);
    }
    WindowHandle foregroundWindow() override {
        world.call("foregroundWindow");
        return fake.foregroundWindow();
    }
    void setForegroundWindow(WindowHandle window) override {
        world.call("setForegroundWindow");
        fake.setForegroundWindow(window);
    }
    std::uint32_t ownerThread(WindowHandle window) override {
        world.call("ownerThread");
        return fake.ownerThread(window);
    }
    std::uint32_t currentThread() override {
        world.call("currentThread");
        return fake.currentThread();
    }
    void peekMessage() override {
        world.call("peekMessage");
        fake.peekMessage();
    }
    bool attachInput(std::uint32_t thread, bool attach) override {
        world.call("attachInput");
        return fake.attachInput(thread, attach);
    }
    void postClose(WindowHandle window) override {
        world.call("postClose");
        fake.postClose(window);
    }
    FakeJoinWorld& world;
    FakeWindowSystem& fake;
};

struct CountingSleeper final : Sleeper {
    CountingSleeper(FakeJoinWorld& world) : world(world) {}
    void sleep(std::uint32_t milliseconds) override {
        world.call("sleep " + std::to_string(milliseconds));
        world.sleeper.sleep(milliseconds);
    }
    FakeJoinWorld& world;
};

class CountingProcess final : public Process {
public:
    CountingProcess(FakeJoinWorld& world, std::unique_ptr<Process> inner) : world_(world), inner_(std::move(inner)) {}
    bool waitForExit(std::uint32_t milliseconds) override {
        world_.call("wait for exit");
        return inner_->waitForExit(milliseconds);
    }
    bool terminate(std::uint32_t exitCode) override {
        world_.call("terminate");
        return inner_->terminate(exitCode);
    }
    std::optional<std::uint32_t> exitCode() override {
        world_.call("exitCode");
        return inner_->exitCode();
    }

private:
    FakeJoinWorld& world_;
    std::unique_ptr<Process> inner_;
};

struct CountingProcesses final : Processes {
    CountingProcesses(FakeJoinWorld& world) : world(world) {}
    std::unique_ptr<Process> start(const ProgramStart& options) override {
        world.call("start program");
        return counted(world.processes.start(options));
    }
    std::unique_ptr<Process> open(std::uint32_t pid) override {
        world.call("open for waiting");
        return counted(world.processes.open(pid));
    }
    std::unique_ptr<Process> counted(std::unique_ptr<Process> inner) {
        if (inner == nullptr) return nullptr;
        return std::make_unique<CountingProcess>(world, std::move(inner));
    }
    FakeJoinWorld& world;
};

bool isRelease(const std::string& event) {
    return event == "close" || event == "free" || event.starts_with("engine 1 ") || event.starts_with("engine 6 ");
}

bool isAcquisition(const std::string& event) {
    return event == "open" || event == "load" || event == "engine 0" || event.starts_with("engine 3 ");
}

nlohmann::json ticketBody() {
    return {{"ticket", FakeJoinWorld::kTicket}};
}

}  // namespace

struct FakeJoinWorld::Seams {
    explicit Seams(FakeJoinWorld& world)
        : registry(world),
          processes(world),
          windows(world),
          sleeper(world),
          programs(world),
          platform{files,       programs,     locks,       userRegistry, world.steam, world.steam, world.steam,
                   windows,     world.lobby,  world.clock, ticks,        sleeper,     folders,     locations},
          game{registry, processes},
          pin(world.steam.pin()),
          settings{HttpHost{L"lobby.test", 443}, pin} {
        files.onAccess = [&world](const std::string& operation, const std::filesystem::path& path) {
            world.call(operation + " " + path.filename().string());
        };
    }

    CountingRegistry registry;
    FakeFiles files;  // each access is a call of the world
    CountingProcessTable processes;
    CountingWindows windows;
    CountingSleeper sleeper;
    CountingProcesses programs;
    FakeTickClock ticks;  // never moves: the lobby's deadline is the lobby client's own test
    // What a join never reaches; the platform holds them all the same.
    FakeNamedLocks locks;
    FakeRegistry userRegistry;
    FakeKnownFolders folders;
    FakeLocations locations;
    Platform platform;
    GameSide game;
    SteamClientPin pin;
    JoinSettings settings;
};

FakeJoinWorld::FakeJoinWorld()
    : steamFolder(dir / "Steam"),
      dotaRoot(steamFolder / "steamapps" / "common" / "dota 2 beta"),
      dotaExe(dotaRoot / "game" / "bin" / "win64" / "dota2.exe") {
    writeFile(steamFolder / "steam.exe", "MZ steam");
    writeFile(steamFolder / "steamclient64.dll", "MZ");
    writeFile(dotaExe, "MZ dota");
    writeFile(dotaRoot / "game" / "dota_addons" / "txqarena" / "maps" / "duel.vpk", "map");
    dotaRoot = std::filesystem::canonical(dotaRoot);
    dotaExe = std::filesystem::canonical(dotaExe);
    registry.path = steamFolder.wstring();
    registry.account = kAccount;
    entry = {{"roomId", "0123456789ab"},
             {"steamId", std::to_string(76561197960265728ULL + kAccount)},
             {"serverSteamId", kServer},
             {"addon", "txqarena"},
             {"map", "duel"},
             {"connectionType", "steam"},
             {"toolsMode", true},
             {"expiresAt", clock.time + 30}};
    onLobbyRequest = [this](const std::string& endpoint) {
        // A report's failure is ignored by design, so it is no call whose failure could show.
        if (endpoint != "helper-progress") call("lobby " + endpoint);
    };
    lobby.body = "{}";
    lobby.onStep = [this](HttpStep step) {
        if (step == HttpStep::openRequest && onLobbyRequest) onLobbyRequest(endpointOf(lobby.path));
    };
    steam.onEvent = [this](const std::string& event) {
        if (isRelease(event)) {
            --steamHeld_;
            return;
        }
        call("steam " + event);
        if (isAcquisition(event) && acquires(event)) ++steamHeld_;
    };
    seams_ = std::make_unique<Seams>(*this);
}

FakeJoinWorld::~FakeJoinWorld() = default;

const Platform& FakeJoinWorld::platform() const {
    return seams_->platform;
}

const GameSide& FakeJoinWorld::game() const {
    return seams_->game;
}

const JoinSettings& FakeJoinWorld::settings() const {
    return seams_->settings;
}

bool FakeJoinWorld::acquires(const std::string& event) const {
    if (event == "open") return !steam.openFails;
    if (event == "load") return !steam.loadFails;
    if (event == "engine 0") return steam.connection != 0;
    return steam.user != 0;
}

FakeProcess FakeJoinWorld::client(std::uint32_t pid, const std::wstring& arguments,
                                  std::optional<std::filesystem::path> image) const {
    FakeProcess process;
    process.pid = pid;
    process.imagePath = image.value_or(dotaExe).wstring();
    process.creationTime = 1000 + pid;
    process.commandLine = L"dota2.exe " + arguments;
    return process;
}

void FakeJoinWorld::showWindow(std::uint32_t pid) {
    windows.windows.push_back(WindowInfo{WindowHandle{pid * 10u}, pid, pid + 1, true, L"Dota 2"});
}

void FakeJoinWorld::answerLobby(const std::string& endpoint, const std::vector<LobbyAnswer>& answers) {
    std::vector<FakeHttpTransport::Answer>& scripted = lobby.answers[lobbyPath(endpoint)];
    scripted.clear();
    for (const LobbyAnswer& answer : answers) scripted.push_back({answer.status, answer.body.dump()});
}

std::vector<std::string> FakeJoinWorld::requests() const {
    std::vector<std::string> lines;
    for (const FakeHttpTransport::Request& request : lobby.requests)
        lines.push_back(endpointOf(request.path) + " " + nlohmann::json::parse(request.body).dump());
    return lines;
}

std::vector<std::string> FakeJoinWorld::phases() const {
    std::vector<std::string> found;
    for (const FakeHttpTransport::Request& request : lobby.requests) {
        if (endpointOf(request.path) == "helper-progress")
            found.push_back(nlohmann::json::parse(request.body).at("phase").get<std::string>());
    }
    return found;
}

int FakeJoinWorld::consumes() const {
    return static_cast<int>(std::count_if(
        lobby.requests.begin(), lobby.requests.end(),
        [](const FakeHttpTransport::Request& request) { return request.path == lobbyPath("consume"); }));
}

int FakeJoinWorld::openNow() const {
    return lobby.handlesOpen + processTable.openNow() + processes.handlesOpen + steamHeld_;
}

JoinOutcome FakeJoinWorld::enter() {
    for (const char* endpoint : {"context", "consume"}) {
        if (lobby.answers[lobbyPath(endpoint)].empty()) answerLobby(endpoint, {{200, entry}});
    }
    try {
        return {quorvel::enter(seams_->platform, seams_->game, seams_->settings, kTicket,
                               [this](const std::wstring& text) {
                                   call("show status: " + toNarrow(text));
                                   shown.push_back(text);
                               }),
                ""};
    } catch (const std::exception& failure) {
        return {std::nullopt, failure.what()};
    }
}

void FakeJoinWorld::call(const std::string& name) {
    calls.push_back(name);
    const bool named =
        failingNamed && name.starts_with(failingNamed->prefix) && ++failingNamed->seen == failingNamed->occurrence;
    if (failingCall == calls.size() || named) throw UserError("injected failure of " + name);
}

std::string contextRequest() {
    return "context " + ticketBody().dump();
}

std::string consumeRequest() {
    return "consume " + ticketBody().dump();
}

std::string progressRequest(const std::string& phase) {
    return "helper-progress " + nlohmann::json{{"phase", phase}, {"ticket", FakeJoinWorld::kTicket}}.dump();
}

}  // namespace quorvel::testing
