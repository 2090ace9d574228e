#pragma once
// The Windows handle kinds owned by ScopedHandle: kernel objects, WinHTTP, registry keys, BCrypt
// providers, LocalAlloc and CoTaskMemAlloc memory, loaded modules, windows, fonts and memory
// device contexts.

#include "common/scoped_handle.hpp"

#include <windows.h>
#include <bcrypt.h>
#include <combaseapi.h>
#include <winhttp.h>

namespace quorvel {

// Last-error handling shared by every Win32 kind.
struct Win32ErrorTraits {
    static unsigned long lastError() { return GetLastError(); }
    static void setLastError(unsigned long error) { SetLastError(error); }
};

// Processes, threads, files, snapshots, mutexes: NULL and INVALID_HANDLE_VALUE both own nothing
// (CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, OpenProcess and
// CreateMutexW with NULL).
struct KernelHandleTraits : Win32ErrorTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { CloseHandle(handle); }
};

struct InternetHandleTraits : Win32ErrorTraits {
    using Handle = HINTERNET;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { WinHttpCloseHandle(handle); }
};

// Predefined keys (HKEY_CURRENT_USER and the like) are never closed through an owner.
struct RegistryKeyTraits : Win32ErrorTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { RegCloseKey(handle); }
};

struct AlgorithmProviderTraits : Win32ErrorTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { BCryptCloseAlgorithmProvider(handle, 0); }
};

struct LocalMemoryTraits : Win32ErrorTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { LocalFree(handle); }
};

// Memory the shell hands out (SHGetKnownFolderPath's path).
struct CoTaskMemoryTraits : Win32ErrorTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { CoTaskMemFree(handle); }
};

struct ModuleTraits : Win32ErrorTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { FreeLibrary(handle); }
};

// A window this thread created; one already destroyed must be let go with take().
struct WindowTraits : Win32ErrorTraits {
    using Handle = HWND;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { DestroyWindow(handle); }
};

struct FontTraits : Win32ErrorTraits {
    using Handle = HFONT;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { DeleteObject(handle); }
};

// Device contexts made with CreateCompatibleDC.
struct MemoryDeviceContextTraits : Win32ErrorTraits {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { DeleteDC(handle); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedAlgorithmProvider = ScopedHandle<AlgorithmProviderTraits>;
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits>;
using ScopedCoTaskMemory = ScopedHandle<CoTaskMemoryTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedWindow = ScopedHandle<WindowTraits>;
using ScopedFont = ScopedHandle<FontTraits>;
using ScopedMemoryDeviceContext = ScopedHandle<MemoryDeviceContextTraits>;

}  // namespace quorvel
