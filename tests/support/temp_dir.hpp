#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel::testing {

// A fresh folder under the system's temp folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

// Whole-file helpers for fixtures (binary, no translation).
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// `size` zero bytes that take no disk blocks (the file is grown by setting its size), then `tail`.
void writeSparseFile(const std::filesystem::path& path, std::uintmax_t size, std::string_view tail = {});

}  // namespace quorvel::testing
