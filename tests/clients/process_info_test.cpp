#include "clients/process_info.hpp"
#include "clients/command_line.hpp"
#include "support/fake_process_table.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quorvel {
namespace {

using testing::FakeProcess;
using testing::FakeProcessTable;
using testing::messageOf;
using Calls = std::vector<std::string>;

constexpr std::uint32_t kPid = 4242;
const std::wstring kImage = LR"(C:\Games\Steam\steamapps\common\dota 2 beta\game\bin\win64\dota2.exe)";
const std::wstring kCommandLine =
    LR"("C:\Games\dota 2 beta\game\bin\win64\dota2.exe" -Tools -addon MyMap +connect [A:1:123:45])";

FakeProcess dota() {
    FakeProcess process;
    process.pid = kPid;
    process.imagePath = kImage;
    process.creationTime = 133'000'000'000'000'000;
    process.commandLine = kCommandLine;
    return process;
}

// Steps up to and including the probe, for the expected call lists.
Calls stepsThrough(const std::string& last) {
    const Calls all = {"open 4242", "image 4242", "times 4242", "query", "probe 4242"};
    Calls steps;
    for (const std::string& step : all) {
        steps.push_back(step);
        if (step == last) break;
    }
    return steps;
}

Calls with(Calls calls, std::initializer_list<std::string> more) {
    calls.insert(calls.end(), more);
    return calls;
}

TEST(ReadProcessInfo, ReadsImageTimeAndArgumentsAndClosesTheProcess) {
    FakeProcessTable table;
    table.add(dota());
    const DotaProcess process = readProcessInfo(table, kPid);
    EXPECT_EQ(process.pid, kPid);
    EXPECT_EQ(process.creationTime, 133'000'000'000'000'000u);
    EXPECT_EQ(process.imagePath, kImage);
    EXPECT_EQ(process.arguments,
              (std::vector<std::wstring>{LR"(C:\Games\dota 2 beta\game\bin\win64\dota2.exe)", L"-Tools", L"-addon",
                                         L"MyMap", L"+connect", L"[A:1:123:45]"}));
    const std::string size = std::to_string(testing::commandLineBlockSize(kCommandLine));
    EXPECT_EQ(table.calls, with(stepsThrough("probe 4242"), {"read 4242 " + size, "close 4242"}));
    EXPECT_EQ(table.blocksZeroed, std::vector<bool>{true});
    EXPECT_EQ(table.openNow(), 0);
}

// Each step failing in turn: its own message, no later step taken, the process closed.
TEST(ReadProcessInfo, FailsAtEachStepWithItsMessageAndClosesTheProcess) {
    struct Case {
        const char* what;
        std::function<void(FakeProcessTable&, FakeProcess&)> script;
        const char* message;
        Calls calls;
    };
    const auto craft = [](std::function<void(std::span<std::byte>)> writer) {
        return [writer](FakeProcessTable&, FakeProcess& p) {
            p.probeLength = 64;
            p.craftBlock = writer;
        };
    };
    const Calls probed = stepsThrough("probe 4242");
    const Case cases[] = {
        {"process gone",
         [](FakeProcessTable& t, FakeProcess&) { t.processes.clear(); },
         kProcessAccessDenied,
         {"open 4242"}},
        {"open refused",
         [](FakeProcessTable&, FakeProcess& p) { p.openFails = true; },
         kProcessAccessDenied,
         {"open 4242"}},
        {"image name", [](FakeProcessTable&, FakeProcess& p) { p.imageFails = true; }, kProcessChanged,
         with(stepsThrough("image 4242"), {"close 4242"})},
        {"times", [](FakeProcessTable&, FakeProcess& p) { p.timesFail = true; }, kProcessChanged,
         with(stepsThrough("times 4242"), {"close 4242"})},
        {"no query", [](FakeProcessTable& t, FakeProcess&) { t.queryAvailable = false; }, kCommandLineQueryMissing,
         with(stepsThrough("query"), {"close 4242"})},
        {"probe 0", [](FakeProcessTable&, FakeProcess& p) { p.probeLength = 0; }, kCommandLineUnreadable,
         with(probed, {"close 4242"})},
        {"probe 15", [](FakeProcessTable&, FakeProcess& p) { p.probeLength = 15; }, kCommandLineUnreadable,
         with(probed, {"close 4242"})},
        {"probe 1,048,577", [](FakeProcessTable&, FakeProcess& p) { p.probeLength = 1'048'577; },
         kCommandLineUnreadable, with(probed, {"close 4242"})},
        {"probe 2^32-1", [](FakeProcessTable&, FakeProcess& p) { p.probeLength = 0xFFFF'FFFF; }, kCommandLineUnreadable,
         with(probed, {"close 4242"})},
        // The lowest and highest probes pass: the second query is made with exactly that size.
        {"probe 16, read fails",
         [](FakeProcessTable&, FakeProcess& p) {
             p.probeLength = 16;
             p.readFails = true;
         },
         kCommandLineUnconfirmed, with(probed, {"read 4242 16", "close 4242"})},
        {"probe 1,048,576, read fails",
         [](FakeProcessTable&, FakeProcess& p) {
             p.probeLength = 1'048'576;
             p.readFails = true;
         },
         kCommandLineUnconfirmed, with(probed, {"read 4242 1048576", "close 4242"})},
        {"command line grew since the probe", [](FakeProcessTable&, FakeProcess& p) { p.probeLength = 40; },
         kCommandLineUnconfirmed, with(probed, {"read 4242 40", "close 4242"})},
        {"odd length",
         craft([](std::span<std::byte> b) { testing::writeBlockHeader(b, 5, testing::addressOf(b) + 16); }),
         kCommandLineRangeInvalid, with(probed, {"read 4242 64", "close 4242"})},
        {"buffer one byte before the block",
         craft([](std::span<std::byte> b) { testing::writeBlockHeader(b, 2, testing::addressOf(b) - 1); }),
         kCommandLineRangeInvalid, with(probed, {"read 4242 64", "close 4242"})},
        {"text one byte past the block",
         craft([](std::span<std::byte> b) { testing::writeBlockHeader(b, 50, testing::addressOf(b) + 16); }),
         kCommandLineRangeInvalid, with(probed, {"read 4242 64", "close 4242"})},
        {"buffer at the top of the address space",
         craft([](std::span<std::byte> b) { testing::writeBlockHeader(b, 4, 0xFFFF'FFFF'FFFF'FFFE); }),
         kCommandLineRangeInvalid, with(probed, {"read 4242 64", "close 4242"})},
    };
    for (const Case& c : cases) {
        FakeProcessTable table;
        table.add(dota());
        c.script(table, table.processes.front());
        EXPECT_EQ(messageOf([&] { readProcessInfo(table, kPid); }), c.message) << c.what;
        EXPECT_EQ(table.calls, c.calls) << c.what;
        EXPECT_EQ(table.openNow(), 0) << c.what;
    }
}

TEST(ReadProcessInfo, TakesTextAnywhereInsideTheBlockUpToItsLastByte) {
    FakeProcessTable table;
    FakeProcess& process = table.add(dota());
    // The largest block, with the text in its last bytes.
    process.probeLength = kMaxCommandLineBlock;
    process.craftBlock = [](std::span<std::byte> block) {
        const std::u16string text = u"dota2.exe -vconport 29001";
        const std::size_t offset = block.size() - text.size() * 2;
        testing::writeBlockHeader(block, static_cast<std::uint16_t>(text.size() * 2),
                                  testing::addressOf(block) + offset);
        testing::writeBlockUnits(block, offset, text);
    };
    EXPECT_EQ(readProcessInfo(table, kPid).arguments,
              (std::vector<std::wstring>{L"dota2.exe", L"-vconport", L"29001"}));

    // The smallest block: a header and an empty text ending exactly at its end (split into the
    // program name alone, which the platform's split fills in with the caller's path).
    process.probeLength = kMinCommandLineBlock;
    process.craftBlock = [](std::span<std::byte> block) {
        testing::writeBlockHeader(block, 0, testing::addressOf(block) + 16);
    };
    EXPECT_EQ(readProcessInfo(table, kPid).arguments.size(), 1u);
    EXPECT_EQ(table.openNow(), 0);
}

TEST(ReadProcessInfo, ReadsEachCallAfresh) {
    FakeProcessTable table;
    table.add(dota());
    table.onOpen = [&](int openNumber) {
        if (openNumber == 2) table.processes.front().commandLine = L"dota2.exe -dedicated";
    };
    EXPECT_EQ(readProcessInfo(table, kPid).arguments.size(), 6u);
    EXPECT_EQ(readProcessInfo(table, kPid).arguments, (std::vector<std::wstring>{L"dota2.exe", L"-dedicated"}));
    EXPECT_EQ(table.opened, 2);
    EXPECT_EQ(table.openNow(), 0);
}

}  // namespace
}  // namespace quorvel
