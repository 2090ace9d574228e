// The floor of a `--health-check` start: a program that only splits its command line with
// CommandLineToArgvW and hashes as much as the check does (SHA-256 of "abc", once) with BCrypt,
// importing both DLLs at load time the ordinary way. Usage: start_floor.exe --health-check.
// Exit code 0 when the digest is right.
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <cstring>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) return 2;
    const bool asked = count == 2 && lstrcmpW(args[1], L"--health-check") == 0;
    LocalFree(args);
    if (!asked) return 2;
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return 1;
    unsigned char input[] = {'a', 'b', 'c'};
    unsigned char digest[32];
    const NTSTATUS status = BCryptHash(provider, nullptr, 0, input, sizeof(input), digest, sizeof(digest));
    BCryptCloseAlgorithmProvider(provider, 0);
    constexpr unsigned char kExpected[4] = {0xba, 0x78, 0x16, 0xbf};
    return status == 0 && std::memcmp(digest, kExpected, sizeof(kExpected)) == 0 ? 0 : 1;
}
