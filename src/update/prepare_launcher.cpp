#include "update/prepare_launcher.hpp"

#include "platform/sha256.hpp"
#include "update/activation.hpp"
#include "update/executable_file.hpp"
#include "update/update_client.hpp"

#include <exception>

namespace quorvel {
namespace {

// active.json holds one Release in the same JSON form as the update manifest, so the manifest's
// bound fits it with room to spare; anything larger is not ours and is not read into memory.
constexpr std::size_t kMaxActiveReleaseBytes = kMaxManifestBytes;

// The Active release, when it names a newer build whose Version executable is intact and healthy.
std::optional<Release> newerActiveRelease(InstallSystem& system) {
    const std::string text =
        system.files.readBounded(installRoot(system.folders) / kActiveReleaseName, kMaxActiveReleaseBytes);
    const Release active = parseRelease(nlohmann::json::parse(text));
    if (active.build <= runningBuild()) return std::nullopt;
    const std::filesystem::path path = versionExecutablePath(system.folders, active.build);
    active.verify(readExecutableFile(system.files, path));
    healthCheck(system.processes, path);
    return active;
}

}  // namespace

std::filesystem::path prepareLauncher(InstallSystem& system, const ProgressCallback& progress, bool checkForUpdates) {
    const HeldLock lock = takeLock(system.locks, kInstallLockName, kInstallLockWaitMs, "无法创建更新锁",
                                   "另一个助手正在更新，请稍后重试");

    const std::string image = readExecutableFile(system.files, system.locations.modulePath());
    Release current{runningBuild(), image.size(), sha256Hex(image)};

    try {
        if (const std::optional<Release> active = newerActiveRelease(system)) current = *active;
    } catch (const std::exception&) {
        // A missing, unreadable, invalid or unhealthy Active release leaves the running build in use.
    }

    if (current.build == runningBuild()) stageRelease(system, current, image);
    activate(system, current);

    if (checkForUpdates) {
        try {
            progress(kCheckingForUpdate);
            const std::string body = fetchUpdateFile(system.update, kUpdateManifestPath, kMaxManifestBytes);
            const nlohmann::json manifest = nlohmann::json::parse(body);
            const ReleaseDownload download = [&](const Release& release) {
                progress(kDownloadingUpdate);
                return fetchUpdateFile(system.update, releaseDownloadPath(release), release.bytes);
            };
            const Release chosen = applyManifest(system, current, manifest, download);
            if (chosen.build > current.build) {
                activate(system, chosen);
                current = chosen;
                appendUpdateLog(system, "update_activated");
            } else {
                appendUpdateLog(system, "up_to_date");
            }
        } catch (const std::exception& failure) {
            appendUpdateLog(system, std::string("update_skipped: ") + failure.what());
            progress(kUpdateUnavailable);
        }
    }
    return versionExecutablePath(system.folders, current.build);
}

}  // namespace quorvel
