#include "support/fake_install.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "platform/sha256.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace quorvel::testing {
namespace {

class FakeChild final : public ChildProcess {
public:
    FakeChild(FakeChildProcesses& owner, ChildScript script) : owner_(owner), script_(script) { ++owner_.openChildren; }
    ~FakeChild() override { --owner_.openChildren; }

    bool waitForExit(std::uint32_t milliseconds) override {
        owner_.waits.push_back(milliseconds);
        return script_.ends;
    }
    void terminate(std::uint32_t exitCode) override { owner_.terminations.push_back(exitCode); }
    std::optional<std::uint32_t> exitCode() override { return script_.exitCode; }

private:
    FakeChildProcesses& owner_;
    ChildScript script_;
};

}  // namespace

bool StoppableFiles::exists(const std::filesystem::path& path) {
    budget_.spend();
    return real_.exists(path);
}

std::optional<std::uintmax_t> StoppableFiles::sizeIfPresent(const std::filesystem::path& path) {
    budget_.spend();
    return real_.sizeIfPresent(path);
}

std::string StoppableFiles::readExecutable(const std::filesystem::path& path) {
    budget_.spend();
    return real_.readExecutable(path);
}

std::string StoppableFiles::readAll(const std::filesystem::path& path, std::size_t maxBytes) {
    budget_.spend();
    return real_.readAll(path, maxBytes);
}

bool StoppableFiles::refused(const std::filesystem::path& path) const {
    if (!readOnlyFolder) return false;
    const std::filesystem::path relative = path.lexically_relative(*readOnlyFolder);
    return !relative.empty() && *relative.begin() != "..";
}

void StoppableFiles::createDirectories(const std::filesystem::path& folder) {
    budget_.spend();
    if (refused(folder) && !std::filesystem::exists(folder)) {
        throw std::filesystem::filesystem_error("cannot create directories", folder,
                                                std::make_error_code(std::errc::permission_denied));
    }
    real_.createDirectories(folder);
}

void StoppableFiles::writeWhole(const std::filesystem::path& path, std::string_view bytes) {
    if (!budget_.allow()) {
        real_.writeWhole(path, bytes.substr(0, bytes.size() / 2));
        unflushedFrom_[path] = 0;
        throw WorldStopped();
    }
    check(!refused(path), "无法写入更新文件");
    written.push_back(path);
    unflushedFrom_[path] = 0;
    real_.writeWhole(path, bytes);
}

void StoppableFiles::flush(const std::filesystem::path& path) {
    budget_.spend();
    real_.flush(path);
    unflushedFrom_.erase(path);
}

void StoppableFiles::carryUnflushed(const std::filesystem::path& from, const std::filesystem::path& to) {
    const auto found = unflushedFrom_.find(from);
    if (found == unflushedFrom_.end()) {
        unflushedFrom_.erase(to);
        return;
    }
    const std::uintmax_t offset = found->second;
    unflushedFrom_.erase(found);
    unflushedFrom_[to] = offset;
}

bool StoppableFiles::moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    budget_.spend();
    if (refused(to) || !real_.moveDurably(from, to)) return false;
    carryUnflushed(from, to);
    return true;
}

void StoppableFiles::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    budget_.spend();
    real_.rename(from, to);
    carryUnflushed(from, to);
}

void StoppableFiles::append(const std::filesystem::path& path, std::string_view bytes) {
    budget_.spend();
    std::error_code error;
    const std::uintmax_t before = std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path) : 0;
    const auto found = unflushedFrom_.find(path);
    unflushedFrom_[path] = found == unflushedFrom_.end() ? before : std::min(found->second, before);
    real_.append(path, bytes);
}

std::uintmax_t StoppableFiles::cutPower() {
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

std::unique_ptr<ChildProcess> FakeChildProcesses::start(const ProgramStart& options) {
    starts.push_back(options);
    ChildScript chosen;
    if (script) {
        chosen = script(options);
    } else {
        chosen.exitCode = std::filesystem::exists(options.program) ? 0 : 1;
    }
    if (chosen.startFails) return nullptr;
    return std::make_unique<FakeChild>(*this, chosen);
}

InstallWorld::InstallWorld()
    : system{locations, folders, files, registry,
             processes, locks,   clock, {transport, ticks, HttpHost{L"update.test", 443}}} {
    registry.beforeEachWrite = [this] { budget.spend(); };
    locations.module = dir / "download" / "TXQNativeConnector.exe";
    folders.folder = dir / "local";
    std::filesystem::create_directories(*folders.folder);
    writeFile(locations.module, fakeImage(70'000, 'r'));
    transport.status = 404;
    transport.onStep = [this](HttpStep step) {
        if (step != HttpStep::openRequest) return;
        requested.push_back(transport.path);
        const auto answer = answers.find(transport.path);
        transport.status = answer == answers.end() ? 404 : answer->second.first;
        transport.body = answer == answers.end() ? std::string() : answer->second.second;
    };
}

void InstallWorld::serve(const std::wstring& path, std::uint32_t status, std::string body) {
    answers[path] = {status, std::move(body)};
}

std::vector<std::string> InstallWorld::logLines() const {
    std::vector<std::string> lines;
    const std::filesystem::path log = root() / kUpdateLogName;
    if (!std::filesystem::exists(log)) return lines;
    const std::string text = readFile(log);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "(no CR LF)");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string fakeImage(std::size_t size, char seed) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 31 + static_cast<unsigned char>(seed)) & 0xFF);
    image[0] = 'M';
    image[1] = 'Z';
    return image;
}

Release releaseOf(std::uint64_t build, const std::string& image) {
    return Release{build, image.size(), sha256Hex(image)};
}

}  // namespace quorvel::testing
