#pragma once
// FakeSteamClient: Steam's client library file, the process environment and the loaded library
// with its engine, in memory, recording every call in order.

#include "launch/steam_client_pin.hpp"
#include "platform/locked_file.hpp"
#include "platform/modules.hpp"
#include "platform/process_environment.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// The engine and game-request interfaces are real objects whose first word points to a table of
// real functions, so the session calls them exactly as it calls Steam's. The fake library's load
// address is fixed; pin() gives the pin under which every operation sits where it belongs.
//
// Events, in the order they happen:
//   "open", "size", "read <bytes asked>", "close"                  the library file
//   "set <name>=<value>"                                          the environment
//   "load", "export <name>", "free"                                the library (loaded with its own folder)
//   "load from System32 <name>"                                   a System32 library: there is none
//   "CreateInterface <version> <null|non-null>"                   the factory
//   "engine 0", "engine 1 (c)", "engine 3 (c)", "engine 6 (c, u)", "engine 13 (u, c)",
//   "requests 193 (<address>, <text>)"                            operations, with their arguments
// An operation called on another object than its own is recorded with " on a wrong object"; a
// misplaced entry's operation records "misplaced " before its event; any other entry records
// "unexpected <object> operation".
class FakeSteamClient final : public LockedFileOpener, public ProcessEnvironment, public ModuleLoader {
public:
    enum class Interface { engine, requests };

    FakeSteamClient();
    ~FakeSteamClient() override;
    FakeSteamClient(const FakeSteamClient&) = delete;
    FakeSteamClient& operator=(const FakeSteamClient&) = delete;

    std::vector<std::string> events;
    // Runs after each event is recorded; it may throw (to fail that step) except for the
    // releases ("close", "free", "engine 1", "engine 6"), which happen where nothing may throw.
    std::function<void(const std::string& event)> onEvent;
    void note(std::string event) {
        events.push_back(std::move(event));
        if (onEvent) onEvent(events.back());
    }

    // The library file: `content`, then `zeroPadding` zero bytes.
    std::string content = "a stand-in for steamclient64.dll";
    std::uint64_t zeroPadding = 0;
    bool openFails = false;
    bool sizeFails = false;
    std::optional<std::uint64_t> sizeOverride;  // what size() reports instead of the true size
    std::size_t failingRead = 0;                // 1-based number of the read that fails; 0: none
    std::size_t bytesPerRead = std::numeric_limits<std::size_t>::max();  // larger asks get fewer bytes
    std::optional<std::filesystem::path> openedPath;

    // The environment.
    std::wstring refusedVariable;  // set() of this name fails

    // The library.
    bool loadFails = false;
    bool factoryMissing = false;
    bool engineNull = false;
    std::uint32_t connection = 17;
    std::uint32_t user = 23;
    bool requestsNull = false;
    std::optional<std::filesystem::path> loadedPath;
    static constexpr std::uintptr_t kLoadAddress = 0x180000000;

    // Points the table entry at `position` at a copy of its operation that lives elsewhere.
    void misplace(Interface which, std::size_t position);

    // The pin of this library: the digest of the file and the true places of the operations.
    SteamClientPin pin();

    // The seams.
    std::unique_ptr<LockedFile> open(const std::filesystem::path& path) override;
    bool set(const std::wstring& name, const std::wstring& value) override;
    std::unique_ptr<LoadedModule> loadWithOwnFolder(const std::filesystem::path& path) override;
    std::unique_ptr<LoadedModule> loadFromSystem32(const std::wstring& fileName) override;

    // The object layout the session sees: the table pointer first.
    struct Object {
        const std::uintptr_t* table;
        FakeSteamClient* owner;
    };

private:
    friend struct FakeSteamClientAccess;
    std::vector<std::uintptr_t> engineTable_;
    std::vector<std::uintptr_t> requestsTable_;
    Object engine_;
    Object requests_;
    std::string digest_;
};

}  // namespace quorvel::testing
