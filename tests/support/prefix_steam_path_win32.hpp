#pragma once
// PrefixSteamPath: Steam's SteamPath in the test prefix's own HKEY_CURRENT_USER, for tests whose
// child programs must find a Steam folder (children do not see a RegistrySandbox).

#include "common/scoped_handle_win32.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::testing {

// Sets HKCU\Software\Valve\Steam SteamPath to `steamFolder` for the object's lifetime and puts
// back what was there before. Every test that changes the value does so through this class, which
// holds a named mutex meanwhile, so tests running in parallel processes take turns. Not for use
// while a RegistrySandbox redirects HKEY_CURRENT_USER in this process.
class PrefixSteamPath {
public:
    explicit PrefixSteamPath(const std::filesystem::path& steamFolder);
    ~PrefixSteamPath();
    PrefixSteamPath(const PrefixSteamPath&) = delete;
    PrefixSteamPath& operator=(const PrefixSteamPath&) = delete;

private:
    ScopedKernelHandle lock_;
    std::optional<std::wstring> previous_;  // the value before, if there was one
    bool createdValve_ = false;             // keys that did not exist and are removed afterwards
    bool createdSteam_ = false;
};

}  // namespace quorvel::testing
