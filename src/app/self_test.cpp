#include "app/self_test.hpp"

#include "app/result_file.hpp"
#include "clients/client_census.hpp"
#include "common/command_line.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "launch/commit_sequence.hpp"
#include "launch/launch_arguments.hpp"
#include "launch/steam_client_pin.hpp"
#include "launch/steam_engine.hpp"
#include "lobby/entry.hpp"
#include "lobby/join_link.hpp"
#include "platform/command_line.hpp"
#include "platform/sha256.hpp"
#include "update/install_layout.hpp"

#include <cstdint>
#include <sstream>

namespace quorvel {

std::string ProgramOperations::parseJoinLink(std::wstring_view link) const {
    return quorvel::parseJoinLink(link);
}
Entry ProgramOperations::validateEntry(const nlohmann::json& answer, const Clock& clock) const {
    return quorvel::validateEntry(answer, clock);
}
Entry ProgramOperations::requireSameEntry(const Entry& first, const nlohmann::json& second, const Clock& clock) const {
    return quorvel::requireSameEntry(first, second, clock);
}
std::string_view ProgramOperations::pinnedSteamClientDigest() const {
    return builtInSteamClientPin().digest;
}
void ProgramOperations::checkSteamClientDigest(std::string_view digest) const {
    quorvel::checkSteamClientDigest(digest);
}
std::vector<std::wstring> ProgramOperations::buildLaunchArguments(const Entry& entry, const Clock& clock) const {
    return quorvel::buildLaunchArguments(entry, clock);
}
bool ProgramOperations::hasArgument(const std::vector<std::wstring>& arguments, std::wstring_view token) const {
    return quorvel::hasArgument(arguments, token);
}
std::wstring ProgramOperations::argumentValue(const std::vector<std::wstring>& arguments,
                                              std::wstring_view token) const {
    return quorvel::argumentValue(arguments, token);
}
void ProgramOperations::runCommitSequence(const std::function<void()>& prepare, const std::function<void()>& confirm,
                                          const std::function<void()>& act, bool& committed) const {
    quorvel::runCommitSequence(prepare, confirm, act, committed);
}
std::wstring ProgramOperations::quoteArgument(std::wstring_view text) const {
    return quorvel::quoteArgument(text);
}
std::vector<std::wstring> ProgramOperations::splitCommandLine(const std::wstring& text) const {
    return quorvel::splitCommandLine(text);
}
ArchiveIndices ProgramOperations::readVpkDirectory(std::istream& in, std::string_view mapName) const {
    return quorvel::readVpkDirectory(in, mapName);
}
std::string ProgramOperations::sha256Hex(std::string_view bytes) const {
    return quorvel::sha256Hex(bytes);
}
Release ProgramOperations::parseRelease(const nlohmann::json& json) const {
    return quorvel::parseRelease(json);
}
nlohmann::json ProgramOperations::releaseToJson(const Release& release) const {
    return quorvel::releaseToJson(release);
}
void ProgramOperations::verify(const Release& release, std::string_view image) const {
    release.verify(image);
}
Release ProgramOperations::applyManifest(const Release& current, const nlohmann::json& manifest,
                                         const ReleaseDownload& download) const {
    return quorvel::applyManifest(install_, current, manifest, download);
}
void ProgramOperations::writeResultFile(const std::string& name, const nlohmann::json& object) const {
    quorvel::writeResultFile(name, object, install_.locations);
}

namespace {

constexpr std::uint64_t kVectorBuild = 2026092001;

void expect(bool outcome) {
    check(outcome, kSelfTestFailed);
}

// A check that expects a failure accepts any failure of any kind.
template <typename Operation>
void expectFailure(Operation&& operation) {
    bool failed = false;
    try {
        operation();
    } catch (...) {
        failed = true;
    }
    expect(failed);
}

const std::wstring kTicketA(43, L'a');
const std::wstring kTicketB(43, L'B');

void checkJoinLinks(const SelfTestOperations& ops) {
    for (const wchar_t* prefix : {L"txqjoin://enter?ticket=", L"txqjoin-native://enter?ticket=",
                                  L"txqjoin://enter/?ticket=", L"txqjoin-native://enter/?ticket="}) {
        expect(ops.parseJoinLink(prefix + kTicketA) == std::string(43, 'a'));
    }
    expect(ops.parseJoinLink(L"TXQJOIN://ENTER/?ticket=" + kTicketB) == std::string(43, 'B'));
    for (const wchar_t* suffix : {L"&cmd=quit", L"#fragment", L"&ticket=duplicate"}) {
        expectFailure([&] { ops.parseJoinLink(L"txqjoin://enter/?ticket=" + kTicketA + suffix); });
    }
    for (const wchar_t* prefix :
         {L"txqjoin://enter/extra?ticket=", L"txqjoin://enter//?ticket=", L"txqjoin://other/?ticket="}) {
        expectFailure([&] { ops.parseJoinLink(prefix + kTicketA); });
    }
    for (const wchar_t* link :
         {L"https://enter?ticket=abc", L"txqjoin://enter?ticket=abc", L"txqjoin://enter?cmd=quit"}) {
        expectFailure([&] { ops.parseJoinLink(link); });
    }
}

nlohmann::json entryVector(const Clock& clock) {
    return {{"roomId", "abcdef123456"},  {"steamId", "76561197960265729"},
            {"connectionType", "steam"}, {"serverSteamId", "[A:1:123:45]"},
            {"addon", "3210987654"},     {"map", "brellowick"},
            {"toolsMode", false},        {"expiresAt", clock.now() + 30}};
}

void checkEntries(const SelfTestOperations& ops, const Clock& clock) {
    const nlohmann::json entry = entryVector(clock);
    const Entry read = ops.validateEntry(entry, clock);
    expect(read.serverSteamId == "[A:1:123:45]");
    for (const char* server : {"[A:1:0:1]", "[A:1:4294967296:1]", "[A:1:1:1048576]", "[A:1:1:2];quit"}) {
        nlohmann::json changed = entry;
        changed["serverSteamId"] = server;
        expectFailure([&] { ops.validateEntry(changed, clock); });
    }
    for (const char* key : {"roomId", "steamId", "addon", "map", "toolsMode"}) {
        nlohmann::json changed = entry;
        changed[key] = nullptr;
        expectFailure([&] { ops.validateEntry(changed, clock); });
    }
    nlohmann::json expired = entry;
    expired["expiresAt"] = clock.now() - 1;
    expectFailure([&] { ops.validateEntry(expired, clock); });
    nlohmann::json other = entry;
    other["serverSteamId"] = "[A:1:222:45]";
    expectFailure([&] { ops.requireSameEntry(read, other, clock); });
}

void checkSteamClientPin(const SelfTestOperations& ops) {
    ops.checkSteamClientDigest(ops.pinnedSteamClientDigest());
    expectFailure([&] { ops.checkSteamClientDigest(std::string(64, '0')); });
}

void checkLaunchArguments(const SelfTestOperations& ops, const Clock& clock) {
    nlohmann::json entry = entryVector(clock);
    expect(ops.buildLaunchArguments(ops.validateEntry(entry, clock), clock) ==
           std::vector<std::wstring>{L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"});
    entry["toolsMode"] = true;
    entry["addon"] = "dotatxq";
    const std::vector<std::wstring> tools = ops.buildLaunchArguments(ops.validateEntry(entry, clock), clock);
    expect(ops.argumentValue(tools, L"-addon") == L"dotatxq");
    expect(ops.hasArgument(tools, L"-tools"));
    expect(!ops.hasArgument(tools, L"-insecure") && !ops.hasArgument(tools, L"-console"));
}

void checkCommitSequence(const SelfTestOperations& ops) {
    {
        std::vector<int> steps;
        int acts = 0;
        bool committed = false;
        ops.runCommitSequence([&] { steps.push_back(1); }, [&] { steps.push_back(2); },
                              [&] {
                                  steps.push_back(3);
                                  ++acts;
                              },
                              committed);
        expect(steps == std::vector<int>{1, 2, 3} && acts == 1 && committed);
    }
    const auto failing = [](const char* message) { return [message] { throw UserError(message); }; };
    for (int failingStep = 0; failingStep < 2; ++failingStep) {
        int acts = 0;
        bool committed = false;
        const std::function<void()> fine = [] {};
        const std::function<void()> fails = failingStep == 0 ? failing("expired") : failing("client changed");
        expectFailure([&] {
            ops.runCommitSequence(
                failingStep == 0 ? fails : fine, failingStep == 1 ? fails : fine, [&] { ++acts; }, committed);
        });
        expect(acts == 0 && !committed);
    }
    int acts = 0;
    bool committed = false;
    expectFailure([&] {
        ops.runCommitSequence([] {}, [] {},
                              [&] {
                                  ++acts;
                                  throw UserError("uncertain");
                              },
                              committed);
    });
    expect(acts == 1 && committed);
}

void checkQuoting(const SelfTestOperations& ops) {
    for (const wchar_t* text : {L"D:\\Program Files\\Steam\\steam.exe", L"a\\", L"a\"b", L"", L"[A:1:123:45]"}) {
        const std::vector<std::wstring> split = ops.splitCommandLine(L"dummy " + ops.quoteArgument(text));
        expect(split.size() == 2 && split[1] == text);
    }
}

void appendU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}
void appendU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A version 1 directory whose tree holds the one entry vpk / maps / brellowick, its data in
// archive volume 0.
std::string minimalVpkDirectory() {
    std::string tree;
    tree += std::string("vpk") + '\0' + "maps" + '\0' + "brellowick" + '\0';
    appendU32(tree, 0);       // CRC
    appendU16(tree, 0);       // preload bytes
    appendU16(tree, 0);       // archive index
    appendU32(tree, 0);       // offset
    appendU32(tree, 16);      // length
    appendU16(tree, 0xFFFF);  // terminator
    tree += std::string(3, '\0');
    std::string file;
    appendU32(file, kVpkSignature);
    appendU32(file, 1);
    appendU32(file, static_cast<std::uint32_t>(tree.size()));
    return file + tree;
}

ArchiveIndices readVpk(const SelfTestOperations& ops, const std::string& bytes, std::string_view map) {
    std::istringstream in(bytes, std::ios::binary);
    return ops.readVpkDirectory(in, map);
}

void checkVpkDirectory(const SelfTestOperations& ops) {
    expectFailure([&] { readVpk(ops, std::string{1, 2, 3}, "brellowick"); });
    const std::string directory = minimalVpkDirectory();
    expect(readVpk(ops, directory, "brellowick") == ArchiveIndices{0});
    expectFailure([&] { readVpk(ops, directory, "missing_map"); });
    expectFailure([&] { readVpk(ops, directory.substr(0, directory.size() - 1), "brellowick"); });
}

void checkDigestAndReleases(const SelfTestOperations& ops) {
    expect(ops.sha256Hex("abc") == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const Release release{kVectorBuild, kMinReleaseBytes, std::string(64, 'a')};
    const nlohmann::json json = ops.releaseToJson(release);
    expect(ops.parseRelease(json).build == kVectorBuild);
    // The sizes out of range are unsigned, as a manifest's numbers parse, so that they pass the
    // type check and reach the range rule.
    const std::pair<const char*, nlohmann::json> broken[] = {
        {"build", nullptr},
        {"bytes", nullptr},
        {"sha256", nullptr},
        {"bytes", std::uint64_t{0}},
        {"bytes", kMaxReleaseBytes + 1},
        {"platform", "macos"},
        {"sha256", "../bad"},
    };
    for (const auto& [key, value] : broken) {
        nlohmann::json changed = json;
        changed[key] = value;
        expectFailure([&] { ops.parseRelease(changed); });
    }
    int downloads = 0;
    const ReleaseDownload empty = [&downloads](const Release&) {
        ++downloads;
        return std::string();
    };
    expect(ops.applyManifest(release, json, empty).build == kVectorBuild && downloads == 0);
    nlohmann::json newer = json;
    newer["build"] = kVectorBuild + 1;
    expectFailure([&] { ops.applyManifest(release, newer, empty); });
    expect(downloads == 1);
    std::string image = "MZ" + std::string(65534, 'x');
    const Release imageRelease{kVectorBuild, image.size(), ops.sha256Hex(image)};
    ops.verify(imageRelease, image);
    image[0x7B] = static_cast<char>(image[0x7B] ^ 0x01);
    expectFailure([&] { ops.verify(imageRelease, image); });
}

}  // namespace

void selfTest(const SelfTestOperations& operations, const Clock& clock) {
    checkJoinLinks(operations);
    checkEntries(operations, clock);
    checkSteamClientPin(operations);
    checkLaunchArguments(operations, clock);
    checkCommitSequence(operations);
    checkQuoting(operations);
    checkVpkDirectory(operations);
    checkDigestAndReleases(operations);
    operations.writeResultFile(kSelfTestReport, nlohmann::json{{"build", runningBuild()},
                                                               {"networkOrGameActions", false},
                                                               {"passed", kSelfTestPassed},
                                                               {"version", toNarrow(kSelfTestVersion)}});
}

}  // namespace quorvel
