// A DLL planted beside a program under another DLL's name. When any process loads it, it leaves
// an empty file named after itself with ".loaded" appended, so a test sees which copies were
// loaded. It exports the one function the control program imports, and the one the stand-in Steam
// client library imports from winmm, so that a library taking it in place of winmm still loads
// and works, as a planted copy of the real DLL would.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" __declspec(dllexport) LONG WINAPI BCryptGenRandom(void*, unsigned char*, ULONG, ULONG) {
    return static_cast<LONG>(0xC00000BBL);  // STATUS_NOT_SUPPORTED
}

extern "C" __declspec(dllexport) DWORD WINAPI timeGetTime() {
    return GetTickCount();
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    constexpr wchar_t kSuffix[] = L".loaded";
    wchar_t path[MAX_PATH + sizeof(kSuffix) / sizeof(wchar_t)];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, kSuffix);
    const HANDLE record = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (record != INVALID_HANDLE_VALUE) CloseHandle(record);
    return TRUE;
}
