#include "platform/locked_file_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace quorvel {
namespace {

class Win32LockedFile final : public LockedFile {
public:
    explicit Win32LockedFile(ScopedKernelHandle file) : file_(std::move(file)) {}

    std::optional<std::uint64_t> size() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    std::optional<std::size_t> read(char* buffer, std::size_t count) override {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        DWORD got = 0;
        if (!ReadFile(file_.get(), buffer, wanted, &got, nullptr)) return std::nullopt;
        return got;
    }

private:
    ScopedKernelHandle file_;
};

}  // namespace

std::unique_ptr<LockedFile> Win32LockedFileOpener::open(const std::filesystem::path& path) {
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32LockedFile>(std::move(file));
}

}  // namespace quorvel
