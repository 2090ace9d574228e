#include "platform/file_identity.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <cstring>
#include <system_error>

namespace quorvel {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, DWORD error) {
    throw std::filesystem::filesystem_error("fileIdentity", path,
                                            std::error_code(static_cast<int>(error), std::system_category()));
}

}  // namespace

FileIdentity fileIdentity(const std::filesystem::path& path) {
    // The platform reads up to the first NUL: such a path would name another file.
    if (path.native().find(L'\0') != std::wstring::npos) fail(path, ERROR_INVALID_NAME);
    // Reading attributes needs no right to the content; backup semantics let a folder open too.
    // Without FILE_FLAG_OPEN_REPARSE_POINT a link is followed to its target.
    const ScopedKernelHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) fail(path, GetLastError());
    FILE_ID_INFO info{};
    if (!GetFileInformationByHandleEx(file.get(), FileIdInfo, &info, sizeof(info))) fail(path, GetLastError());
    FileIdentity identity;
    identity.volume = info.VolumeSerialNumber;
    static_assert(sizeof(info.FileId.Identifier) == sizeof(identity.id));
    std::memcpy(identity.id.data(), info.FileId.Identifier, identity.id.size());
    return identity;
}

}  // namespace quorvel
