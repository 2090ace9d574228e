#include "support/fake_files.hpp"

#include "common/error.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace quorvel::testing {

bool FakeFiles::begin(const std::string& operation, const std::filesystem::path& path,
                      const std::filesystem::path* to) {
    std::string access = operation + " " + path.generic_string();
    if (to) access += " " + to->generic_string();
    accesses.push_back(std::move(access));
    if (onAccess) onAccess(operation, path);
    return !budget_ || budget_->allow();
}

void FakeFiles::enter(const std::string& operation, const std::filesystem::path& path,
                      const std::filesystem::path* to) {
    if (!begin(operation, path, to)) throw WorldStopped();
}

std::optional<std::string> FakeFiles::readWhole(const std::filesystem::path& path) {
    enter("readWhole", path);
    return real_.readWhole(path);
}

std::string FakeFiles::readBounded(const std::filesystem::path& path, std::size_t maxBytes) {
    enter("readBounded", path);
    return real_.readBounded(path, maxBytes);
}

std::unique_ptr<std::istream> FakeFiles::openBinary(const std::filesystem::path& path) {
    enter("openBinary", path);
    return real_.openBinary(path);
}

bool FakeFiles::isRegularFile(const std::filesystem::path& path) {
    enter("isRegularFile", path);
    return real_.isRegularFile(path);
}

bool FakeFiles::exists(const std::filesystem::path& path) {
    enter("exists", path);
    return real_.exists(path);
}

std::optional<std::uintmax_t> FakeFiles::sizeIfPresent(const std::filesystem::path& path) {
    enter("sizeIfPresent", path);
    return real_.sizeIfPresent(path);
}

std::filesystem::path FakeFiles::canonical(const std::filesystem::path& path) {
    enter("canonical", path);
    return real_.canonical(path);
}

bool FakeFiles::refused(const std::filesystem::path& path) const {
    if (!readOnlyFolder) return false;
    const std::filesystem::path relative = path.lexically_relative(*readOnlyFolder);
    return !relative.empty() && *relative.begin() != "..";
}

void FakeFiles::createDirectories(const std::filesystem::path& folder) {
    enter("createDirectories", folder);
    if (refused(folder) && !std::filesystem::exists(folder)) {
        throw std::filesystem::filesystem_error("cannot create directories", folder,
                                                std::make_error_code(std::errc::permission_denied));
    }
    real_.createDirectories(folder);
}

void FakeFiles::writeWhole(const std::filesystem::path& path, std::string_view bytes) {
    if (!begin("writeWhole", path)) {
        real_.writeWhole(path, bytes.substr(0, bytes.size() / 2));
        unflushedFrom_[path] = 0;
        throw WorldStopped();
    }
    check(!refused(path), "无法写入更新文件");
    written.push_back(path);
    unflushedFrom_[path] = 0;
    real_.writeWhole(path, bytes);
}

void FakeFiles::flush(const std::filesystem::path& path) {
    enter("flush", path);
    real_.flush(path);
    unflushedFrom_.erase(path);
}

void FakeFiles::carryUnflushed(const std::filesystem::path& from, const std::filesystem::path& to) {
    const auto found = unflushedFrom_.find(from);
    if (found == unflushedFrom_.end()) {
        unflushedFrom_.erase(to);
        return;
    }
    const std::uintmax_t offset = found->second;
    unflushedFrom_.erase(found);
    unflushedFrom_[to] = offset;
}

bool FakeFiles::moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    enter("moveDurably", from, &to);
    if (refused(to) || !real_.moveDurably(from, to)) return false;
    carryUnflushed(from, to);
    return true;
}

void FakeFiles::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    enter("rename", from, &to);
    real_.rename(from, to);
    carryUnflushed(from, to);
}

void FakeFiles::append(const std::filesystem::path& path, std::string_view bytes) {
    enter("append", path);
    std::error_code error;
    const std::uintmax_t before = std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path) : 0;
    const auto found = unflushedFrom_.find(path);
    unflushedFrom_[path] = found == unflushedFrom_.end() ? before : std::min(found->second, before);
    real_.append(path, bytes);
}

void FakeFiles::removeAll(const std::filesystem::path& path) {
    if (!begin("removeAll", path)) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (std::size_t i = 0; i < files.size(); i += 2) std::filesystem::remove(files[i]);
        throw WorldStopped();
    }
    if (refused(path) || (readOnlyFolder && path == *readOnlyFolder)) {
        throw std::filesystem::filesystem_error("cannot remove", path,
                                                std::make_error_code(std::errc::permission_denied));
    }
    real_.removeAll(path);
}

std::uintmax_t FakeFiles::cutPower() {
    std::uintmax_t zeroed = 0;
    for (const auto& [path, offset] : unflushedFrom_) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        const std::uintmax_t size = std::filesystem::file_size(path);
        if (size <= offset) continue;
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(offset));
        const std::string zeros(static_cast<std::size_t>(size - offset), '\0');
        file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
        check(file.good(), "cutPower: cannot zero the unflushed bytes");
        zeroed += zeros.size();
    }
    unflushedFrom_.clear();
    return zeroed;
}

}  // namespace quorvel::testing
