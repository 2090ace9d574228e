#pragma once
// Fakes of the install seams (known folder, registry, child processes, stoppable file system) and
// InstallWorld, which puts them together (with FakeNamedLocks) over a real temporary folder.

#include "support/fake_http_transport.hpp"
#include "support/fake_named_locks.hpp"
#include "support/fake_registry.hpp"
#include "support/fakes.hpp"
#include "support/temp_dir.hpp"
#include "update/install_system.hpp"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::testing {

// What a killed process does: nothing more. Raised by every operation after the budget is spent.
struct WorldStopped : std::runtime_error {
    WorldStopped() : std::runtime_error("the world stopped") {}
};

// Counts file-system and registry operations; with a limit, refuses every one after that many.
struct OperationBudget {
    std::optional<int> limit;
    int used = 0;
    // True when the operation may run; counts it.
    bool allow() {
        if (limit && used >= *limit) return false;
        ++used;
        return true;
    }
    void spend() {
        if (!allow()) throw WorldStopped();
    }
};

// The real file system in counted operations. A refused whole write leaves half of its bytes, as
// a process killed while writing would. It also remembers which written bytes have not been
// flushed, so that a test can cut the power: see cutPower.
class StoppableFiles final : public InstallFiles {
public:
    explicit StoppableFiles(OperationBudget& budget) : budget_(budget) {}

    bool exists(const std::filesystem::path& path) override;
    std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) override;
    std::string readExecutable(const std::filesystem::path& path) override;
    std::string readAll(const std::filesystem::path& path, std::size_t maxBytes) override;
    void createDirectories(const std::filesystem::path& folder) override;
    void writeWhole(const std::filesystem::path& path, std::string_view bytes) override;
    void flush(const std::filesystem::path& path) override;
    bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void append(const std::filesystem::path& path, std::string_view bytes) override;

    // What a power cut leaves: every byte written (wholly or appended) and not flushed since reads
    // back as a zero, and the file keeps its size, as NTFS keeps a file's size, which is metadata,
    // but not its unflushed data. A flush covers what was written before it; a move or rename
    // carries the file's unflushed bytes to its new name, and survives the cut itself. Returns the
    // number of bytes zeroed.
    std::uintmax_t cutPower();

    std::vector<std::filesystem::path> written;  // targets of writeWhole, in order
    // A folder without write permission: nothing can be created, written or moved into it (or
    // below it), as the platform refuses it; reading stays possible.
    std::optional<std::filesystem::path> readOnlyFolder;

private:
    bool refused(const std::filesystem::path& path) const;
    void carryUnflushed(const std::filesystem::path& from, const std::filesystem::path& to);

    OperationBudget& budget_;
    // The offset from which each file's bytes are not yet on disk.
    std::map<std::filesystem::path, std::uintmax_t> unflushedFrom_;
    LocalInstallFiles real_;
};

// How a started child behaves.
struct ChildScript {
    bool startFails = false;
    bool ends = true;                           // within the wait
    std::optional<std::uint32_t> exitCode = 0;  // nothing: the code cannot be read
};

struct FakeChildProcesses final : ChildProcesses {
    // Chooses each start's behaviour; by default a child is healthy when its program file exists.
    std::function<ChildScript(const ProgramStart&)> script;
    std::vector<ProgramStart> starts;
    std::vector<std::uint32_t> waits;
    std::vector<std::uint32_t> terminations;
    int openChildren = 0;

    std::unique_ptr<ChildProcess> start(const ProgramStart& options) override;
};

// Every seam of InstallSystem as a fake over a temporary folder: the running exe in
// <temp>/download, the local application data in <temp>/local.
struct InstallWorld {
    InstallWorld();

    // Scripts the update host: `path` answers `status` with `body`.
    void serve(const std::wstring& path, std::uint32_t status, std::string body);
    std::filesystem::path root() const { return folders.folder.value() / kInstallFolderName; }
    std::filesystem::path versionExe(std::uint64_t build) const {
        return root() / L"versions" / std::to_wstring(build) / kVersionExecutableName;
    }
    // The update log's lines, without their CR LF.
    std::vector<std::string> logLines() const;

    TempDir dir;
    FakeLocations locations;
    FakeKnownFolders folders;
    OperationBudget budget;
    StoppableFiles files{budget};
    FakeRegistry registry;
    FakeChildProcesses processes;
    FakeNamedLocks locks;
    FakeClock clock;
    FakeHttpTransport transport;
    FakeTickClock ticks;
    std::map<std::wstring, std::pair<std::uint32_t, std::string>> answers;
    std::vector<std::wstring> requested;
    InstallSystem system;
};

// A plausible executable image of `size` bytes: "MZ", then bytes derived from `seed`.
std::string fakeImage(std::size_t size, char seed);

// The Release of an image.
Release releaseOf(std::uint64_t build, const std::string& image);

}  // namespace quorvel::testing
