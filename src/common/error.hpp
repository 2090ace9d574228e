#pragma once

#include <stdexcept>
#include <string>

namespace quorvel {

// The one failure kind that every check raises; its message (UTF-8) is what the player sees.
class UserError : public std::runtime_error {
public:
    explicit UserError(const std::string& message) : std::runtime_error(message) {}
};

inline void check(bool condition, const char* message) {
    if (!condition) throw UserError(message);
}

inline void check(bool condition, const std::string& message) {
    if (!condition) throw UserError(message);
}

}  // namespace quorvel
