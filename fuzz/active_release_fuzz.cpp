// Any bytes as active.json, read by the launcher preparation over an in-memory install that holds
// the running build and one intact newer build. The preparation must never fail for it: it uses
// the newer build only when the file names that build with its size and digest, and the running
// build otherwise, and active.json names the build in use afterwards.
#include "common/error.hpp"
#include "platform/sha256.hpp"
#include "release_rules.hpp"
#include "support/fake_http_transport.hpp"
#include "update/install_system.hpp"
#include "update/prepare_launcher.hpp"
#include "update/release.hpp"
#include "update/update_client.hpp"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

const std::filesystem::path kLocalAppData = "/users/player/AppData/Local";
const std::filesystem::path kModule = "/users/player/Downloads/TXQNativeConnector.exe";

// Files by their path's text, which is cheaper to compare than paths; the contents are shared,
// so that the same large image serves every input without a copy.
struct MemoryFiles final : quorvel::Files {
    using Content = std::shared_ptr<const std::string>;
    std::map<std::string, Content> files;

    std::optional<std::string> readWhole(const std::filesystem::path& path) override {
        const auto found = files.find(path.native());
        if (found == files.end()) return std::nullopt;
        return *found->second;
    }
    std::string readBounded(const std::filesystem::path& path, std::size_t maxBytes) override {
        std::string content = contentOf(path);
        if (content.size() > maxBytes) {
            throw std::filesystem::filesystem_error("file too large", path,
                                                    std::make_error_code(std::errc::file_too_large));
        }
        return content;
    }
    std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) override {
        const std::optional<std::string> content = readWhole(path);
        if (!content) return nullptr;
        return std::make_unique<std::istringstream>(*content);
    }
    bool isRegularFile(const std::filesystem::path& path) override { return exists(path); }
    bool exists(const std::filesystem::path& path) override { return files.contains(path.native()); }
    std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) override {
        const auto found = files.find(path.native());
        if (found == files.end()) return std::nullopt;
        return found->second->size();
    }
    std::filesystem::path canonical(const std::filesystem::path& path) override { return path; }
    std::string contentOf(const std::filesystem::path& path) const {
        const auto found = files.find(path.native());
        quorvel::check(found != files.end(), "读取更新文件失败");
        return *found->second;
    }
    void createDirectories(const std::filesystem::path&) override {}
    void writeWhole(const std::filesystem::path& path, std::string_view bytes) override {
        files[path.native()] = std::make_shared<const std::string>(bytes);
    }
    void flush(const std::filesystem::path& path) override { quorvel::check(exists(path), "无法写入更新文件"); }
    bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) override {
        const auto found = files.find(from.native());
        if (found == files.end()) return false;
        Content content = std::move(found->second);
        files.erase(found);
        files[to.native()] = std::move(content);
        return true;
    }
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        quorvel::check(moveDurably(from, to), "重命名失败");
    }
    void removeAll(const std::filesystem::path& path) override {
        const std::string prefix = path.native() + "/";
        std::erase_if(files, [&](const auto& entry) {
            return entry.first == path.native() || entry.first.rfind(prefix, 0) == 0;
        });
    }
    void append(const std::filesystem::path& path, std::string_view bytes) override {
        const auto found = files.find(path.native());
        std::string content = found == files.end() ? std::string() : *found->second;
        writeWhole(path, content.append(bytes));
    }
};

struct Folders final : quorvel::KnownFolders {
    std::optional<std::filesystem::path> localAppData() const override { return kLocalAppData; }
    std::optional<std::filesystem::path> temporaryFolder() const override { return std::nullopt; }
};
struct Locations final : quorvel::ProgramLocations {
    std::filesystem::path modulePath() const override { return kModule; }
    std::uint32_t processId() const override { return 1; }
};
struct Key final : quorvel::RegistryKey {
    bool setString(const std::wstring&, const std::wstring&) override { return true; }
    bool setDword(const std::wstring&, std::uint32_t) override { return true; }
};
struct Registry final : quorvel::Registry {
    std::optional<std::wstring> readString(const std::wstring&, const std::wstring&, std::uint32_t) const override {
        return std::nullopt;
    }
    std::optional<std::uint32_t> readDword(const std::wstring&, const std::wstring&) const override {
        return std::nullopt;
    }
    std::unique_ptr<quorvel::RegistryKey> createKey(const std::wstring&) override { return std::make_unique<Key>(); }
    bool deleteTree(const std::wstring&) override { return true; }
};
// Every health check passes at once.
struct HealthyChild final : quorvel::Process {
    bool waitForExit(std::uint32_t) override { return true; }
    bool terminate(std::uint32_t) override { return true; }
    std::optional<std::uint32_t> exitCode() override { return 0; }
};
struct Processes final : quorvel::Processes {
    std::unique_ptr<quorvel::Process> start(const quorvel::ProgramStart&) override {
        return std::make_unique<HealthyChild>();
    }
    std::unique_ptr<quorvel::Process> open(std::uint32_t) override { return nullptr; }
};
// Every lock is free.
struct Holding final : quorvel::HeldLock::Holding {};
struct Locks final : quorvel::NamedLocks {
    quorvel::LockAttempt tryLock(const std::wstring&, std::uint32_t) override {
        return quorvel::HeldLock(std::make_unique<Holding>());
    }
};
struct FixedClock final : quorvel::Clock {
    double now() const override { return 1'800'000'000.0; }
};

std::string image(std::size_t size, char fill) {
    std::string bytes(size, fill);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
}

// The running build's image and the newer build's Release, the same for every input.
const std::string kRunningImage = image(128, 'r');
const std::string kNewerImage = image(quorvel::kMinReleaseBytes, 'n');
const MemoryFiles::Content kRunningContent = std::make_shared<const std::string>(kRunningImage);
const MemoryFiles::Content kNewerContent = std::make_shared<const std::string>(kNewerImage);
const quorvel::Release kRunning{quorvel::runningBuild(), kRunningImage.size(), quorvel::sha256Hex(kRunningImage)};
const quorvel::Release kNewer{quorvel::runningBuild() + 1, kNewerImage.size(), quorvel::sha256Hex(kNewerImage)};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Folders folders;
    MemoryFiles files;
    files.files[kModule.native()] = kRunningContent;
    files.files[quorvel::versionExecutablePath(folders, kNewer.build).native()] = kNewerContent;
    const std::filesystem::path active = quorvel::installRoot(folders) / quorvel::kActiveReleaseName;
    files.writeWhole(active, text);

    const Locations locations;
    Registry registry;
    Processes processes;
    Locks locks;
    const FixedClock clock;
    quorvel::testing::FakeHttpTransport transport;
    const quorvel::testing::FakeTickClock ticks;
    quorvel::InstallSystem system{locations, folders, files, registry,
                                  processes, locks,   clock, quorvel::UpdateAccess{transport, ticks}};

    // The newer build is chosen exactly when the file, no larger than a manifest, is read as its
    // Release.
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    const bool namesNewer = text.size() <= quorvel::kMaxManifestBytes && !document.is_discarded() &&
                            quorvel::fuzzing::expectedRelease(document) == kNewer;
    const quorvel::Release& expected = namesNewer ? kNewer : kRunning;

    const std::filesystem::path launcher = quorvel::prepareLauncher(
        system, [](const std::wstring&) {}, false);
    if (launcher != quorvel::versionExecutablePath(folders, expected.build)) std::abort();
    if (files.contentOf(active) != quorvel::releaseFileText(expected)) std::abort();
    return 0;
}
