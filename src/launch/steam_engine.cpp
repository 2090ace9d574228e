#include "launch/steam_engine.hpp"

#include "common/error.hpp"
#include "game/steam_discovery.hpp"
#include "outside/undocumented_layouts.hpp"
#include "platform/sha256.hpp"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <utility>

namespace quorvel {
namespace {

constexpr const char* kLibraryFileName = "steamclient64.dll";
constexpr std::uint64_t kMaxLibrarySize = 67'108'864;
constexpr std::size_t kReadChunk = 1'048'576;
constexpr const char* kFactoryExport = "CreateInterface";
constexpr const char* kEngineVersion = "CLIENTENGINE_INTERFACE_VERSION005";
constexpr std::size_t kMaxAddressBytes = 63;

// An interface object's first word points to its table of operation addresses.
std::uintptr_t operationAddress(const void* object, std::size_t position) {
    const std::uintptr_t* table = *static_cast<const std::uintptr_t* const*>(object);
    return table[position];
}

// Calls the operation at `position` with the object first, in the platform's calling convention.
template <typename Result, typename... Arguments>
Result callOperation(void* object, std::size_t position, Arguments... arguments) {
    using Operation = Result (*)(void*, Arguments...);
    return reinterpret_cast<Operation>(operationAddress(object, position))(object, arguments...);
}

bool placedAsPinned(const void* object, std::size_t position, std::uintptr_t loadAddress, std::uint64_t offset) {
    return operationAddress(object, position) == loadAddress + static_cast<std::uintptr_t>(offset);
}

// Reads the whole file in chunks of at most 1 MiB and checks its digest; the bytes are gone again
// when this returns.
void checkLibraryBytes(LockedFile& file, const SteamClientPin& pin) {
    const std::optional<std::uint64_t> size = file.size();
    check(size && *size > 0 && *size <= kMaxLibrarySize, kSteamClientSizeAbnormal);
    std::string bytes(static_cast<std::size_t>(*size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t wanted = std::min(bytes.size() - done, kReadChunk);
        const std::optional<std::size_t> got = file.read(bytes.data() + done, wanted);
        check(got && *got > 0 && *got <= wanted, kSteamClientReadFailed);
        done += *got;
    }
    checkSteamClientDigest(sha256Hex(bytes), pin);
}

void openInto(SteamEngineSession& session, const SteamEngineAccess& access, const SteamClientPin& pin) {
    const std::filesystem::path steamFolder = findSteamPath(access.registry);
    const std::filesystem::path library = access.files.canonical(steamFolder / kLibraryFileName);

    session.file = access.lockedFiles.open(library);
    check(session.file != nullptr, kSteamClientFileLocked);
    checkLibraryBytes(*session.file, pin);

    check(access.environment.set(L"SteamAppId", L"570") && access.environment.set(L"SteamGameId", L"570"),
          kSteamContextFailed);

    session.library = access.modules.loadWithOwnFolder(library);
    check(session.library != nullptr, kSteamClientLoadFailed);
    const std::uintptr_t factory = session.library->exportAddress(kFactoryExport);
    check(factory != 0, kSteamFactoryMissing);
    using Factory = void* (*)(const char*, int*);
    session.engine = reinterpret_cast<Factory>(factory)(kEngineVersion, nullptr);
    check(session.engine != nullptr, kSteamEngineUnavailable);

    // Every engine operation is checked before the first of them is called.
    const std::uintptr_t base = session.library->address();
    check(placedAsPinned(session.engine, kOpenConnection, base, pin.openConnection) &&
              placedAsPinned(session.engine, kReleaseConnection, base, pin.releaseConnection) &&
              placedAsPinned(session.engine, kAttachUser, base, pin.attachUser) &&
              placedAsPinned(session.engine, kReleaseUser, base, pin.releaseUser) &&
              placedAsPinned(session.engine, kGameRequests, base, pin.gameRequests),
          kSteamEngineMismatch);

    session.connection = callOperation<std::uint32_t>(session.engine, kOpenConnection);
    check(session.connection != 0, kSteamConnectionFailed);
    session.user = callOperation<std::uint32_t>(session.engine, kAttachUser, session.connection);
    check(session.user != 0, kSteamUserFailed);
    session.requests = callOperation<void*>(session.engine, kGameRequests, session.user, session.connection);
    check(session.requests != nullptr && placedAsPinned(session.requests, kConnectRequest, base, pin.connectRequest),
          kSteamEngineMismatch);
}

}  // namespace

SteamEngineSession::SteamEngineSession(SteamEngineSession&& other) noexcept
    : library(std::move(other.library)),
      file(std::move(other.file)),
      engine(std::exchange(other.engine, nullptr)),
      requests(std::exchange(other.requests, nullptr)),
      connection(std::exchange(other.connection, 0)),
      user(std::exchange(other.user, 0)) {}

SteamEngineSession::~SteamEngineSession() {
    closeSteamEngine(*this);
}

SteamEngineSession openSteamEngine(const SteamEngineAccess& access) {
    return openSteamEngine(access, builtInSteamClientPin());
}

SteamEngineSession openSteamEngine(const SteamEngineAccess& access, const SteamClientPin& pin) {
    SteamEngineSession session;
    try {
        openInto(session, access, pin);
    } catch (...) {
        closeSteamEngine(session);
        throw;
    }
    return session;
}

void checkSteamClientDigest(std::string_view digest) {
    checkSteamClientDigest(digest, builtInSteamClientPin());
}

void checkSteamClientDigest(std::string_view digest, const SteamClientPin& pin) {
    check(digest.size() == 64 && digest == pin.digest, kSteamVersionUnsupported);
}

void sendConnect(SteamEngineSession& session, const std::string& address) {
    static const std::regex pattern(R"(\[A:1:[0-9]{1,10}:[0-9]{1,10}\])");
    check(address.size() <= kMaxAddressBytes && std::regex_match(address, pattern), kServerAddressInvalid);
    // Only an opened session gets here; a closed one has no interface left to call.
    if (session.requests == nullptr) throw std::logic_error("sendConnect on a Steam engine session that is not open");
    callOperation<void>(session.requests, kConnectRequest, address.c_str(), "");
}

void closeSteamEngine(SteamEngineSession& session) noexcept {
    if (session.engine != nullptr) {
        if (session.user != 0) {
            callOperation<void>(session.engine, kReleaseUser, session.connection, session.user);
            session.user = 0;
        }
        if (session.connection != 0) {
            callOperation<void>(session.engine, kReleaseConnection, session.connection);
            session.connection = 0;
        }
    }
    // The interfaces live in the library and mean nothing once it is gone.
    session.library.reset();
    session.engine = nullptr;
    session.requests = nullptr;
    session.file.reset();
}

}  // namespace quorvel
