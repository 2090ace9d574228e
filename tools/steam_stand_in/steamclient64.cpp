// A stand-in for Steam's client library, for the Windows tests. CreateInterface hands out an engine
// whose operations sit at the pinned distances from the library's base (the stubs below, placed by
// steamclient64.ld), and every call is appended to steamclient64-calls.txt beside the library;
// steamclient64-knobs.txt beside it changes the answers (tools/README.md).
#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE library = nullptr;

constexpr std::uint32_t kConnection = 17;
constexpr std::uint32_t kUser = 23;

std::wstring besideLibrary(const wchar_t* name) {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(library, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    path.erase(path.find_last_of(L'\\') + 1);
    return path + name;
}

void record(const std::string& line) {
    const quorvel::ScopedKernelHandle log(CreateFileW(besideLibrary(L"steamclient64-calls.txt").c_str(),
                                                      FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string environmentValue(const char* name) {
    char value[256] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length == 0 || length >= sizeof(value) ? "(unset)" : std::string(value, length);
}

// What steamclient64-knobs.txt asks for, one "name=value" a line.
struct Knobs {
    bool engineNull = false;
    std::uint32_t connection = kConnection;
    std::uint32_t user = kUser;
    bool requestsNull = false;
    std::vector<std::string> misplaced;  // "engine:<position>" or "requests:193"
};

Knobs readKnobs() {
    Knobs knobs;
    const quorvel::ScopedKernelHandle file(CreateFileW(besideLibrary(L"steamclient64-knobs.txt").c_str(), GENERIC_READ,
                                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                       nullptr));
    if (!file) return knobs;
    std::string text(4096, '\0');
    DWORD length = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &length, nullptr)) return knobs;
    text.resize(length);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (name == "engine" && value == "null") knobs.engineNull = true;
        if (name == "connection") knobs.connection = static_cast<std::uint32_t>(std::stoul(value));
        if (name == "user") knobs.user = static_cast<std::uint32_t>(std::stoul(value));
        if (name == "requests" && value == "null") knobs.requestsNull = true;
        if (name == "misplace") knobs.misplaced.push_back(value);
    }
    return knobs;
}

struct Object {
    const std::uintptr_t* table;
};

std::uintptr_t engineTable[14];
std::uintptr_t requestsTable[194];
Object engine{engineTable};
Object requests{requestsTable};
Knobs knobs;

const char* on(void* self, const Object& expected) {
    return self == &expected ? "" : " on a wrong object";
}

}  // namespace

// The operations. The tables point at their stubs, which jump here.
extern "C" {

std::uint32_t standInOpenConnection(void* self) {
    record(std::string("engine 0") + on(self, engine));
    return knobs.connection;
}

void standInReleaseConnection(void* self, std::uint32_t connection) {
    record("engine 1 (" + std::to_string(connection) + ")" + on(self, engine));
}

std::uint32_t standInAttachUser(void* self, std::uint32_t connection) {
    record("engine 3 (" + std::to_string(connection) + ")" + on(self, engine));
    return knobs.user;
}

void standInReleaseUser(void* self, std::uint32_t connection, std::uint32_t user) {
    record("engine 6 (" + std::to_string(connection) + ", " + std::to_string(user) + ")" + on(self, engine));
}

void* standInGameRequests(void* self, std::uint32_t user, std::uint32_t connection) {
    record("engine 13 (" + std::to_string(user) + ", " + std::to_string(connection) + ")" + on(self, engine));
    return knobs.requestsNull ? nullptr : &requests;
}

void standInConnectRequest(void* self, const char* address, const char* text) {
    record("requests 193 (" + std::string(address) + ", " + std::string(text) + ")" + on(self, requests));
}

void standInUnexpected(void* self) {
    record(std::string("unexpected ") + (self == &engine ? "engine" : "requests") + " operation");
}

// The stubs, at the pinned distances from the image base.
void StandInEngine0();
void StandInEngine1();
void StandInEngine3();
void StandInEngine6();
void StandInEngine13();
void StandInRequests193();

}  // extern "C"

asm(R"(
    .section .fillA,"bw"
    .section .pinA,"xr"
    .org 0xA60
    .globl StandInRequests193
StandInRequests193:
    jmp standInConnectRequest

    .section .fillB,"bw"
    .section .pinB,"xr"
    .org 0x880
    .globl StandInEngine1
StandInEngine1:
    jmp standInReleaseConnection
    .org 0xBE0
    .globl StandInEngine3
StandInEngine3:
    jmp standInAttachUser
    .org 0x1700
    .globl StandInEngine0
StandInEngine0:
    jmp standInOpenConnection
    .org 0x2390
    .globl StandInEngine13
StandInEngine13:
    jmp standInGameRequests
    .org 0x4BD0
    .globl StandInEngine6
StandInEngine6:
    jmp standInReleaseUser

    .section .drectve
    .ascii " -export:StandInEngine0 -export:StandInEngine1 -export:StandInEngine3"
    .ascii " -export:StandInEngine6 -export:StandInEngine13 -export:StandInRequests193"
    .text
)");

namespace {

template <typename Function>
std::uintptr_t address(Function* function) {
    return reinterpret_cast<std::uintptr_t>(function);
}

// Sets the tables up afresh for each CreateInterface, then moves the entries the knobs name to the
// operation's own body, away from its pinned place.
void arrangeTables() {
    for (std::uintptr_t& entry : engineTable) entry = address(&standInUnexpected);
    for (std::uintptr_t& entry : requestsTable) entry = address(&standInUnexpected);
    engineTable[0] = address(&StandInEngine0);
    engineTable[1] = address(&StandInEngine1);
    engineTable[3] = address(&StandInEngine3);
    engineTable[6] = address(&StandInEngine6);
    engineTable[13] = address(&StandInEngine13);
    requestsTable[193] = address(&StandInRequests193);
    for (const std::string& entry : knobs.misplaced) {
        if (entry == "engine:0") engineTable[0] = address(&standInOpenConnection);
        if (entry == "engine:1") engineTable[1] = address(&standInReleaseConnection);
        if (entry == "engine:3") engineTable[3] = address(&standInAttachUser);
        if (entry == "engine:6") engineTable[6] = address(&standInReleaseUser);
        if (entry == "engine:13") engineTable[13] = address(&standInGameRequests);
        if (entry == "requests:193") requestsTable[193] = address(&standInConnectRequest);
    }
}

}  // namespace

// Imported from winmm at load time, like a real client library's non-system dependencies, so
// that the tests see where the loader takes such a DLL from.
DWORD createdAt = 0;

extern "C" __declspec(dllexport) void* CreateInterface(const char* version, int* code) {
    record(std::string("CreateInterface ") + version + (code ? " non-null" : " null"));
    createdAt = timeGetTime();
    knobs = readKnobs();
    arrangeTables();
    if (knobs.engineNull || std::strcmp(version, "CLIENTENGINE_INTERFACE_VERSION005") != 0) return nullptr;
    return &engine;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        library = instance;
        record("attach SteamAppId=" + environmentValue("SteamAppId") +
               " SteamGameId=" + environmentValue("SteamGameId"));
    } else if (reason == DLL_PROCESS_DETACH) {
        record("detach");
    }
    return TRUE;
}
