#include "app/self_test.hpp"

#include "support/fake_install.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::messageOf;

constexpr const char* kReport =
    "{\r\n  \"build\": 2026092001,\r\n  \"networkOrGameActions\": false,\r\n  \"passed\": 66,\r\n"
    "  \"version\": \"20260920-native-v6\"\r\n}";

TEST(SelfTest, PassesOnAnyDateAndWritesOnlyItsReportBesideTheExecutable) {
    for (const double now : {1'800'000'000.0, 4'102'444'800.5}) {
        testing::InstallWorld world;
        world.clock.time = now;
        const ProgramOperations operations(world.system);
        EXPECT_EQ(messageOf([&] { selfTest(operations, world.clock); }), "(no failure)");
        EXPECT_EQ(testing::readFile(world.locations.module.parent_path() / kSelfTestReport), kReport);
        EXPECT_TRUE(world.requested.empty());
        EXPECT_TRUE(world.registry.values.empty());
        EXPECT_TRUE(world.processes.starts.empty());
        EXPECT_FALSE(std::filesystem::exists(world.root()));
    }
}

// The program's operations with one of them broken.
struct LinkAcceptingFragment final : ProgramOperations {
    using ProgramOperations::ProgramOperations;
    std::string parseJoinLink(std::wstring_view link) const override {
        constexpr std::wstring_view fragment = L"#fragment";
        if (link.ends_with(fragment)) link.remove_suffix(fragment.size());
        return ProgramOperations::parseJoinLink(link);
    }
};

struct CommittedBeforeConfirm final : ProgramOperations {
    using ProgramOperations::ProgramOperations;
    void runCommitSequence(const std::function<void()>& prepare, const std::function<void()>& confirm,
                           const std::function<void()>& act, bool& committed) const override {
        prepare();
        committed = true;
        confirm();
        act();
    }
};

struct DigestOfNothing final : ProgramOperations {
    using ProgramOperations::ProgramOperations;
    std::string sha256Hex(std::string_view) const override { return ProgramOperations::sha256Hex(""); }
};

// parseRelease without its range rule for `bytes`: the type checks stay.
struct ReleaseSizeUnbounded final : ProgramOperations {
    using ProgramOperations::ProgramOperations;
    Release parseRelease(const nlohmann::json& json) const override {
        const bool unsignedSize = json.is_object() && json.contains("bytes") && json["bytes"].is_number_unsigned();
        nlohmann::json inRange = json;
        if (unsignedSize) inRange["bytes"] = kMinReleaseBytes;
        Release release = ProgramOperations::parseRelease(inRange);
        if (unsignedSize) release.bytes = json["bytes"].get<std::uint64_t>();
        return release;
    }
};

template <typename Broken>
void expectFailsAndKeepsTheOlderReport() {
    testing::InstallWorld world;
    const std::filesystem::path report = world.locations.module.parent_path() / kSelfTestReport;
    testing::writeFile(report, "older");
    const Broken operations(world.system);
    EXPECT_EQ(messageOf([&] { selfTest(operations, world.clock); }), kSelfTestFailed);
    EXPECT_EQ(testing::readFile(report), "older");
}

TEST(SelfTest, ABrokenOperationFailsAndLeavesAnOlderReportAlone) {
    expectFailsAndKeepsTheOlderReport<LinkAcceptingFragment>();
    expectFailsAndKeepsTheOlderReport<CommittedBeforeConfirm>();
    expectFailsAndKeepsTheOlderReport<DigestOfNothing>();
    expectFailsAndKeepsTheOlderReport<ReleaseSizeUnbounded>();
}

}  // namespace
}  // namespace quorvel
