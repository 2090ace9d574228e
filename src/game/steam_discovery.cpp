#include "game/steam_discovery.hpp"

#include "common/error.hpp"
#include "common/text.hpp"

#include <optional>

namespace quorvel {
namespace {

constexpr std::string_view kPathKey = "\"path\"";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Matches `"path"\s*"([^"\r\n]+)"` at `start` (which holds the key); returns the end of the match
// and sets `value`. The pattern cannot backtrack into another outcome: the spaces and the value
// are each followed by a quote that neither class contains.
std::optional<std::size_t> matchPathAt(std::string_view text, std::size_t start, std::string_view& value) {
    std::size_t i = start + kPathKey.size();
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i >= text.size() || text[i] != '"') return std::nullopt;
    const std::size_t first = ++i;
    while (i < text.size() && text[i] != '"' && text[i] != '\r' && text[i] != '\n') ++i;
    if (i == first || i >= text.size() || text[i] != '"') return std::nullopt;
    value = text.substr(first, i - first);
    return i + 1;
}

std::string collapseBackslashes(std::string_view escaped) {
    std::string out;
    out.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        out.push_back(escaped[i]);
        if (escaped[i] == '\\') {
            while (i + 1 < escaped.size() && escaped[i + 1] == '\\') ++i;
        }
    }
    return out;
}

}  // namespace

std::wstring findSteamPath(const SteamRegistry& registry) {
    const std::optional<std::wstring> path = registry.steamPath();
    // An empty value names no folder: joined with the library list's relative path it would
    // name a file in whatever folder the helper was started in.
    check(path.has_value() && !path->empty(), kSteamNotFound);
    return *path;
}

std::vector<std::wstring> libraryFolders(std::string_view libraryList) {
    std::vector<std::wstring> folders;
    std::size_t position = 0;
    while ((position = libraryList.find(kPathKey, position)) != std::string_view::npos) {
        std::string_view value;
        if (const auto end = matchPathAt(libraryList, position, value)) {
            folders.push_back(toWide(collapseBackslashes(value)));
            position = *end;
        } else {
            ++position;
        }
    }
    return folders;
}

std::filesystem::path findDotaRoot(const SteamRegistry& registry, Files& files) {
    const std::filesystem::path steamFolder = findSteamPath(registry);
    std::vector<std::filesystem::path> candidates{steamFolder};
    const std::optional<std::string> libraryList = files.readWhole(steamFolder / "steamapps/libraryfolders.vdf");
    for (std::wstring& folder : libraryFolders(libraryList.value_or(std::string()))) {
        candidates.emplace_back(std::move(folder));
    }
    for (const std::filesystem::path& candidate : candidates) {
        const std::filesystem::path dotaFolder = candidate / "steamapps/common/dota 2 beta";
        if (files.isRegularFile(dotaFolder / "game/bin/win64/dota2.exe")) return files.canonical(dotaFolder);
    }
    throw UserError(kDotaNotFound);
}

}  // namespace quorvel
