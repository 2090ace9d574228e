#include "clients/client_census.hpp"
#include "support/fake_process_table.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::FakeProcess;
using testing::FakeProcessTable;
using testing::messageOf;
using testing::TempDir;
using Arguments = std::vector<std::wstring>;

DotaProcess withArguments(Arguments arguments) {
    DotaProcess process;
    process.pid = 1;
    process.arguments = std::move(arguments);
    return process;
}

TEST(HasArgument, MatchesWholeArgumentsInAnyLetterCase) {
    struct Case {
        Arguments arguments;
        const wchar_t* token;
        bool expected;
    };
    const Case cases[] = {
        {{L"dota2.exe", L"-Dedicated"}, L"-dedicated", true},
        {{L"dota2.exe", L"-dedicatedx"}, L"-dedicated", false},
        {{L"dota2.exe", L"x-dedicated"}, L"-dedicated", false},
        {{L"dota2.exe", L"-dedicated "}, L"-dedicated", false},
        {{L"dota2.exe", L"-ded\u0130cated"}, L"-dedicated", false},  // only A-Z fold
        {{L"-TOOLS"}, L"-tools", true},  // the program name takes part
        {{}, L"-tools", false},
        // The arguments the launcher builds for tools mode.
        {{L"-applaunch", L"570", L"-tools", L"-addon", L"dotatxq", L"+connect", L"[A:1:123:45]"}, L"-tools", true},
        {{L"-applaunch", L"570", L"-tools", L"-addon", L"dotatxq", L"+connect", L"[A:1:123:45]"}, L"-insecure", false},
        {{L"-applaunch", L"570", L"-tools", L"-addon", L"dotatxq", L"+connect", L"[A:1:123:45]"}, L"-console", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hasArgument(c.arguments, c.token), c.expected) << ::testing::PrintToString(c.arguments);
    }
}

TEST(ArgumentValue, TakesWhateverFollowsTheFirstToken) {
    struct Case {
        Arguments arguments;
        std::wstring expected;
    };
    const Case cases[] = {
        {{L"dota2.exe", L"-ADDON", L"MyMap"}, L"MyMap"},
        {{L"dota2.exe", L"-addon", L"-tools"}, L"-tools"},
        {{L"dota2.exe", L"-tools", L"-addon"}, L""},
        {{L"dota2.exe", L"-addon", L"first", L"-addon", L"second"}, L"first"},
        {{L"dota2.exe", L"-addon", L"-addon", L"second"}, L"-addon"},
        {{L"-addon", L"x"}, L"x"},
        {{L"dota2.exe", L"-addonx", L"y"}, L""},
        {{L"dota2.exe", L"-addon", L""}, L""},
        {{}, L""},
        {{L"-applaunch", L"570", L"-tools", L"-addon", L"dotatxq", L"+connect", L"[A:1:123:45]"}, L"dotatxq"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(argumentValue(c.arguments, L"-addon"), c.expected) << ::testing::PrintToString(c.arguments);
    }
}

TEST(ConsolePort, ReadsOneToFiveDigitsInRange) {
    struct Case {
        Arguments arguments;
        std::optional<int> expected;  // nothing: fails
    };
    const Case cases[] = {
        {{L"dota2.exe"}, 29000},
        {{L"dota2.exe", L"-vconport"}, 29000},
        {{L"dota2.exe", L"-vconport", L""}, 29000},
        {{L"dota2.exe", L"-vconport", L"1024"}, 1024},
        {{L"dota2.exe", L"-VConPort", L"65535"}, 65535},
        {{L"dota2.exe", L"-vconport", L"01024"}, 1024},
        {{L"dota2.exe", L"-vconport", L"29001", L"-vconport", L"5"}, 29001},
        {{L"dota2.exe", L"-vconport", L"1023"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"65536"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"123456"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"000001024"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"99999"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"00000"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"+5000"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"-5000"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"0x7148"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L" 5000"}, std::nullopt},
        {{L"dota2.exe", L"-vconport", L"\uFF15\uFF10\uFF10\uFF10"}, std::nullopt},  // full-width digits
        {{L"dota2.exe", L"-vconport", L"50", L"00"}, std::nullopt},                 // the value is 50
        {{L"dota2.exe", L"-vconport", L"-tools"}, std::nullopt},
    };
    for (const Case& c : cases) {
        const DotaProcess client = withArguments(c.arguments);
        if (c.expected) {
            EXPECT_EQ(consolePort(client), *c.expected) << ::testing::PrintToString(c.arguments);
        } else {
            EXPECT_EQ(messageOf([&] { consolePort(client); }), kConsolePortInvalid)
                << ::testing::PrintToString(c.arguments);
        }
    }
}

// The Entry a lobby answer makes with `members` put over otherwise well-formed ones.
Entry entryWith(const nlohmann::json& members) {
    const testing::FakeClock clock;
    nlohmann::json answer = {{"expiresAt", clock.time + 30},   {"roomId", "abcdef123456"},
                             {"steamId", "76561198000000001"}, {"serverSteamId", "[A:1:123:45]"},
                             {"addon", "3123456789"},          {"map", "brellowick"},
                             {"connectionType", "steam"},      {"toolsMode", false}};
    answer.update(members);
    return validateEntry(answer, clock);
}

TEST(MatchesEntryMode, ComparesToolsModeAndThenTheAddon) {
    const nlohmann::json plain = {{"toolsMode", false}, {"addon", "MyMap"}};
    const nlohmann::json tools = {{"toolsMode", true}, {"addon", "MyMap"}};
    const nlohmann::json karena = {{"toolsMode", true}, {"addon", "karena"}};
    struct Case {
        Arguments arguments;
        const nlohmann::json& entry;
        bool expected;
    };
    const Case cases[] = {
        {{L"dota2.exe"}, plain, true},
        {{L"dota2.exe", L"-addon", L"other"}, plain, true},
        {{L"dota2.exe", L"-tools"}, plain, false},
        {{L"dota2.exe", L"-tools", L"-addon", L"mymap"}, plain, false},
        {{L"dota2.exe", L"-tools", L"-addon", L"mymap"}, tools, true},
        {{L"dota2.exe", L"-TOOLS", L"-ADDON", L"MYMAP"}, tools, true},
        {{L"dota2.exe", L"-addon", L"MyMap", L"-tools"}, tools, true},
        {{L"dota2.exe", L"-tools", L"-addon", L"other"}, tools, false},
        {{L"dota2.exe", L"-tools", L"-addon", L"mymapx"}, tools, false},
        {{L"dota2.exe", L"-tools"}, tools, false},
        {{L"dota2.exe", L"-tools", L"-addon"}, tools, false},
        {{L"dota2.exe", L"-addon", L"MyMap"}, tools, false},
        // The Kelvin sign is not a k, whatever Unicode's folding says.
        {{L"dota2.exe", L"-tools", L"-addon", L"\u212Aarena"}, karena, false},
        {{L"dota2.exe", L"-tools", L"-addon", L"KArena"}, karena, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesEntryMode(withArguments(c.arguments), entryWith(c.entry)), c.expected)
            << ::testing::PrintToString(c.arguments) << " " << c.entry.dump();
    }
}

FakeProcess process(std::uint32_t pid, std::wstring exeName, std::wstring commandLine) {
    FakeProcess p;
    p.pid = pid;
    p.exeName = std::move(exeName);
    p.imagePath = L"C:\\dota\\game\\bin\\win64\\dota2.exe";
    p.creationTime = 1000 + pid;
    p.commandLine = std::move(commandLine);
    return p;
}

TEST(FindDotaClients, ListsClientsByNameInSnapshotOrderWithoutDedicatedServers) {
    FakeProcessTable table;
    table.add(process(10, L"DOTA2.EXE", L"dota2.exe -tools"));
    table.add(process(11, L"dota2.exe.bak", L"dota2.exe"));
    table.add(process(12, L"dota2", L"dota2.exe"));
    table.add(process(13, L"dota2.exe", L"dota2.exe -Dedicated"));
    table.add(process(14, L"explorer.exe", L"explorer.exe"));
    table.add(process(15, L"Dota2.exe", L"dota2.exe -dedicatedx"));
    table.add(process(16, L"xdota2.exe", L"dota2.exe"));

    const std::vector<DotaProcess> clients = findDotaClients(table);
    ASSERT_EQ(clients.size(), 2u);
    EXPECT_EQ(clients[0].pid, 10u);
    EXPECT_EQ(clients[0].creationTime, 1010u);
    EXPECT_EQ(clients[0].arguments, (Arguments{L"dota2.exe", L"-tools"}));
    EXPECT_EQ(clients[1].pid, 15u);
    // Only the candidates are opened.
    std::vector<std::string> opens;
    for (const std::string& call : table.calls) {
        if (call.starts_with("open")) opens.push_back(call);
    }
    EXPECT_EQ(opens, (std::vector<std::string>{"open 10", "open 13", "open 15"}));
    EXPECT_EQ(table.openNow(), 0);

    table.processes.clear();
    EXPECT_TRUE(findDotaClients(table).empty());
}

TEST(FindDotaClients, FailsWithoutASnapshotOrWhenAClientCannotBeRead) {
    FakeProcessTable table;
    table.snapshotFails = true;
    EXPECT_EQ(messageOf([&] { findDotaClients(table); }), kCensusFailed);

    // A client that cannot be read is not skipped: the whole census fails with its message.
    table.snapshotFails = false;
    table.add(process(10, L"dota2.exe", L"dota2.exe"));
    table.add(process(11, L"dota2.exe", L"dota2.exe")).openFails = true;
    table.add(process(12, L"dota2.exe", L"dota2.exe"));
    EXPECT_EQ(messageOf([&] { findDotaClients(table); }), kProcessAccessDenied);
    table.find(11)->openFails = false;
    table.find(11)->timesFail = true;
    EXPECT_EQ(messageOf([&] { findDotaClients(table); }), kProcessChanged);
    EXPECT_EQ(table.openNow(), 0);
}

// A Dota root on disk with its executable, and a client process running it.
class VerifyDotaClient : public ::testing::Test {
protected:
    VerifyDotaClient() {
        testing::writeFile(exe, "MZ dota");
        FakeProcess p = process(4242, L"dota2.exe", L"\"" + exe.wstring() + L"\" -console");
        p.imagePath = exe.wstring();
        table.add(p);
        client = readProcessInfo(table, 4242);
    }

    // The client as it would be read now, with its executable at `image`.
    void runningFrom(const fs::path& image) { table.find(4242)->imagePath = image.wstring(); }

    TempDir temp;
    fs::path root = temp / "dota 2 beta";
    fs::path exe = root / "game" / "bin" / "win64" / "dota2.exe";
    FakeProcessTable table;
    DotaProcess client;
};

TEST_F(VerifyDotaClient, AcceptsTheSameFileHoweverItIsReached) {
    verifyDotaClient(table, client, root);
    runningFrom(root / "game" / "bin" / ".." / "bin" / "win64" / "dota2.exe");
    verifyDotaClient(table, client, root);
    fs::create_hard_link(exe, temp / "hard.exe");
    runningFrom(temp / "hard.exe");
    verifyDotaClient(table, client, root);
    EXPECT_EQ(table.openNow(), 0);
}

TEST_F(VerifyDotaClient, FollowsSymbolicLinks) {
    std::error_code error;
    fs::create_symlink(exe, temp / "link.exe", error);
    if (error || !fs::exists(temp / "link.exe")) {
        GTEST_SKIP() << "no symbolic link could be made here (Wine reports success and creates none)";
    }
    runningFrom(temp / "link.exe");
    verifyDotaClient(table, client, root);
    fs::create_directory_symlink(root, temp / "root link");
    runningFrom(exe);
    verifyDotaClient(table, client, temp / "root link");
}

TEST_F(VerifyDotaClient, RejectsAnotherInstanceADedicatedServerOrAnotherFile) {
    fs::copy_file(exe, temp / "copy.exe");
    const std::function<void(FakeProcess&)> changes[] = {
        [](FakeProcess& p) { p.creationTime += 1; },  // the pid now names a new dota2.exe
        [](FakeProcess& p) { p.commandLine += L" -DEDICATED"; },
        [&](FakeProcess& p) { p.imagePath = (temp / "copy.exe").wstring(); },
    };
    const FakeProcess original = table.processes.front();
    for (const auto& change : changes) {
        table.processes.front() = original;
        change(table.processes.front());
        EXPECT_EQ(messageOf([&] { verifyDotaClient(table, client, root); }), kClientChanged);
    }
    EXPECT_EQ(table.openNow(), 0);
}

TEST_F(VerifyDotaClient, PassesOnTheFailuresOfReadingAndOfExaminingFiles) {
    table.find(4242)->imageFails = true;
    EXPECT_EQ(messageOf([&] { verifyDotaClient(table, client, root); }), kProcessChanged);
    table.find(4242)->imageFails = false;
    EXPECT_THROW(verifyDotaClient(table, client, temp / "no such root"), fs::filesystem_error);
    runningFrom(temp / "gone.exe");
    EXPECT_THROW(verifyDotaClient(table, client, root), fs::filesystem_error);
    table.processes.clear();
    EXPECT_EQ(messageOf([&] { verifyDotaClient(table, client, root); }), kProcessAccessDenied);
    EXPECT_EQ(table.openNow(), 0);
}

}  // namespace
}  // namespace quorvel
