#include "update/release.hpp"

#include "common/error.hpp"
#include "platform/sha256.hpp"

#include <algorithm>
#include <cstdint>

namespace quorvel {
namespace {

constexpr const char* kPlatform = "windows-x64";

// "schema" as the library converts it to a 32-bit integer. A float beyond that range has no
// such value (its conversion is undefined), so it simply is not 1.
bool schemaIsOne(const nlohmann::json& json) {
    if (!json.contains("schema")) return false;
    const nlohmann::json& schema = json["schema"];
    if (schema.is_number_float()) {
        const double value = schema.get<double>();
        if (!(value > -2'147'483'649.0 && value < 2'147'483'648.0)) return false;
    }
    return schema.get<std::int32_t>() == 1;
}

bool isLowerHexDigest(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

void Release::verify(std::string_view image) const {
    check(image.size() == bytes && sha256Hex(image) == sha256, "新版文件校验失败，继续使用原版");
    check(image.size() > 64 && image[0] == 'M' && image[1] == 'Z', "更新文件不是 Windows 程序");
}

Release parseRelease(const nlohmann::json& json) {
    check(json.is_object(), "更新清单格式无效");
    const bool schemaValid = schemaIsOne(json);
    const std::string platform = json.contains("platform") ? json["platform"].get<std::string>() : std::string();
    check(schemaValid && platform == kPlatform, "更新清单格式无效");

    const auto unsignedMember = [&](const char* key) { return json.contains(key) && json[key].is_number_unsigned(); };
    check(unsignedMember("build") && unsignedMember("bytes") && json.contains("sha256") && json["sha256"].is_string(),
          "更新清单字段无效");

    Release release;
    release.build = json["build"].get<std::uint64_t>();
    release.bytes = json["bytes"].get<std::uint64_t>();
    release.sha256 = json["sha256"].get<std::string>();

    const bool inRange = release.build >= kOldestBuild && release.build <= kLastBuild &&
                         release.bytes >= kMinReleaseBytes && release.bytes <= kMaxReleaseBytes;
    check(inRange && isLowerHexDigest(release.sha256), "更新清单范围无效");
    return release;
}

nlohmann::json releaseToJson(const Release& release) {
    return nlohmann::json{{"build", release.build},
                          {"bytes", release.bytes},
                          {"platform", kPlatform},
                          {"schema", 1},
                          {"sha256", release.sha256}};
}

std::string releaseFileText(const Release& release) {
    return releaseToJson(release).dump(2);
}

Release publishRelease(std::uint64_t build, std::string_view image) {
    const Release release =
        parseRelease(nlohmann::json::parse(releaseFileText({build, image.size(), sha256Hex(image)})));
    release.verify(image);
    return release;
}

}  // namespace quorvel
