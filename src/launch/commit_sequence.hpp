#pragma once
// The commit point under which the join performs its irreversible actions.

#include <functional>

namespace quorvel {

// prepare, confirm, then committed = true, then act. A failure passes on as it is; `committed`
// tells the caller whether act had begun (the request may have gone out). An empty callable fails
// with std::bad_function_call at its own step.
inline void runCommitSequence(const std::function<void()>& prepare, const std::function<void()>& confirm,
                              const std::function<void()>& act, bool& committed) {
    prepare();
    confirm();
    committed = true;
    act();
}

}  // namespace quorvel
