#include "update/uninstall.hpp"

#include "common/command_line.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "update/executable_file.hpp"
#include "update/prepare_launcher.hpp"
#include "update/protocol_registration.hpp"

#include <exception>
#include <string_view>

namespace quorvel {
namespace {

constexpr const char* kLockFailed = "无法确认没有连接任务或更新正在进行，卸载未开始";
// An open command longer than this is not one that registration wrote.
constexpr std::uint32_t kMaxCommandBytes = 65'536;

bool isSeparator(wchar_t c) {
    return c == L'/' || c == static_cast<wchar_t>(std::filesystem::path::preferred_separator);
}

// Removes the protocol `key` when the program its open command runs lies in `root`; a key
// without a readable command, or running a program elsewhere, belongs to someone else.
void removeProtocolOf(Registry& registry, const wchar_t* key, const wchar_t* commandKey,
                      const std::filesystem::path& root) {
    const std::optional<std::wstring> command = registry.readString(commandKey, L"", kMaxCommandBytes);
    if (!command) return;
    const std::wstring program = splitCommandLineByRules(*command).front();
    if (!liesWithin(program, root)) return;
    check(registry.deleteTree(key), "无法删除启动助手注册信息");
}

void removeFolder(Files& files, const std::filesystem::path& root) {
    try {
        files.removeAll(root);
    } catch (const std::filesystem::filesystem_error&) {
        throw UserError("无法删除安装目录，请关闭正在使用其中文件的程序后重试");
    }
}

// Copies the running program to the temporary folder under a name of its own and starts the copy
// to remove `root` once this process has ended.
void handOff(InstallSystem& system, const std::filesystem::path& program, const std::filesystem::path& root,
             bool quiet) {
    const std::optional<std::filesystem::path> temporary = system.folders.temporaryFolder();
    check(temporary.has_value() && !temporary->empty(), "无法定位临时目录，卸载未完成");
    check(!liesWithin(*temporary / L"x", root), "临时目录位于安装目录内，卸载未完成");
    const std::wstring pid = std::to_wstring(system.locations.processId());
    const std::filesystem::path copy =
        *temporary / (L"TXQNativeConnector-uninstall-" + pid + L"-" +
                      std::to_wstring(system.update.ticks.milliseconds()) + L".exe");
    const std::string image = readExecutableFile(system.files, program);
    system.files.writeWhole(copy, image);
    ProgramStart start;
    start.program = copy;
    start.commandLine = quoteArgument(copy.wstring()) + L" " + kUninstallHandOffOption + L" " + pid + L" " +
                        quoteArgument(root.wstring()) + (quiet ? L" --quiet" : L"");
    // Not the Install root: a process's current folder cannot be removed.
    start.currentDirectory = *temporary;
    check(system.processes.start(start) != nullptr, "无法启动卸载程序，卸载未完成");
}

}  // namespace

bool liesWithin(const std::filesystem::path& program, const std::filesystem::path& folder) {
    if (!program.is_absolute() || !folder.is_absolute()) return false;
    const std::wstring inner = lowerCopy(program.lexically_normal().wstring());
    std::wstring outer = lowerCopy(folder.lexically_normal().wstring());
    while (!outer.empty() && isSeparator(outer.back())) outer.pop_back();
    return !outer.empty() && inner.size() > outer.size() + 1 && inner.compare(0, outer.size(), outer) == 0 &&
           isSeparator(inner[outer.size()]);
}

UninstallEnd uninstall(InstallSystem& system, const std::wstring& joinLockName, bool quiet) {
    const HeldLock join = takeLock(system.locks, joinLockName, 0, kLockFailed, kUninstallBusy);
    const HeldLock install = takeLock(system.locks, kInstallLockName, 0, kLockFailed, kUninstallBusy);
    const std::filesystem::path root = installRoot(system.folders);

    // The registry first and the folder last: a run stopped in between leaves an install that
    // the next start of any build repairs, never keys that run a removed program from a folder
    // that still claims to be installed.
    removeProtocolOf(system.registry, kProtocolKey, kProtocolCommandKey, root);
    removeProtocolOf(system.registry, kTestProtocolKey, kTestProtocolCommandKey, root);
    check(system.registry.deleteTree(kUninstallKey), "无法删除卸载信息");

    const std::filesystem::path program = system.locations.modulePath();
    if (liesWithin(program, root)) {
        handOff(system, program, root, quiet);
        return UninstallEnd::handedOff;
    }
    removeFolder(system.files, root);
    return UninstallEnd::removed;
}

void finishUninstall(InstallSystem& system, const std::wstring& joinLockName, const UninstallHandOff& handOff) {
    const std::filesystem::path root = installRoot(system.folders);
    check(handOff.installRoot.native() == root.native(), "卸载参数无效");
    check(!liesWithin(system.locations.modulePath(), root), "卸载参数无效");
    if (const std::unique_ptr<Process> first = system.processes.open(handOff.pid)) {
        check(first->waitForExit(kUninstallHandOffWaitMs), "原卸载程序仍在运行，卸载未完成");
    }
    // Not found: it has ended already.
    uninstall(system, joinLockName, true);
}

}  // namespace quorvel
