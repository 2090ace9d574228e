#include "app/result_file.hpp"

#include "common/text.hpp"

#include <fstream>

namespace quorvel {

std::string serializeResultFile(const nlohmann::json& object) {
    // Ill-formed UTF-8 (a message quoting bytes from outside) becomes U+FFFD rather than failing
    // the report. Line breaks inside strings are escaped, so every '\n' here is a layout break.
    const std::string indented = object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string bytes;
    bytes.reserve(indented.size() + indented.size() / 8);
    for (char c : indented) {
        if (c == '\n') bytes.push_back('\r');
        bytes.push_back(c);
    }
    return bytes;
}

void writeResultFile(const std::string& name, const nlohmann::json& object, const ProgramLocations& locations) {
    const std::filesystem::path file = locations.modulePath().parent_path() / toWide(name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return;
    const std::string bytes = serializeResultFile(object);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quorvel
