// Win32Processes against real programs: the stand-in dota2.exe started or opened (waits that time
// out and waits that see the end, exit codes, ending it, what an opened process may not do), and
// the health check of the product and of programs that are not healthy.
#include "common/command_line.hpp"
#include "platform/process_win32.hpp"
#include "support/message_of.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"
#include "update/activation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace quorvel {
namespace {

using testing::StandInDota;

// The stand-in copied to `folder`, started through Win32Processes with `arguments`.
ProgramStart standInStart(const std::filesystem::path& folder, const std::wstring& arguments) {
    const std::filesystem::path exe = folder / "dota2.exe";
    if (!std::filesystem::exists(exe)) std::filesystem::copy_file(testing::standInPath(), exe);
    return {exe, quoteArgument(exe.wstring()) + L" " + arguments, folder};
}

TEST(ProcessesWin32, OpenWaitsForTheEndWithinTheTimeOutOnly) {
    testing::OutsideWorldLock lock;
    Win32Processes processes;
    StandInDota dota(L"--no-window --exit-after 60000");
    ASSERT_TRUE(dota.waitUntilReady());
    const std::unique_ptr<Process> process = processes.open(dota.pid());
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(process->waitForExit(0));
    EXPECT_FALSE(process->waitForExit(50));
    // Ended and let go of by its starter: the open handle still names it, and sees the end.
    dota.end();
    EXPECT_TRUE(process->waitForExit(5'000));
    EXPECT_TRUE(process->waitForExit(0));
}

TEST(ProcessesWin32, OpenSeesAProcessEndByItself) {
    testing::OutsideWorldLock lock;
    Win32Processes processes;
    StandInDota dota(L"--no-window --exit-after 200");
    const std::unique_ptr<Process> process = processes.open(dota.pid());
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(process->waitForExit(10'000));
    EXPECT_EQ(dota.waitForExit(0), 2u);
    EXPECT_EQ(process->exitCode(), 2u);
}

TEST(ProcessesWin32, AnEndedProcessIsNeverWaitedForAndNoIdIsNoProcess) {
    testing::OutsideWorldLock lock;
    Win32Processes processes;
    std::uint32_t pid = 0;
    {
        StandInDota dota(L"--no-window --exit-after 60000");
        pid = dota.pid();
        dota.end();
    }
    // Windows refuses the id once nobody holds the process; Wine still opens the ended process.
    // Either way nothing is waited for.
    const std::unique_ptr<Process> ended = processes.open(pid);
    EXPECT_TRUE(ended == nullptr || ended->waitForExit(0));
    EXPECT_EQ(processes.open(0), nullptr);
}

TEST(ProcessesWin32, AnOpenedProcessCannotBeEnded) {
    testing::OutsideWorldLock lock;
    Win32Processes processes;
    StandInDota dota(L"--no-window --exit-after 60000");
    ASSERT_TRUE(dota.waitUntilReady());
    const std::unique_ptr<Process> process = processes.open(dota.pid());
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(process->terminate(1));
    EXPECT_FALSE(process->waitForExit(200));
    EXPECT_EQ(process->exitCode(), static_cast<std::uint32_t>(STILL_ACTIVE));
    EXPECT_EQ(dota.waitForExit(0), std::nullopt);
}

TEST(ProcessesWin32, AStartedProcessIsWaitedForEndedAndReadsItsExitCode) {
    testing::OutsideWorldLock lock;
    testing::TempDir dir;
    Win32Processes processes;

    const std::unique_ptr<Process> ending = processes.start(standInStart(dir.path(), L"--no-window --exit-after 1"));
    ASSERT_NE(ending, nullptr);
    EXPECT_TRUE(ending->waitForExit(20'000));
    EXPECT_EQ(ending->exitCode(), 2u);

    const std::unique_ptr<Process> running = processes.start(standInStart(dir.path(), L"--no-window"));
    ASSERT_NE(running, nullptr);
    EXPECT_FALSE(running->waitForExit(50));
    EXPECT_EQ(running->exitCode(), static_cast<std::uint32_t>(STILL_ACTIVE));
    EXPECT_TRUE(running->terminate(7));
    EXPECT_TRUE(running->waitForExit(10'000));
    EXPECT_EQ(running->exitCode(), 7u);
}

TEST(ProcessesWin32, WhatCannotBeStartedGivesNoProcess) {
    testing::TempDir dir;
    Win32Processes processes;
    EXPECT_EQ(processes.start({dir / "absent.exe", L"absent.exe", {}}), nullptr);
    testing::writeFile(dir / "broken.exe", "not a program");
    EXPECT_EQ(processes.start({dir / "broken.exe", L"broken.exe", {}}), nullptr);
}

// Real children, with waits shortened so that a child that never ends costs half a second.
struct ShortWaits final : Processes {
    struct Child final : Process {
        std::unique_ptr<Process> real;
        std::uint32_t capMs = 500;
        bool waitForExit(std::uint32_t milliseconds) override {
            return real->waitForExit(std::min(milliseconds, capMs));
        }
        bool terminate(std::uint32_t exitCode) override { return real->terminate(exitCode); }
        std::optional<std::uint32_t> exitCode() override { return real->exitCode(); }
    };
    Win32Processes real;
    std::wstring extraArguments;  // appended to each command line
    std::uint32_t capMs = 500;    // the longest wait for a child's end
    std::unique_ptr<Process> start(const ProgramStart& options) override {
        ProgramStart changed = options;
        changed.commandLine += extraArguments;
        auto child = std::make_unique<Child>();
        child->capMs = capMs;
        child->real = real.start(changed);
        if (!child->real) return nullptr;
        return child;
    }
    std::unique_ptr<Process> open(std::uint32_t pid) override { return real.open(pid); }
};

TEST(HealthCheckOfPrograms, TheProductIsHealthyOthersAreNot) {
    testing::OutsideWorldLock lock;
    testing::TempDir dir;
    const std::filesystem::path product = dir / L"版本 1" / "TXQNativeConnector.exe";
    std::filesystem::create_directories(product.parent_path());
    std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", product);
    Win32Processes processes;
    EXPECT_NO_THROW(healthCheck(processes, product));

    EXPECT_EQ(testing::messageOf([&] { healthCheck(processes, dir / "absent.exe"); }), "新版助手无法启动");

    // The stand-in game client ignores --health-check: told to end by itself it ends with 2,
    // otherwise it runs until it is ended.
    const std::filesystem::path standIn = dir / "dota2.exe";
    std::filesystem::copy_file(testing::standInPath(), standIn);
    ShortWaits shortWaits;
    // A child that ends by itself gets the health check's own wait: a loaded machine may take
    // longer than the short one just to start it.
    shortWaits.capMs = std::numeric_limits<std::uint32_t>::max();
    shortWaits.extraArguments = L" --no-window --exit-after 1";
    EXPECT_EQ(testing::messageOf([&] { healthCheck(shortWaits, standIn); }), "新版助手健康检查失败");
    shortWaits.capMs = 500;
    shortWaits.extraArguments = L" --no-window --record " + quoteArgument((dir / "record.txt").wstring());
    EXPECT_EQ(testing::messageOf([&] { healthCheck(shortWaits, standIn); }), "新版助手健康检查超时");
    // Terminated, not closed: it never recorded an exit of its own.
    Sleep(200);
    const std::string record =
        std::filesystem::exists(dir / "record.txt") ? testing::readFile(dir / "record.txt") : std::string();
    EXPECT_EQ(record.find("exit"), std::string::npos) << record;
}

}  // namespace
}  // namespace quorvel
