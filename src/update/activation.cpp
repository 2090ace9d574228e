#include "update/activation.hpp"

#include "common/command_line.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "update/executable_file.hpp"
#include "update/protocol_registration.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

void healthCheck(Processes& processes, const std::filesystem::path& exePath) {
    ProgramStart start;
    start.program = exePath;
    start.commandLine = quoteArgument(exePath.wstring()) + L" --health-check";
    start.currentDirectory = exePath.parent_path();
    const std::unique_ptr<Process> child = processes.start(start);
    check(child != nullptr, "新版助手无法启动");
    if (!child->waitForExit(kHealthCheckWaitMs)) {
        child->terminate(1);
        throw UserError("新版助手健康检查超时");
    }
    const std::optional<std::uint32_t> code = child->exitCode();
    check(code.has_value() && *code == 0, "新版助手健康检查失败");
}

Release stageRelease(InstallSystem& system, const Release& release, std::string_view image) {
    release.verify(image);
    const std::filesystem::path path = versionExecutablePath(system.folders, release.build);
    if (!system.files.exists(path)) {
        writeFileReplacing(system.files, path, image);
    } else {
        release.verify(readExecutableFile(system.files, path));
    }
    healthCheck(system.processes, path);
    return release;
}

void activate(InstallSystem& system, const Release& release) {
    const std::filesystem::path path = versionExecutablePath(system.folders, release.build);
    release.verify(readExecutableFile(system.files, path));
    registerProtocol(system.registry, path);
    registerUninstallEntry(system.registry, {path, release.build, release.bytes, installRoot(system.folders)});
    writeFileReplacing(system.files, installRoot(system.folders) / kActiveReleaseName, releaseFileText(release));
}

Release applyManifest(InstallSystem& system, const Release& current, const nlohmann::json& manifest,
                      const ReleaseDownload& download) {
    const Release candidate = parseRelease(manifest);
    if (candidate.build <= current.build) return current;
    const std::string image = download(candidate);
    return stageRelease(system, candidate, image);
}

namespace {

// The event text as it is logged: valid UTF-8 (an event may carry a library message quoting bytes
// of a manifest, which need not be UTF-8: each ill-formed byte becomes U+FFFD) of at most
// kMaxLoggedEventBytes. A longer text is cut at a character boundary and ends with "…"; the
// ellipsis's three bytes count within the limit, so no logged event text exceeds it.
std::string loggedEventText(const std::string& event) {
    std::string text = toNarrow(toWideLenient(event));
    if (text.size() <= kMaxLoggedEventBytes) return text;
    constexpr std::string_view kEllipsis = "\u2026";
    std::size_t cut = kMaxLoggedEventBytes - kEllipsis.size();
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    text += kEllipsis;
    return text;
}

}  // namespace

void appendUpdateLog(InstallSystem& system, const std::string& event) {
    const std::filesystem::path root = installRoot(system.folders);
    system.files.createDirectories(root);
    const std::filesystem::path log = root / kUpdateLogName;
    const std::optional<std::uintmax_t> size = system.files.sizeIfPresent(log);
    if (size && *size > kUpdateLogRotateAbove) {
        system.files.rename(log, root / (L"update-" + std::to_wstring(system.update.ticks.milliseconds()) + L".log"));
    }
    const nlohmann::json line{{"build", runningBuild()}, {"event", loggedEventText(event)}, {"time", system.clock.now()}};
    system.files.append(log, line.dump() + "\r\n");
}

}  // namespace quorvel
