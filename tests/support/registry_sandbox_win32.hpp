#pragma once

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <string>

namespace quorvel::testing {

// Points HKEY_CURRENT_USER of this process at a fresh, empty key for the sandbox's lifetime, so
// that tests neither see nor change the prefix's real user hive. Removed with its content at the
// end.
class RegistrySandbox {
public:
    // Volatile keys vanish even if the test dies; code that creates non-volatile keys of its own
    // needs a persistent root, since a volatile key cannot have persistent children.
    enum class Keys { volatileOnly, persistent };
    explicit RegistrySandbox(Keys keys = Keys::volatileOnly);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Writes a value below the sandboxed HKEY_CURRENT_USER, creating the key as needed.
    void set(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size);
    void setString(const std::wstring& key, const std::wstring& name, const std::wstring& value);
    void setDword(const std::wstring& key, const std::wstring& name, DWORD value);
    void remove(const std::wstring& key, const std::wstring& name);

private:
    std::wstring subKey_;
    ScopedRegistryKey root_;
};

}  // namespace quorvel::testing
