// The client census and re-verification against stand-in clients started with the game's
// arguments, through both command-line readers of Win32ProcessTable.
#include "clients/client_census.hpp"
#include "outside/process_table_win32.hpp"
#include "platform/command_line.hpp"
#include "platform/file_identity.hpp"
#include "support/message_of.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::messageOf;
using testing::StandInDota;

// Every stand-in ends by itself after a minute should a test leave it behind.
const std::wstring kClientLaunch =
    L"-console -tools -addon dotatxq -vconport 29001 +connect \"[A:1:123:45]\" --no-window --exit-after 60000";

class ClientCensusWin32 : public ::testing::Test {
protected:
    // The clients among the census that these tests started, in census order.
    static std::vector<DotaProcess> ours(const std::vector<DotaProcess>& census,
                                         const std::vector<std::uint32_t>& pids) {
        std::vector<DotaProcess> found;
        for (const DotaProcess& client : census) {
            if (std::find(pids.begin(), pids.end(), client.pid) != pids.end()) found.push_back(client);
        }
        return found;
    }

    testing::OutsideWorldLock lock;
    testing::TempDir dir;
    Win32ProcessTable shipped{CommandLineReader::commandLineInformation};
    Win32ProcessTable fallback{CommandLineReader::environmentBlockFallback};
};

TEST_F(ClientCensusWin32, ShippedReaderStopsAtTheCommandLineUnderWine) {
    StandInDota client(kClientLaunch);
    ASSERT_TRUE(client.waitUntilReady());
    if (!testing::underWine()) {
        EXPECT_EQ(ours(findDotaClients(shipped), {client.pid()}).size(), 1u);
        return;
    }
    // The process opens and its image and times are read; then Wine's answer to class 60
    // (STATUS_INVALID_INFO_CLASS, length 0) fails the size probe, and the census with it.
    EXPECT_EQ(messageOf([&] { findDotaClients(shipped); }), kCommandLineUnreadable);
    EXPECT_EQ(messageOf([&] { readProcessInfo(shipped, client.pid()); }), "无法读取 Dota 启动参数");
}

TEST_F(ClientCensusWin32, FallbackListsClientsWithTheirLaunchArguments) {
    // A copy whose file name is in capitals is a client too.
    const fs::path capitals = dir / "DOTA2.EXE";
    fs::copy_file(testing::standInPath(), capitals);
    StandInDota client(kClientLaunch);
    StandInDota server(L"-Dedicated -vconport 29002 --no-window --exit-after 60000");
    StandInDota second(L"-dedicatedx --no-window --exit-after 60000", capitals);
    for (const StandInDota* dota : {&client, &server, &second}) ASSERT_TRUE(dota->waitUntilReady());

    const std::vector<DotaProcess> census = ours(findDotaClients(fallback), {client.pid(), server.pid(), second.pid()});
    ASSERT_EQ(census.size(), 2u);
    const DotaProcess& first = census[0].pid == client.pid() ? census[0] : census[1];
    const DotaProcess& other = census[0].pid == client.pid() ? census[1] : census[0];
    EXPECT_EQ(other.pid, second.pid());

    EXPECT_EQ(first.arguments, splitCommandLine(client.commandLine()));
    EXPECT_EQ(first.arguments.size(), 14u);  // with the ready event the helper adds
    EXPECT_EQ(fileIdentity(first.imagePath), fileIdentity(testing::standInPath()));
    EXPECT_EQ(first.creationTime, fallback.open(client.pid())->creationTime());
    EXPECT_EQ(consolePort(first), 29001);
    EXPECT_TRUE(hasArgument(first.arguments, L"-tools"));
    EXPECT_EQ(argumentValue(first.arguments, L"+connect"), L"[A:1:123:45]");

    EXPECT_EQ(other.arguments, splitCommandLine(second.commandLine()));
    EXPECT_EQ(fileIdentity(other.imagePath), fileIdentity(capitals));
    EXPECT_EQ(consolePort(other), kDefaultConsolePort);
}

TEST_F(ClientCensusWin32, VerifiesTheClientThroughAnySpellingOfTheDotaRoot) {
    const fs::path root = dir / "steamapps" / "common" / "dota 2 beta";
    const fs::path elsewhere = dir / "Copy" / "dota 2 beta";
    StandInDota dota(kClientLaunch, testing::installStandIn(root));
    testing::installStandIn(elsewhere);
    ASSERT_TRUE(dota.waitUntilReady());
    const std::vector<DotaProcess> census = ours(findDotaClients(fallback), {dota.pid()});
    ASSERT_EQ(census.size(), 1u);
    const DotaProcess& client = census[0];

    std::vector<fs::path> spellings = {root, testing::upperCase(root), fs::path(root.generic_wstring()),
                                       dir / "steamapps" / ".." / "STEAMAPPS" / "common" / "Dota 2 Beta"};
    if (testing::underWine()) spellings.push_back(testing::upperCase(testing::unixDriveForm(root)));
    for (const fs::path& spelling : spellings) {
        EXPECT_EQ(messageOf([&] { verifyDotaClient(fallback, client, spelling); }), "(no failure)") << spelling;
    }

    EXPECT_EQ(messageOf([&] { verifyDotaClient(fallback, client, elsewhere); }), kClientChanged);
    DotaProcess reused = client;
    reused.creationTime += 1;  // what a new process under the same id would show
    EXPECT_EQ(messageOf([&] { verifyDotaClient(fallback, reused, root); }), kClientChanged);
    EXPECT_THROW(verifyDotaClient(fallback, client, dir / "absent"), fs::filesystem_error);

    // Once it has ended, Wine still opens the process and reads its image and times, but its
    // memory is gone with it: the command line is what cannot be read.
    dota.end();
    const std::string ended = messageOf([&] { verifyDotaClient(fallback, client, root); });
    if (testing::underWine()) {
        EXPECT_EQ(ended, kCommandLineUnreadable);
    } else {
        EXPECT_NE(ended, "(no failure)");
    }
}

}  // namespace
}  // namespace quorvel
