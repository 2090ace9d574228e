#pragma once
// selfTest and the SelfTestOperations seam it checks: ProgramOperations (self_test.cpp), the
// program's own operations; tests derive broken ones from it (tests/app/self_test_test.cpp).

#include "game/vpk_directory.hpp"
#include "lobby/entry.hpp"
#include "platform/clock.hpp"
#include "update/activation.hpp"
#include "update/install_system.hpp"
#include "update/release.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

inline constexpr const char* kSelfTestFailed = "Native self-test failed";
inline constexpr const wchar_t* kSelfTestVersion = L"20260920-native-v6";
inline constexpr int kSelfTestPassed = 66;
inline constexpr const char* kSelfTestReport = "native-self-test.json";

// The operations the self-test exercises, as the program defines them.
class SelfTestOperations {
public:
    virtual ~SelfTestOperations() = default;
    virtual std::string parseJoinLink(std::wstring_view link) const = 0;
    virtual Entry validateEntry(const nlohmann::json& answer, const Clock& clock) const = 0;
    virtual Entry requireSameEntry(const Entry& first, const nlohmann::json& second, const Clock& clock) const = 0;
    virtual std::string_view pinnedSteamClientDigest() const = 0;
    virtual void checkSteamClientDigest(std::string_view digest) const = 0;
    virtual std::vector<std::wstring> buildLaunchArguments(const Entry& entry, const Clock& clock) const = 0;
    virtual bool hasArgument(const std::vector<std::wstring>& arguments, std::wstring_view token) const = 0;
    virtual std::wstring argumentValue(const std::vector<std::wstring>& arguments, std::wstring_view token) const = 0;
    virtual void runCommitSequence(const std::function<void()>& prepare, const std::function<void()>& confirm,
                                   const std::function<void()>& act, bool& committed) const = 0;
    virtual std::wstring quoteArgument(std::wstring_view text) const = 0;
    virtual std::vector<std::wstring> splitCommandLine(const std::wstring& text) const = 0;
    virtual ArchiveIndices readVpkDirectory(std::istream& in, std::string_view mapName) const = 0;
    virtual std::string sha256Hex(std::string_view bytes) const = 0;
    virtual Release parseRelease(const nlohmann::json& json) const = 0;
    virtual nlohmann::json releaseToJson(const Release& release) const = 0;
    virtual void verify(const Release& release, std::string_view image) const = 0;
    virtual Release applyManifest(const Release& current, const nlohmann::json& manifest,
                                  const ReleaseDownload& download) const = 0;
    // Writes a Result file beside the executable.
    virtual void writeResultFile(const std::string& name, const nlohmann::json& object) const = 0;
};

// The program's operations. applyManifest reaches `install` only to stage a newer release, which
// the self-test's vectors never get to.
class ProgramOperations : public SelfTestOperations {
public:
    explicit ProgramOperations(InstallSystem& install) : install_(install) {}

    std::string parseJoinLink(std::wstring_view link) const override;
    Entry validateEntry(const nlohmann::json& answer, const Clock& clock) const override;
    Entry requireSameEntry(const Entry& first, const nlohmann::json& second, const Clock& clock) const override;
    std::string_view pinnedSteamClientDigest() const override;
    void checkSteamClientDigest(std::string_view digest) const override;
    std::vector<std::wstring> buildLaunchArguments(const Entry& entry, const Clock& clock) const override;
    bool hasArgument(const std::vector<std::wstring>& arguments, std::wstring_view token) const override;
    std::wstring argumentValue(const std::vector<std::wstring>& arguments, std::wstring_view token) const override;
    void runCommitSequence(const std::function<void()>& prepare, const std::function<void()>& confirm,
                           const std::function<void()>& act, bool& committed) const override;
    std::wstring quoteArgument(std::wstring_view text) const override;
    std::vector<std::wstring> splitCommandLine(const std::wstring& text) const override;
    ArchiveIndices readVpkDirectory(std::istream& in, std::string_view mapName) const override;
    std::string sha256Hex(std::string_view bytes) const override;
    Release parseRelease(const nlohmann::json& json) const override;
    nlohmann::json releaseToJson(const Release& release) const override;
    void verify(const Release& release, std::string_view image) const override;
    Release applyManifest(const Release& current, const nlohmann::json& manifest,
                          const ReleaseDownload& download) const override;
    void writeResultFile(const std::string& name, const nlohmann::json& object) const override;

private:
    InstallSystem& install_;
};

// Runs every check on the vectors built into the program, in order, and then writes
// native-self-test.json. The first unexpected outcome fails with kSelfTestFailed and writes
// nothing; an operation that fails where a result was expected fails with its own message.
void selfTest(const SelfTestOperations& operations, const Clock& clock);

}  // namespace quorvel
