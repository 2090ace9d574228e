#include "build_config.hpp"
#include "common/http_transport.hpp"

namespace quorvel {

HttpHost lobbyHost() {
    return {config::kLobbyHost, config::kLobbyPort};
}

}  // namespace quorvel
