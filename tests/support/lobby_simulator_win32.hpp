#pragma once

#include "platform/https.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvel::testing {

// A private HTTPS host of the lobby simulator that the test fixture started (its state file lies
// in the build folder): scripted through the simulator's control interface, removed on
// destruction. Throws std::runtime_error when the simulator cannot be reached.
class SimulatedLobby {
public:
    // `trusted`: whether the host shows the certificate signed by the CA the fixture trusted, or a
    // self-signed one.
    explicit SimulatedLobby(bool trusted = true);
    ~SimulatedLobby();
    SimulatedLobby(const SimulatedLobby&) = delete;
    SimulatedLobby& operator=(const SimulatedLobby&) = delete;

    // "localhost" and this host's port: the simulator's certificate names localhost.
    HttpHost host() const { return {L"localhost", port_}; }

    // Adds answer rules (one object or an array), taken in order by matching requests.
    void script(const nlohmann::json& rules);
    // Publishes `image` as the newest release, with the manifest that describes it.
    nlohmann::json publish(const std::string& image, std::uint64_t build);
    // Answers the update host's paths from the files placed in `folder` (a path on the
    // simulator's own machine, as QUORVEL_BINARY_DIR is): native-connector-update.json and
    // native/<sha256>.exe, read at each request.
    void serveDownloadsFrom(const std::string& folder);
    // Every request received so far: method, path, headers, bodyHex, body.
    nlohmann::json requests() const;

private:
    std::uint16_t controlPort_ = 0;
    std::string id_;
    std::uint16_t port_ = 0;
};

// The exact body bytes of one recorded request.
std::string recordedBody(const nlohmann::json& request);

// The values of the header `name` (case-insensitive) in one recorded request.
std::vector<std::string> recordedHeader(const nlohmann::json& request, const std::string& name);

}  // namespace quorvel::testing
