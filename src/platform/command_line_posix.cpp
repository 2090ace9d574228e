#include "platform/command_line.hpp"

#include "common/command_line.hpp"

namespace quorvel {

// No platform call to defer to: the rules are the split, and they never fail.
std::vector<std::wstring> splitCommandLine(const std::wstring& text) {
    return splitCommandLineByRules(text);
}

}  // namespace quorvel
