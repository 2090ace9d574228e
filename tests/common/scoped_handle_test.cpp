// ScopedHandle over counting traits: the ownership rules hold for every handle kind.
#include "common/scoped_handle.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

// Handles are ints; 0 and -1 own nothing, as NULL and INVALID_HANDLE_VALUE for kernel handles.
// Closing overwrites the last error, as a failing CloseHandle does.
struct CountingTraits {
    using Handle = int;
    static inline std::vector<int> closed;
    static inline unsigned long error = 0;

    static Handle invalid() { return 0; }
    static bool isValid(Handle handle) { return handle != 0 && handle != -1; }
    static void close(Handle handle) {
        closed.push_back(handle);
        error = 6;
    }
    static unsigned long lastError() { return error; }
    static void setLastError(unsigned long value) { error = value; }
};
using Owner = ScopedHandle<CountingTraits>;

class ScopedHandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        CountingTraits::closed.clear();
        CountingTraits::error = 0;
    }
    static const std::vector<int>& closed() { return CountingTraits::closed; }
};

TEST_F(ScopedHandleTest, ClosesOnceAtScopeEndAndNeverAValueThatOwnsNothing) {
    {
        const Owner owner(7);
        EXPECT_TRUE(owner.valid());
        EXPECT_EQ(owner.get(), 7);
        const Owner none;
        const Owner zero(0);
        const Owner minusOne(-1);
        EXPECT_FALSE(none || zero || minusOne);
        EXPECT_EQ(minusOne.get(), -1);
    }
    EXPECT_EQ(closed(), std::vector<int>{7});
}

TEST_F(ScopedHandleTest, TakeHandsOwnershipOn) {
    int taken = 0;
    {
        Owner owner(7);
        taken = owner.take();
        EXPECT_FALSE(owner.valid());
        EXPECT_EQ(owner.get(), 0);
    }
    EXPECT_EQ(taken, 7);
    EXPECT_TRUE(closed().empty());
}

TEST_F(ScopedHandleTest, MovesCarryTheHandleAndAssignmentClosesWhatWasOwned) {
    {
        Owner first(7);
        Owner second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), 7);

        Owner third(8);
        third = std::move(second);
        EXPECT_EQ(closed(), std::vector<int>{8});
        EXPECT_EQ(third.get(), 7);

        Owner& alias = third;
        third = std::move(alias);
        EXPECT_EQ(third.get(), 7);
        EXPECT_EQ(closed(), std::vector<int>{8});
    }
    EXPECT_EQ(closed(), (std::vector<int>{8, 7}));
}

TEST_F(ScopedHandleTest, ResetClosesTheOldHandleUnlessItIsTheSame) {
    {
        Owner owner(7);
        owner.reset(8);
        EXPECT_EQ(closed(), std::vector<int>{7});
        owner.reset(8);
        EXPECT_EQ(closed(), std::vector<int>{7});
        owner.reset(-1);
        EXPECT_EQ(closed(), (std::vector<int>{7, 8}));
        owner.reset();
        EXPECT_FALSE(owner.valid());
    }
    EXPECT_EQ(closed(), (std::vector<int>{7, 8}));
}

TEST_F(ScopedHandleTest, ClosingKeepsTheCallersLastError) {
    {
        Owner owner(7);
        CountingTraits::error = 2;
    }
    EXPECT_EQ(CountingTraits::error, 2u);
    Owner owner(8);
    CountingTraits::error = 5;
    owner.reset(9);
    EXPECT_EQ(CountingTraits::error, 5u);
    EXPECT_EQ(closed(), (std::vector<int>{7, 8}));
}

}  // namespace
}  // namespace quorvel
