#pragma once
// ProcessEnvironment: the environment variables of this process. Implementation:
// Win32ProcessEnvironment (process_environment_win32.hpp); fake: testing::FakeSteamClient
// (tests/support/fake_steam_client.hpp).

#include <string>

namespace quorvel {

class ProcessEnvironment {
public:
    virtual ~ProcessEnvironment() = default;
    // Sets `name` to `value` for this process and the programs it starts later; false when the
    // platform refuses.
    virtual bool set(const std::wstring& name, const std::wstring& value) = 0;
};

}  // namespace quorvel
