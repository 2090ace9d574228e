#include "game/map_resources.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "game/vpk_directory.hpp"

#include <cstdio>
#include <string>

namespace quorvel {
namespace {

constexpr const char* kWorkshopIdRequired = "普通游廊模式需要工坊数字编号";
constexpr const char* kResourcesMissing = "缺少地图资源，请先通过 Steam 下载地图";
constexpr const char* kVolumeMissing = "地图 VPK 分卷缺失，请修复地图下载";

bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::wstring volumeName(const std::wstring& base, std::uint16_t index) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%03d.vpk", static_cast<int>(index));
    return base + toWide(suffix);
}

}  // namespace

void checkMapResources(const std::filesystem::path& dotaRoot, const std::string& addon, const std::string& map,
                       bool toolsMode, Files& files) {
    std::filesystem::path packageFolder;
    std::wstring base;
    std::wstring directoryFile;
    if (toolsMode) {
        packageFolder = dotaRoot / "game/dota_addons" / toWide(addon);
        if (files.isRegularFile(packageFolder / "maps" / toWide(map + ".vpk"))) return;
        base = L"pak01";
        directoryFile = base + L"_dir.vpk";
    } else {
        check(allDigits(addon), kWorkshopIdRequired);
        packageFolder = dotaRoot.parent_path().parent_path() / "workshop/content/570" / toWide(addon);
        base = toWide(addon);
        directoryFile = base + L".vpk";
    }

    const std::unique_ptr<std::istream> directory = files.openBinary(packageFolder / directoryFile);
    check(directory != nullptr, kResourcesMissing);
    for (const std::uint16_t index : readVpkDirectory(*directory, map)) {
        check(files.isRegularFile(packageFolder / volumeName(base, index)), kVolumeMissing);
    }
}

}  // namespace quorvel
