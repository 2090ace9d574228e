#include "support/fake_join_world.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "outside/local_game_files.hpp"
#include "support/fake_http_transport.hpp"

#include <algorithm>
#include <cstring>

namespace quorvel::testing {
namespace {

constexpr std::wstring_view kApiPrefix = L"/api/entry/";

class LobbyRequest final : public HttpRequest {
public:
    LobbyRequest(FakeLobby& lobby, std::string endpoint) : lobby_(lobby), endpoint_(std::move(endpoint)) {
        ++lobby_.handlesOpen;
    }
    ~LobbyRequest() override { --lobby_.handlesOpen; }

    bool disableRedirects() override { return true; }
    bool send(const std::wstring&, std::string_view body) override {
        answer_ = lobby_.next(endpoint_);
        lobby_.requests.push_back({endpoint_, nlohmann::json::parse(body)});
        bytes_ = answer_.body.dump();
        return true;
    }
    bool receiveResponse() override { return true; }
    std::optional<std::uint32_t> statusCode() override { return answer_.status; }
    std::optional<std::size_t> read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min(capacity, bytes_.size() - offset_);
        std::memcpy(buffer, bytes_.data() + offset_, count);
        offset_ += count;
        return count;
    }

private:
    FakeLobby& lobby_;
    std::string endpoint_;
    FakeLobby::Answer answer_;
    std::string bytes_;
    std::size_t offset_ = 0;
};

class LobbyConnection final : public HttpConnection {
public:
    explicit LobbyConnection(FakeLobby& lobby) : lobby_(lobby) { ++lobby_.handlesOpen; }
    ~LobbyConnection() override { --lobby_.handlesOpen; }

    std::unique_ptr<HttpRequest> openRequest(const std::wstring&, const std::wstring& path, bool) override {
        const std::string endpoint = toNarrow(path.substr(kApiPrefix.size()));
        if (lobby_.onRequest) lobby_.onRequest(endpoint);
        return std::make_unique<LobbyRequest>(lobby_, endpoint);
    }

private:
    FakeLobby& lobby_;
};

class LobbySession final : public HttpSession {
public:
    explicit LobbySession(FakeLobby& lobby) : lobby_(lobby) { ++lobby_.handlesOpen; }
    ~LobbySession() override { --lobby_.handlesOpen; }

    std::unique_ptr<HttpConnection> connect(const HttpHost&) override {
        return std::make_unique<LobbyConnection>(lobby_);
    }

private:
    FakeLobby& lobby_;
};

class FakeWaitableProcess final : public WaitableProcess {
public:
    FakeWaitableProcess(FakeJoinWorld& world, FakeProcessWaiter& waiter, std::uint32_t pid)
        : world_(world), waiter_(waiter), pid_(pid) {
        ++waiter_.handlesOpen;
    }
    ~FakeWaitableProcess() override {
        --waiter_.handlesOpen;
        waiter_.log.push_back("close " + std::to_string(pid_));
    }

    bool waitForExit(std::uint32_t milliseconds) override {
        world_.call("wait for exit");
        waiter_.log.push_back("wait " + std::to_string(milliseconds));
        return waiter_.exits;
    }

private:
    FakeJoinWorld& world_;
    FakeProcessWaiter& waiter_;
    std::uint32_t pid_;
};

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

struct CountingFiles final : GameFiles {
    CountingFiles(FakeJoinWorld& world) : world(world) {}
    std::optional<std::string> readWhole(const std::filesystem::path& path) override {
        world.call("readWhole " + path.filename().string());
        return local.readWhole(path);
    }
    bool isRegularFile(const std::filesystem::path& path) override {
        world.call("isRegularFile " + path.filename().string());
        return local.isRegularFile(path);
    }
    std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) override {
        world.call("openBinary " + path.filename().string());
        return local.openBinary(path);
    }
    std::filesystem::path canonical(const std::filesystem::path& path) override {
        world.call("canonical " + path.filename().string());
        return local.canonical(path);
    }
    FakeJoinWorld& world;
    LocalGameFiles local;
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

struct CountingStarter final : ProgramStarter {
    CountingStarter(FakeJoinWorld& world) : world(world) {}
    bool start(const ProgramStart& options) override {
        world.call("start program");
        return world.starter.start(options);
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

std::unique_ptr<HttpSession> FakeLobby::openSession(const std::wstring&, std::uint32_t) {
    return std::make_unique<LobbySession>(*this);
}

const FakeLobby::Answer& FakeLobby::next(const std::string& endpoint) const {
    static const Answer kEmpty{200, nlohmann::json::object()};
    const auto scripted = answers.find(endpoint);
    if (scripted == answers.end() || scripted->second.empty()) return kEmpty;
    const auto asked = std::count_if(requests.begin(), requests.end(),
                                     [&](const Request& request) { return request.endpoint == endpoint; });
    return scripted->second[std::min<std::size_t>(asked, scripted->second.size() - 1)];
}

std::unique_ptr<WaitableProcess> FakeProcessWaiter::open(std::uint32_t pid) {
    world_.call("open for waiting");
    log.push_back("open " + std::to_string(pid));
    if (openFails) return nullptr;
    auto process = std::make_unique<FakeWaitableProcess>(world_, *this, pid);
    if (onOpen) onOpen();
    return process;
}

struct FakeJoinWorld::Seams {
    explicit Seams(FakeJoinWorld& world)
        : registry(world),
          files(world),
          processes(world),
          windows(world),
          sleeper(world),
          starter(world),
          lobby{world.lobby, ticks, HttpHost{L"lobby.test", 443}},
          engine{registry, files, world.steam, world.steam, world.steam},
          pin(world.steam.pin()),
          join{lobby, world.clock, registry, files, processes, windows, sleeper, starter, engine, pin, world.waiter} {}

    CountingRegistry registry;
    CountingFiles files;
    CountingProcessTable processes;
    CountingWindows windows;
    CountingSleeper sleeper;
    CountingStarter starter;
    FakeTickClock ticks;  // never moves: the lobby's deadline is the lobby client's own test
    LobbyAccess lobby;
    SteamEngineAccess engine;
    SteamClientPin pin;
    JoinWorld join;
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
    lobby.onRequest = [this](const std::string& endpoint) {
        // A report's failure is ignored by design, so it is no call whose failure could show.
        if (endpoint != "helper-progress") call("lobby " + endpoint);
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

const JoinWorld& FakeJoinWorld::world() const {
    return seams_->join;
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

std::vector<std::string> FakeJoinWorld::requests() const {
    std::vector<std::string> lines;
    for (const FakeLobby::Request& request : lobby.requests)
        lines.push_back(request.endpoint + " " + request.body.dump());
    return lines;
}

std::vector<std::string> FakeJoinWorld::phases() const {
    std::vector<std::string> found;
    for (const FakeLobby::Request& request : lobby.requests) {
        if (request.endpoint == "helper-progress") found.push_back(request.body.at("phase").get<std::string>());
    }
    return found;
}

int FakeJoinWorld::consumes() const {
    return static_cast<int>(
        std::count_if(lobby.requests.begin(), lobby.requests.end(),
                      [](const FakeLobby::Request& request) { return request.endpoint == "consume"; }));
}

int FakeJoinWorld::openNow() const {
    return lobby.handlesOpen + processTable.openNow() + waiter.handlesOpen + steamHeld_;
}

JoinOutcome FakeJoinWorld::enter() {
    if (lobby.answers["context"].empty()) lobby.answers["context"] = {{200, entry}};
    if (lobby.answers["consume"].empty()) lobby.answers["consume"] = {{200, entry}};
    try {
        return {quorvel::enter(seams_->join, kTicket,
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
