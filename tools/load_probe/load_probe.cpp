// load_probe.exe LIBRARY FLAGS: limits the default DLL search to System32 as the exe does first,
// then loads LIBRARY (a full path) with LoadLibraryExW and the search flags FLAGS (decimal or
// 0x…), and unloads it. Exit code 0 when it loaded, 1 when not, 2 on wrong arguments. The control
// of the planted-folder end-to-end case: started from a planted folder, it shows which flags let a
// library's dependencies come from that folder.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count != 3) return 2;
    wchar_t* end = nullptr;
    const DWORD flags = static_cast<DWORD>(std::wcstoul(args[2], &end, 0));
    if (end == args[2] || *end != L'\0') return 2;
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return 2;
    const HMODULE library = LoadLibraryExW(args[1], nullptr, flags);
    LocalFree(args);
    if (library == nullptr) return 1;
    FreeLibrary(library);
    return 0;
}
