#include "update/protocol_registration.hpp"

#include "common/command_line.hpp"
#include "common/error.hpp"

namespace quorvel {
namespace {

constexpr const char* kKeyFailed = "无法注册启动助手";
constexpr const char* kValueFailed = "无法保存启动助手注册信息";

// One step of the main registration: open or create, write, close, and only then check.
void writeProtocolValue(Registry& registry, const wchar_t* subKey, const std::wstring& name,
                        const std::wstring& data) {
    std::unique_ptr<RegistryKey> key = registry.createKey(subKey);
    check(key != nullptr, kKeyFailed);
    const bool written = key->setString(name, data);
    key.reset();
    check(written, kValueFailed);
}

}  // namespace

std::wstring protocolCommand(const std::filesystem::path& exePath) {
    return quoteArgument(exePath.wstring()) + L" \"%1\"";
}

void registerProtocol(Registry& registry, const std::filesystem::path& exePath) {
    writeProtocolValue(registry, kProtocolKey, L"", L"Quorvel");
    writeProtocolValue(registry, kProtocolKey, L"URL Protocol", L"");
    writeProtocolValue(registry, kProtocolCommandKey, L"", protocolCommand(exePath));
}

void registerTestProtocol(Registry& registry, const ProgramLocations& locations) {
    {
        const std::unique_ptr<RegistryKey> key = registry.createKey(kTestProtocolKey);
        check(key != nullptr, "无法注册测试协议");
        // The name and the protocol marker are not checked; the command below is what matters.
        key->setString(L"", L"TXQ native experiment");
        key->setString(L"URL Protocol", L"");
    }
    const std::wstring command = protocolCommand(locations.modulePath());
    std::unique_ptr<RegistryKey> key = registry.createKey(kTestProtocolCommandKey);
    check(key != nullptr, "无法注册测试命令");
    const bool written = key->setString(L"", command);
    key.reset();
    check(written, "测试协议保存失败");
}

}  // namespace quorvel
