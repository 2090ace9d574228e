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

std::wstring versionText(std::uint64_t build) {
    return std::to_wstring(build / 1'000'000) + L"." + std::to_wstring(build / 100 % 10'000) + L"." +
           std::to_wstring(build % 100) + L".0";
}

void registerUninstallEntry(Registry& registry, const InstalledBuild& installed) {
    const std::wstring exe = quoteArgument(installed.exePath.wstring());
    const std::uintmax_t kibibytes = installed.bytes / 1'024 + (installed.bytes % 1'024 != 0 ? 1 : 0);
    std::unique_ptr<RegistryKey> key = registry.createKey(kUninstallKey);
    check(key != nullptr, kKeyFailed);
    const bool written = key->setString(L"DisplayName", L"Quorvel") &&
                         key->setString(L"DisplayVersion", versionText(installed.build)) &&
                         key->setString(L"Publisher", L"Quorvel") &&
                         key->setString(L"DisplayIcon", installed.exePath.wstring()) &&
                         key->setString(L"InstallLocation", installed.installRoot.wstring()) &&
                         key->setString(L"UninstallString", exe + L" --uninstall") &&
                         key->setString(L"QuietUninstallString", exe + L" --uninstall --quiet") &&
                         key->setDword(L"NoModify", 1) && key->setDword(L"NoRepair", 1) &&
                         key->setDword(L"EstimatedSize", static_cast<std::uint32_t>(kibibytes));
    key.reset();
    check(written, kValueFailed);
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
