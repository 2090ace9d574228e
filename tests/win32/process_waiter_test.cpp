// Win32ProcessWaiter against the stand-in dota2.exe: a wait that times out, a wait that sees the
// end, an ended process and a process id that names nothing.
#include "outside/process_waiter_win32.hpp"
#include "support/stand_in_dota_win32.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::StandInDota;

TEST(ProcessWaiterWin32, WaitsForTheEndWithinTheTimeOutOnly) {
    testing::OutsideWorldLock lock;
    Win32ProcessWaiter waiter;
    StandInDota dota(L"--no-window --exit-after 60000");
    ASSERT_TRUE(dota.waitUntilReady());
    const std::unique_ptr<WaitableProcess> process = waiter.open(dota.pid());
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(process->waitForExit(0));
    EXPECT_FALSE(process->waitForExit(50));
    // Ended and let go of by its starter: the open handle still names it, and sees the end.
    dota.end();
    EXPECT_TRUE(process->waitForExit(5'000));
    EXPECT_TRUE(process->waitForExit(0));
}

TEST(ProcessWaiterWin32, SeesAProcessEndByItself) {
    testing::OutsideWorldLock lock;
    Win32ProcessWaiter waiter;
    StandInDota dota(L"--no-window --exit-after 200");
    const std::unique_ptr<WaitableProcess> process = waiter.open(dota.pid());
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(process->waitForExit(10'000));
    EXPECT_EQ(dota.waitForExit(0), 2u);
}

TEST(ProcessWaiterWin32, AnEndedProcessIsNeverWaitedForAndNoIdIsNoProcess) {
    testing::OutsideWorldLock lock;
    Win32ProcessWaiter waiter;
    std::uint32_t pid = 0;
    {
        StandInDota dota(L"--no-window --exit-after 60000");
        pid = dota.pid();
        dota.end();
    }
    // Windows refuses the id once nobody holds the process; Wine still opens the ended process.
    // Either way nothing is waited for.
    const std::unique_ptr<WaitableProcess> ended = waiter.open(pid);
    EXPECT_TRUE(ended == nullptr || ended->waitForExit(0));
    EXPECT_EQ(waiter.open(0), nullptr);
}

}  // namespace
}  // namespace quorvel
