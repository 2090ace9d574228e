#pragma once
// Putting a build in service: the health check, staging into its Version folder, activation, the
// manifest decision and the update log.

#include "update/install_system.hpp"
#include "update/release.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr std::uint32_t kHealthCheckWaitMs = 10'000;
inline constexpr std::uintmax_t kUpdateLogRotateAbove = 524'288;
inline constexpr std::size_t kMaxLoggedEventBytes = 1'024;

// Fetches the image of a release.
using ReleaseDownload = std::function<std::string(const Release&)>;

// Runs `exePath --health-check` in the executable's folder and returns only when it ended with
// exit code 0 within 10 s. "新版助手无法启动", "新版助手健康检查超时" (the child is then ended with
// exit code 1), "新版助手健康检查失败".
void healthCheck(Processes& processes, const std::filesystem::path& exePath);

// Verifies `image` against `release`, writes it as the build's Version executable unless a file
// is already there (which is then verified instead and never rewritten), and health-checks it.
Release stageRelease(InstallSystem& system, const Release& release, std::string_view image);

// Re-verifies the build's Version executable, points the txqjoin open command and the Uninstall
// entry at it and rewrites active.json to name it. Runs no health check.
void activate(InstallSystem& system, const Release& release);

// The Release to use after reading `manifest`: a newer one, downloaded once and staged, or
// `current`, without downloading, when the manifest is not newer.
Release applyManifest(InstallSystem& system, const Release& current, const nlohmann::json& manifest,
                      const ReleaseDownload& download);

// One compact line {"build":…,"event":…,"time":…} with CR LF, appended to update.log in the
// Install root; a log above 512 KiB is first renamed to update-<ticks>.log. The event text is
// logged as valid UTF-8 (ill-formed bytes become U+FFFD) of at most 1,024 bytes before JSON
// escaping: a longer one is cut at a character boundary and ends with "…", counted in the 1,024.
// A failure quoting a whole manifest so adds about a kilobyte per click, not the manifest.
void appendUpdateLog(InstallSystem& system, const std::string& event);

}  // namespace quorvel
