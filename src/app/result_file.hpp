#pragma once

#include "platform/known_folders.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvel {

// The exact bytes of a Result file: two-space indent, keys in ascending byte order, UTF-8 written
// as is, CR LF line breaks, no line break after the closing brace.
std::string serializeResultFile(const nlohmann::json& object);

// Writes `object` as the file `name` beside the running executable. A file that cannot be opened
// is not reported.
void writeResultFile(const std::string& name, const nlohmann::json& object, const ProgramLocations& locations);

}  // namespace quorvel
