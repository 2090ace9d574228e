#include "build_config.hpp"
#include "platform/https.hpp"

namespace quorvel {

HttpHost lobbyHost() {
    return {config::kLobbyHost, config::kLobbyPort};
}

}  // namespace quorvel
