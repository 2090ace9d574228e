// The floor of an --install-only run on a warm install: only what such a run cannot avoid. It
// hashes the named exe four times with BCrypt, reading the file for each as the install does
// (the running file, the staged image, the installed copy, the copy at activation), and runs one
// `--health-check` child of it to its end. Usage: install_floor.exe EXE. Exit code 0 on success.
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <fstream>
#include <string>

namespace {

bool hashOnce(const wchar_t* path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size <= 0) return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size)) return false;
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return false;
    unsigned char digest[32];
    const NTSTATUS status = BCryptHash(provider, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                       static_cast<ULONG>(bytes.size()), digest, sizeof(digest));
    BCryptCloseAlgorithmProvider(provider, 0);
    return status == 0;
}

bool healthCheckChild(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\" --health-check";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    DWORD code = 1;
    const bool ended = WaitForSingleObject(started.hProcess, 10'000) == WAIT_OBJECT_0;
    if (ended) GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return ended && code == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count != 2) return 2;
    const std::wstring exe = args[1];
    LocalFree(args);
    for (int i = 0; i < 4; ++i) {
        if (!hashOnce(exe.c_str())) return 1;
    }
    return healthCheckChild(exe) ? 0 : 1;
}
