#include "support/lobby_simulator_win32.hpp"

#include "common/scoped_handle_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <windows.h>
#include <winhttp.h>

#include <stdexcept>

namespace quorvel::testing {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("lobby simulator control: " + what + " (error " + std::to_string(GetLastError()) + ")");
}

// One plain-HTTP exchange with the control interface on 127.0.0.1.
std::pair<DWORD, std::string> control(std::uint16_t port, const wchar_t* verb, const std::wstring& path,
                                      const std::string& body = {}) {
    ScopedInternetHandle session(
        WinHttpOpen(L"quorvel-tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) fail("open");
    WinHttpSetTimeouts(session.get(), 10'000, 10'000, 10'000, 10'000);
    ScopedInternetHandle connection(WinHttpConnect(session.get(), L"127.0.0.1", port, 0));
    if (!connection) fail("connect");
    ScopedInternetHandle request(WinHttpOpenRequest(connection.get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request) fail("request");
    const DWORD length = static_cast<DWORD>(body.size());
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), length, length,
                            0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        fail("send");
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        fail("status");
    }
    std::string answer;
    char buffer[8192];
    for (DWORD count = 0;; answer.append(buffer, count)) {
        if (!WinHttpReadData(request.get(), buffer, sizeof(buffer), &count)) fail("read");
        if (count == 0) break;
    }
    return {status, answer};
}

nlohmann::json controlJson(std::uint16_t port, const wchar_t* verb, const std::wstring& path,
                           const std::string& body = {}) {
    const auto [status, answer] = control(port, verb, path, body);
    if (status != 200) {
        throw std::runtime_error("lobby simulator control: HTTP " + std::to_string(status) + " " + answer);
    }
    return nlohmann::json::parse(answer);
}

std::wstring widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

SimulatedLobby::SimulatedLobby(bool trusted) {
    std::string stateText;
    try {
        stateText = readFile(buildFolder() / "lobby-sim" / "state.json");
    } catch (const std::exception&) {
        throw std::runtime_error("lobby simulator is not running: no lobby-sim/state.json in the build folder");
    }
    const auto state = nlohmann::json::parse(stateText);
    controlPort_ = state.at("controlPort").get<std::uint16_t>();
    const auto instance =
        controlJson(controlPort_, L"POST", L"/instances", trusted ? std::string() : R"({"certificate":"untrusted"})");
    id_ = instance.at("id").get<std::string>();
    port_ = instance.at("port").get<std::uint16_t>();
}

SimulatedLobby::~SimulatedLobby() {
    try {
        control(controlPort_, L"DELETE", L"/instances/" + widen(id_));
    } catch (const std::exception&) {
        // The simulator's own clean-up removes what a failed test leaves.
    }
}

void SimulatedLobby::script(const nlohmann::json& rules) {
    controlJson(controlPort_, L"POST", L"/instances/" + widen(id_) + L"/rules", rules.dump());
}

nlohmann::json SimulatedLobby::publish(const std::string& image, std::uint64_t build) {
    return controlJson(controlPort_, L"PUT", L"/instances/" + widen(id_) + L"/release?build=" + std::to_wstring(build),
                       image);
}

void SimulatedLobby::serveDownloadsFrom(const std::string& folder) {
    controlJson(controlPort_, L"PUT", L"/instances/" + widen(id_) + L"/downloads", folder);
}

nlohmann::json SimulatedLobby::requests() const {
    return controlJson(controlPort_, L"GET", L"/instances/" + widen(id_) + L"/requests");
}

std::string recordedBody(const nlohmann::json& request) {
    const std::string hex = request.at("bodyHex").get<std::string>();
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<std::string> recordedHeader(const nlohmann::json& request, const std::string& name) {
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::vector<std::string> values;
    for (const auto& header : request.at("headers")) {
        if (lower(header.at(0).get<std::string>()) == lower(name)) values.push_back(header.at(1).get<std::string>());
    }
    return values;
}

}  // namespace quorvel::testing
