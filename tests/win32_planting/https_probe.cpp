// One HTTPS exchange through the product's WinHTTP transport, with the DLL search limited to
// System32 first as the exe's entry limits it, for the planting test: TLS is where WinHTTP loads
// DLLs of its own. Usage: https_probe.exe PORT (a host on localhost). Exit code 0 when an answer
// came back, 1 when a step failed, 2 on wrong use.
#include "platform/https_win32.hpp"

#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return 2;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count != 2) return 2;
    const auto port = static_cast<std::uint16_t>(std::stoul(args[1]));
    LocalFree(args);

    quorvel::WinHttpTransport transport;
    const auto session = transport.openSession(L"https_probe", 10'000);
    if (!session) return 1;
    const auto connection = session->connect({L"localhost", port});
    if (!connection) return 1;
    const auto request = connection->openRequest(L"GET", L"/probe", true);
    if (!request || !request->send(L"", "") || !request->receiveResponse()) return 1;
    return request->statusCode() ? 0 : 1;
}
