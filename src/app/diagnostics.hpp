#pragma once

namespace quorvel {

// --health-check: the digest and the link parser must work; nothing is written on success.
void runHealthCheck();

}  // namespace quorvel
