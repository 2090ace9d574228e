#pragma once
// messageOf: the message of the UserError a callable fails with, for comparing failures exactly.

#include "common/error.hpp"

#include <string>

namespace quorvel::testing {

// The failure's message, or "(no failure)" when the callable returns normally. Any other
// exception passes through, so that a wrong kind of failure shows as itself. `Failure` names
// another kind to read, such as a JSON library error that a function lets through unchanged.
template <typename Failure = UserError, typename Callable>
std::string messageOf(Callable&& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.what();
    }
    return "(no failure)";
}

}  // namespace quorvel::testing
