#pragma once

#include <functional>
#include <string>

namespace quorvel {

// Shows one line of status text to the player (the Status window's text setter in the join mode).
using ProgressCallback = std::function<void(const std::wstring&)>;

}  // namespace quorvel
