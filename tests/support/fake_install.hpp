#pragma once
// Fakes of the install seams (known folder, registry) and InstallWorld, which puts them together
// (with FakeFiles, FakeNamedLocks and FakeProcesses) over a real temporary folder.

#include "support/fake_files.hpp"
#include "support/fake_http_transport.hpp"
#include "support/fake_named_locks.hpp"
#include "support/fake_processes.hpp"
#include "support/fake_registry.hpp"
#include "support/fakes.hpp"
#include "support/temp_dir.hpp"
#include "update/install_system.hpp"

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::testing {

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
    FakeFiles files{budget};
    FakeRegistry registry;
    FakeProcesses processes;  // the health checks: healthy when the program file exists
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
