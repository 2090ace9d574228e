#pragma once
// ScopedHandle<Traits>: the one move-only owner of a platform handle; the traits of each handle
// kind live in scoped_handle_win32.hpp.

#include <utility>

namespace quorvel {

// Traits name the handle type, say which values own nothing and how to close one:
//   using Handle = ...;
//   static Handle invalid();              // the value a default or released owner holds
//   static bool isValid(Handle handle);   // false for every value that owns nothing
//   static void close(Handle handle);     // called once, only for valid handles
//   static unsigned long lastError();     // the calling thread's last-error value
//   static void setLastError(unsigned long error);
// Closing never changes the caller's last error: a failure read after an owner went out of
// scope is still the failure of the call that preceded it.
template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept : handle_(Traits::invalid()) {}
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    ~ScopedHandle() { close(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.take()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) reset(other.take());
        return *this;
    }

    bool valid() const noexcept { return Traits::isValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }
    Handle get() const noexcept { return handle_; }

    // Closes what is owned now and owns `handle` instead.
    void reset(Handle handle = Traits::invalid()) noexcept {
        if (handle == handle_) return;
        close();
        handle_ = handle;
    }

    // Hands ownership on: the caller closes the returned handle; this owner is empty.
    [[nodiscard]] Handle take() noexcept { return std::exchange(handle_, Traits::invalid()); }

private:
    void close() noexcept {
        if (!Traits::isValid(handle_)) return;
        const unsigned long error = Traits::lastError();
        Traits::close(std::exchange(handle_, Traits::invalid()));
        Traits::setLastError(error);
    }

    Handle handle_;
};

}  // namespace quorvel
