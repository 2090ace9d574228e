#pragma once
// The Release rules restated independently for the fuzz targets: what a JSON document must hold
// to be read as a Release, and the Release it then gives.

#include "common/error.hpp"
#include "update/release.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace quorvel::fuzzing {

// "schema" as a 32-bit integer the way the library converts it: a boolean as 0 or 1, a float
// truncated toward zero (nothing when out of range), a wider integer by its low 32 bits.
inline std::optional<std::int32_t> schemaValue(const nlohmann::json& schema) {
    if (schema.is_boolean()) return schema.get<bool>() ? 1 : 0;
    if (schema.is_number_unsigned()) return static_cast<std::int32_t>(schema.get<std::uint64_t>() & 0xFFFFFFFFu);
    if (schema.is_number_integer()) return static_cast<std::int32_t>(schema.get<std::int64_t>());
    if (schema.is_number_float()) {
        const double value = std::trunc(schema.get<double>());
        if (!(value >= -2'147'483'648.0 && value <= 2'147'483'647.0)) return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    return std::nullopt;
}

// The Release `document` must be read as, or nothing when it must be refused.
inline std::optional<Release> expectedRelease(const nlohmann::json& document) {
    if (!document.is_object()) return std::nullopt;
    const auto schema = document.find("schema");
    if (schema == document.end() || schemaValue(*schema) != 1) return std::nullopt;
    const auto platform = document.find("platform");
    if (platform == document.end() || *platform != "windows-x64") return std::nullopt;
    const auto build = document.find("build");
    const auto bytes = document.find("bytes");
    const auto sha256 = document.find("sha256");
    if (build == document.end() || !build->is_number_unsigned() || bytes == document.end() ||
        !bytes->is_number_unsigned() || sha256 == document.end() || !sha256->is_string())
        return std::nullopt;
    Release release{build->get<std::uint64_t>(), bytes->get<std::uint64_t>(), sha256->get<std::string>()};
    if (release.build < 2'026'091'803 || release.build > 9'999'999'999 || release.bytes < 65'536 ||
        release.bytes > 8'388'608 || release.sha256.size() != 64)
        return std::nullopt;
    for (char c : release.sha256) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
    }
    return release;
}

// Reads `document` with the product's parseRelease, catching only its documented errors, and
// aborts unless the outcome is exactly expectedRelease's.
inline std::optional<Release> checkedRelease(const nlohmann::json& document) {
    std::optional<Release> release;
    try {
        release = parseRelease(document);
    } catch (const UserError&) {
    } catch (const nlohmann::json::type_error&) {
    }
    if (release != expectedRelease(document)) std::abort();
    return release;
}

}  // namespace quorvel::fuzzing
