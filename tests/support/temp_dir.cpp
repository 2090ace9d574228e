#include "support/temp_dir.hpp"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace quorvel::testing {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write fixture " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeSparseFile(const std::filesystem::path& path, std::uintmax_t size, std::string_view tail) {
    writeFile(path, "");
    std::filesystem::resize_file(path, size);
    if (tail.empty()) return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    if (!out.flush()) throw std::runtime_error("cannot append to " + path.string());
}

}  // namespace quorvel::testing
