#pragma once
// PrefixInstallState: the prefix's install root, protocol keys and Uninstall entry moved aside for
// one test and put back after it. Only under an OutsideWorldLock.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// Moves the prefix's install root, both protocols' keys and the Uninstall entry out of the way, and
// back at the end.
class PrefixInstallState {
public:
    PrefixInstallState();
    ~PrefixInstallState();
    PrefixInstallState(const PrefixInstallState&) = delete;
    PrefixInstallState& operator=(const PrefixInstallState&) = delete;

    const std::filesystem::path& root() const { return root_; }

private:
    struct Saved {
        const wchar_t* key;
        const wchar_t* name;
        std::optional<std::wstring> value;
    };

    std::filesystem::path root_;
    std::filesystem::path saved_;
    std::vector<Saved> values_;
    bool entrySaved_ = false;
};

// A string value under HKEY_CURRENT_USER; nothing when it cannot be read.
std::optional<std::wstring> readUserString(const wchar_t* key, const wchar_t* name);
// A REG_DWORD value under HKEY_CURRENT_USER; nothing when it cannot be read.
std::optional<std::uint32_t> readUserDword(const wchar_t* key, const wchar_t* name);

}  // namespace quorvel::testing
