#include "platform/files.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <string>
#include <system_error>

namespace quorvel {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, DWORD error) {
    throw std::filesystem::filesystem_error("canonical", path,
                                            std::error_code(static_cast<int>(error), std::system_category()));
}

// The final path of an opened file or folder, as `\\?\…` text; 0 and the error when none.
DWORD finalPath(HANDLE file, DWORD volumeForm, std::wstring& out) {
    out.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file, out.data(), static_cast<DWORD>(out.size()),
                                                       FILE_NAME_NORMALIZED | volumeForm);
        if (length == 0) return GetLastError();
        if (length < out.size()) {
            out.resize(length);
            return ERROR_SUCCESS;
        }
        out.assign(length, L'\0');  // too small: `length` counts the terminator
    }
}

bool startsWith(const std::wstring& text, std::wstring_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// `\\?\C:\…` becomes `C:\…` and `\\?\UNC\server\share\…` becomes `\\server\share\…`; forms with no
// classic spelling (a volume without a drive letter) keep their prefix.
std::wstring classicForm(const std::wstring& final) {
    if (startsWith(final, L"\\\\?\\UNC\\")) return L"\\\\" + final.substr(8);
    const bool drive = final.size() >= 7 && startsWith(final, L"\\\\?\\") && final[5] == L':' && final[6] == L'\\' &&
                       ((final[4] >= L'A' && final[4] <= L'Z') || (final[4] >= L'a' && final[4] <= L'z'));
    return drive ? final.substr(4) : final;
}

}  // namespace

std::filesystem::path LocalFiles::canonical(const std::filesystem::path& path) {
    if (path.native().find(L'\0') != std::wstring::npos) fail(path, ERROR_INVALID_NAME);
    // Folders open only with backup semantics; without FILE_FLAG_OPEN_REPARSE_POINT links and
    // junctions are followed to their target.
    const ScopedKernelHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) fail(path, GetLastError());
    std::wstring final;
    DWORD error = finalPath(file.get(), VOLUME_NAME_DOS, final);
    if (error == ERROR_PATH_NOT_FOUND) error = finalPath(file.get(), VOLUME_NAME_GUID, final);
    if (error != ERROR_SUCCESS) fail(path, error);
    return std::filesystem::path(classicForm(final));
}

void LocalFiles::flush(const std::filesystem::path& path) {
    // FlushFileBuffers needs write access; it writes out the file's cached data whichever handle
    // wrote it.
    const ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    check(file && FlushFileBuffers(file.get()) != 0, "无法写入更新文件");
}

// MOVEFILE_WRITE_THROUGH makes the rename durable, not the moved file's bytes: flush comes first.
bool LocalFiles::moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace quorvel
