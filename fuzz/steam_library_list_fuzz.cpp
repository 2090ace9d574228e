// Any bytes as Steam's library list. Every folder must be a non-empty value without quotes, line
// breaks or doubled backslashes; on short texts the folders must be exactly what an independent
// regular-expression scan finds, with each run of backslashes reduced to one. A value that is not
// UTF-8 may only fail with the shared error.
#include "common/error.hpp"
#include "common/text.hpp"
#include "game/steam_discovery.hpp"

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

// std::regex recurses per character matched, so the comparison is kept to short texts.
constexpr std::size_t kOracleLimit = 512;

// The folders by the documented pattern, or nothing when a value is not UTF-8.
std::optional<std::vector<std::wstring>> expectedFolders(const std::string& text) {
    static const std::regex pattern(R"re("path"\s*"([^"\r\n]+)")re");
    std::vector<std::wstring> folders;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        std::string value = (*it)[1].str();
        std::string collapsed;
        for (char c : value) {
            if (c == '\\' && !collapsed.empty() && collapsed.back() == '\\') continue;
            collapsed.push_back(c);
        }
        try {
            folders.push_back(quorvel::toWide(collapsed));
        } catch (const quorvel::UserError&) {
            return std::nullopt;
        }
    }
    return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<std::vector<std::wstring>> folders;
    try {
        folders = quorvel::libraryFolders(text);
    } catch (const quorvel::UserError&) {
    }
    if (folders) {
        for (const std::wstring& folder : *folders) {
            if (folder.empty()) std::abort();
            if (folder.find_first_of(L"\"\r\n") != std::wstring::npos) std::abort();
            if (folder.find(L"\\\\") != std::wstring::npos) std::abort();
        }
    }
    if (size <= kOracleLimit && expectedFolders(text) != folders) std::abort();
    return 0;
}
