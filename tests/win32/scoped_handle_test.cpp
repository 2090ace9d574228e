// ScopedKernelHandle over real kernel objects.
#include "common/scoped_handle_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace quorvel {
namespace {

// The kernel traits with every close counted.
struct CountedKernelTraits : KernelHandleTraits {
    static inline int closes = 0;
    static void close(Handle handle) {
        ++closes;
        KernelHandleTraits::close(handle);
    }
};

// An event name private to this process; the event exists while a handle to it is open.
std::wstring eventName() {
    return L"Local\\QuorvelScopedHandleTest-" + std::to_wstring(GetCurrentProcessId());
}

bool eventExists() {
    return ScopedKernelHandle(OpenEventW(SYNCHRONIZE, FALSE, eventName().c_str())).valid();
}

TEST(ScopedKernelHandle, NullAndInvalidHandleValueCloseNothing) {
    CountedKernelTraits::closes = 0;
    {
        const ScopedHandle<CountedKernelTraits> null(nullptr);
        const ScopedHandle<CountedKernelTraits> invalid(INVALID_HANDLE_VALUE);
        EXPECT_FALSE(null.valid());
        EXPECT_FALSE(invalid.valid());
    }
    EXPECT_EQ(CountedKernelTraits::closes, 0);
}

TEST(ScopedKernelHandle, ARealHandleIsClosedAtScopeEnd) {
    CountedKernelTraits::closes = 0;
    {
        const ScopedHandle<CountedKernelTraits> event(CreateEventW(nullptr, TRUE, FALSE, eventName().c_str()));
        ASSERT_TRUE(event.valid()) << GetLastError();
        EXPECT_TRUE(eventExists());
    }
    EXPECT_EQ(CountedKernelTraits::closes, 1);
    EXPECT_FALSE(eventExists());
}

TEST(ScopedKernelHandle, TheLastErrorSurvivesTheClose) {
    {
        const ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event.valid());
        SetLastError(ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A close that fails sets an error of its own (ERROR_INVALID_HANDLE for a handle closed
    // already); the owner puts the caller's back.
    ScopedKernelHandle closed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(closed.valid());
    const HANDLE stale = closed.get();
    closed.reset();
    {
        const ScopedKernelHandle owner(stale);
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace quorvel
