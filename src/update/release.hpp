#pragma once
// Release: one build of the helper, its JSON form (the Update manifest and active.json) and the
// check of an image against it.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr std::uint64_t kOldestBuild = 2'026'091'803;
inline constexpr std::uint64_t kLastBuild = 9'999'999'999;
inline constexpr std::uint64_t kMinReleaseBytes = 65'536;
inline constexpr std::uint64_t kMaxReleaseBytes = 8'388'608;

// One build of the helper: its build number, the exact size of its executable image and the
// image's SHA-256 as 64 lower-case hexadecimal characters.
struct Release {
    std::uint64_t build = 0;
    std::uint64_t bytes = 0;
    std::string sha256;

    bool operator==(const Release&) const = default;

    // Fails unless `image` is the executable this release describes: "新版文件校验失败，继续使用原版"
    // when size or digest differ (a size mismatch skips the hash), "更新文件不是 Windows 程序" when
    // it is 64 bytes or shorter or does not begin with "MZ".
    void verify(std::string_view image) const;
};

// A Release read from its JSON form, every rule checked: "更新清单格式无效" (not an object, schema
// not 1, platform not "windows-x64"), "更新清单字段无效" (build, bytes or sha256 missing or of the
// wrong type), "更新清单范围无效" (a value outside its range). A "schema" or "platform" of a type
// the library cannot convert fails with the library's type error.
Release parseRelease(const nlohmann::json& json);

// The JSON form: build, bytes, platform "windows-x64", schema 1, sha256.
nlohmann::json releaseToJson(const Release& release);

// A Release as files hold it (active.json, the Update manifest that a release publishes): the JSON
// form indented by two spaces, LF line breaks, no line break at the end.
std::string releaseFileText(const Release& release);

// The Release that publishes `image` as build `build`, as the updater will read it: its file text
// read back through parseRelease, and the image verified against that. Fails with their messages
// (a build or size outside the ranges the updater accepts, an image that is no Windows program).
Release publishRelease(std::uint64_t build, std::string_view image);

}  // namespace quorvel
