// Any sequence of UTF-16 units (or code points natively) as a program path and arguments,
// separated by NUL, which no argument can hold. The line the launcher builds from them must split
// back into exactly the program and the arguments. The same units as one raw text must split
// without failing, and the split of a split line, built and split again, must be stable.
#include "common/command_line.hpp"
#include "platform/command_line.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A program path as the launcher gets one: no quotes (no file name holds one) and no trailing
// backslash (it names a file, not a folder).
std::wstring asProgramPath(std::wstring text) {
    std::erase(text, L'"');
    while (!text.empty() && text.back() == L'\\') text.pop_back();
    return text;
}

void checkRoundTrip(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    // Native paths are narrow: a program name they cannot hold never reaches the launcher.
    std::filesystem::path path;
    try {
        path = std::filesystem::path(program);
    } catch (const std::filesystem::filesystem_error&) {
        return;
    }
    if (path.wstring() != program) return;
    const std::wstring line = quorvel::buildCommandLine(path, arguments);
    std::vector<std::wstring> expected{program};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    if (quorvel::splitCommandLineByRules(line) != expected) std::abort();
    if (quorvel::splitCommandLine(line) != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    std::vector<std::wstring> pieces{std::wstring()};
    for (wchar_t c : units) {
        if (c == L'\0') {
            pieces.emplace_back();
        } else {
            pieces.back().push_back(c);
        }
    }
    checkRoundTrip(asProgramPath(pieces.front()), {pieces.begin() + 1, pieces.end()});

    const std::vector<std::wstring> split = quorvel::splitCommandLineByRules(units);
    if (split.empty()) std::abort();
    const std::wstring program = asProgramPath(split.front());
    if (program == split.front()) checkRoundTrip(program, {split.begin() + 1, split.end()});
    return 0;
}
