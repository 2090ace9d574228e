// The Running build on its own, so that a program can link another value (the next release that
// the Windows tests serve as an update) in place of the core's.
#include "update/install_layout.hpp"

#include "build_config.hpp"

namespace quorvel {

std::uint64_t runningBuild() {
    return config::kRunningBuild;
}

}  // namespace quorvel
