#include "update/release.hpp"

#include "platform/sha256.hpp"
#include "support/fake_install.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

#include <map>

namespace quorvel {
namespace {

using testing::messageOf;

const std::string kHash(64, 'a');

// A valid manifest text with one member replaced (or removed, with an empty value).
std::string manifestWith(const std::string& key, const std::string& value) {
    std::map<std::string, std::string> members{{"schema", "1"},
                                               {"platform", "\"windows-x64\""},
                                               {"build", "2026092002"},
                                               {"bytes", "65536"},
                                               {"sha256", "\"" + kHash + "\""}};
    if (value.empty()) {
        members.erase(key);
    } else {
        members[key] = value;
    }
    std::string text = "{";
    for (const auto& [name, member] : members) text += (text.size() > 1 ? "," : "") + ("\"" + name + "\":" + member);
    return text + "}";
}

std::string parseMessage(const std::string& text) {
    return messageOf([&] { parseRelease(nlohmann::json::parse(text)); });
}

TEST(ParseRelease, ReadsTheJsonFormBack) {
    const Release release{2026092001, 65'536, kHash};
    EXPECT_EQ(parseRelease(releaseToJson(release)), release);
    EXPECT_EQ(releaseToJson(release).dump(),
              R"({"build":2026092001,"bytes":65536,"platform":"windows-x64","schema":1,"sha256":")" + kHash + "\"}");
}

TEST(ParseRelease, ChecksEachRuleWithItsMessage) {
    const std::string format = "更新清单格式无效";
    const std::string fields = "更新清单字段无效";
    const std::string range = "更新清单范围无效";
    const struct {
        std::string key;
        std::string value;  // empty: the member is absent
        std::string message;
    } cases[] = {
        {"schema", "", format},
        {"schema", "2", format},
        {"schema", "0.5", format},
        {"schema", "1e300", format},  // beyond any 32-bit value, not undefined behaviour
        {"schema", "true", "(no failure)"},
        {"schema", "1.9", "(no failure)"},
        {"schema", "4294967297", "(no failure)"},  // keeps its low 32 bits
        {"platform", "\"macos\"", format},
        {"platform", "\"Windows-x64\"", format},
        {"platform", "", format},
        {"build", "", fields},
        {"build", "null", fields},
        {"build", "-2026092002", fields},
        {"build", "2026092002.0", fields},
        {"build", "18446744073709551616", fields},
        {"build", "\"2026092002\"", fields},
        {"bytes", "null", fields},
        {"sha256", "null", fields},
        {"sha256", "5", fields},
        {"build", "2026091802", range},
        {"build", "2026091803", "(no failure)"},
        {"build", "9999999999", "(no failure)"},
        {"build", "10000000000", range},
        {"bytes", "0", range},
        {"bytes", "65535", range},
        {"bytes", "8388608", "(no failure)"},
        {"bytes", "8388609", range},
        {"sha256", "\"../bad\"", range},
        {"sha256", "\"A" + std::string(63, 'a') + "\"", range},
        {"sha256", "\"" + std::string(65, 'a') + "\"", range},
        {"sha256", "\"" + std::string(63, 'a') + "\\n\"", range},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseMessage(manifestWith(c.key, c.value)), c.message) << c.key << " = " << c.value;
    }
    EXPECT_EQ(parseMessage("[]"), format);
    // Format before fields: a manifest with a bad platform and no build is a format failure.
    EXPECT_EQ(parseMessage(R"({"schema":1,"platform":"linux"})"), format);
}

TEST(ParseRelease, UnconvertibleSchemaOrPlatformFailsWithTheLibrarysTypeError) {
    using TypeError = nlohmann::json::type_error;
    EXPECT_NE(messageOf<TypeError>([] { parseRelease(nlohmann::json::parse(manifestWith("schema", "\"1\""))); }),
              "(no failure)");
    EXPECT_NE(messageOf<TypeError>([] { parseRelease(nlohmann::json::parse(manifestWith("platform", "5"))); }),
              "(no failure)");
}

TEST(VerifyRelease, AcceptsOnlyTheDescribedExecutable) {
    const std::string image = testing::fakeImage(65'536, 'v');
    const Release release = testing::releaseOf(2026092002, image);
    EXPECT_NO_THROW(release.verify(image));

    const std::string mismatch = "新版文件校验失败，继续使用原版";
    for (std::size_t position : {std::size_t{0}, std::size_t{2}, std::size_t{40'000}, image.size() - 1}) {
        std::string flipped = image;
        flipped[position] = static_cast<char>(flipped[position] ^ 0x01);
        EXPECT_EQ(messageOf([&] { release.verify(flipped); }), mismatch) << position;
    }
    EXPECT_EQ(messageOf([&] { release.verify(""); }), mismatch);
    EXPECT_EQ(messageOf([&] { release.verify(image + "x"); }), mismatch);

    std::string notProgram = image;
    notProgram[0] = 'P';
    EXPECT_EQ(messageOf([&] { testing::releaseOf(2026092002, notProgram).verify(notProgram); }),
              "更新文件不是 Windows 程序");
    const std::string tiny = "MZ" + std::string(62, 'x');
    EXPECT_EQ(messageOf([&] { testing::releaseOf(2026092002, tiny).verify(tiny); }), "更新文件不是 Windows 程序");
}

TEST(PublishRelease, WritesTheManifestTheUpdaterAccepts) {
    const std::string image = testing::fakeImage(65'536, 'p');
    const Release release = publishRelease(2026092002, image);
    EXPECT_EQ(release, (Release{2026092002, 65'536, sha256Hex(image)}));
    EXPECT_EQ(releaseFileText(release),
              "{\n  \"build\": 2026092002,\n  \"bytes\": 65536,\n  \"platform\": \"windows-x64\",\n"
              "  \"schema\": 1,\n  \"sha256\": \"" +
                  sha256Hex(image) + "\"\n}");
    const Release read = parseRelease(nlohmann::json::parse(releaseFileText(release)));
    EXPECT_EQ(read, release);
    EXPECT_NO_THROW(read.verify(image));
}

TEST(PublishRelease, RefusesWhatTheUpdaterWouldRefuse) {
    std::string notProgram = testing::fakeImage(65'536, 'n');
    notProgram[1] = 'X';
    const struct {
        std::uint64_t build;
        std::string image;
        std::string message;
    } cases[] = {
        {2026091802, testing::fakeImage(65'536, 'o'), "更新清单范围无效"},
        {10'000'000'000, testing::fakeImage(65'536, 'o'), "更新清单范围无效"},
        {2026092002, testing::fakeImage(65'535, 's'), "更新清单范围无效"},
        {2026092002, testing::fakeImage(8'388'609, 'l'), "更新清单范围无效"},
        {2026092002, notProgram, "更新文件不是 Windows 程序"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageOf([&] { publishRelease(c.build, c.image); }), c.message) << c.build << " " << c.image.size();
    }
}

}  // namespace
}  // namespace quorvel
