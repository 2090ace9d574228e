// A program without the exe's protection against planted DLLs: it imports bcrypt.dll at load
// time the ordinary way, so Windows' search order takes it from the program's own folder first.
#include <windows.h>
#include <bcrypt.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    unsigned char bytes[4];
    return BCryptGenRandom(nullptr, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0 ? 0 : 3;
}
