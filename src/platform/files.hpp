#pragma once
// Files seam: the file system, one call per operation. Implementation: LocalFiles (files.cpp, with
// files_win32.cpp and files_posix.cpp for canonical paths and the flush and move on disk); fake:
// testing::FakeFiles (tests/support/fake_files.hpp), which records every access and can stop the
// world after any operation, as a killed process or a power cut would.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class Files {
public:
    virtual ~Files() = default;

    // Reads. The content of files other programs own (Steam's library list, VPK packages, a
    // downloaded or installed image) is untrusted.

    // The whole content of a regular file, byte for byte; nothing when the file cannot be opened or
    // read.
    virtual std::optional<std::string> readWhole(const std::filesystem::path& path) = 0;
    // A whole file of at most `maxBytes`, read without ever holding more than that; fails with
    // the file-system error when it cannot be read, and with file_too_large when it holds more.
    virtual std::string readBounded(const std::filesystem::path& path, std::size_t maxBytes) = 0;
    // A binary stream at the start of the file; null when it cannot be opened (absent, no access,
    // a folder).
    virtual std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) = 0;
    // Whether `path` names a regular file, links followed.
    virtual bool isRegularFile(const std::filesystem::path& path) = 0;
    // Whether anything exists at `path`; a file-system error other than a missing file propagates.
    virtual bool exists(const std::filesystem::path& path) = 0;
    // The size of the file at `path`, nothing when it is absent; other errors propagate.
    virtual std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) = 0;
    // The absolute path with links and junctions resolved and every component spelt as the file
    // system stores it; fails with the file-system library's error when `path` cannot be opened.
    virtual std::filesystem::path canonical(const std::filesystem::path& path) = 0;

    // Writes.

    // The folder and all missing ancestors.
    virtual void createDirectories(const std::filesystem::path& folder) = 0;
    // Creates or truncates `path` and writes `bytes` in binary; fails with "无法写入更新文件".
    virtual void writeWhole(const std::filesystem::path& path, std::string_view bytes) = 0;
    // Returns once the bytes written to `path` are on disk, whichever handle wrote them; fails with
    // "无法写入更新文件". Bytes not flushed may read back as zeros after a power cut.
    virtual void flush(const std::filesystem::path& path) = 0;
    // Moves `from` over `to` and returns once the move is on disk; false when it fails. The move
    // does not flush the bytes of `from`: a file moved unflushed can come back after a power cut
    // with its size and zeros for content.
    virtual bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Renames `from` to `to`, replacing it; a file-system error propagates.
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Appends `bytes` in binary, creating the file; a failed write is not reported.
    virtual void append(const std::filesystem::path& path, std::string_view bytes) = 0;
    // Removes `path` and, for a folder, all it holds; nothing there is no error. A file-system
    // error propagates, leaving whatever was not removed yet.
    virtual void removeAll(const std::filesystem::path& path) = 0;
};

// The real file system. `canonical` is the standard library's on POSIX and the final path of an
// opened handle on Windows; `flush` is fsync or FlushFileBuffers, `moveDurably` a rename followed
// by an fsync of the folder or MoveFileExW with MOVEFILE_WRITE_THROUGH.
class LocalFiles final : public Files {
public:
    std::optional<std::string> readWhole(const std::filesystem::path& path) override;
    std::string readBounded(const std::filesystem::path& path, std::size_t maxBytes) override;
    std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) override;
    bool isRegularFile(const std::filesystem::path& path) override;
    bool exists(const std::filesystem::path& path) override;
    std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) override;
    std::filesystem::path canonical(const std::filesystem::path& path) override;
    void createDirectories(const std::filesystem::path& folder) override;
    void writeWhole(const std::filesystem::path& path, std::string_view bytes) override;
    void flush(const std::filesystem::path& path) override;
    bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void append(const std::filesystem::path& path, std::string_view bytes) override;
    void removeAll(const std::filesystem::path& path) override;
};

// Stores `bytes` at `path` so that neither a killed process nor a power cut leaves `path` other
// than old or new: the parent folder, the ".part" twin, its flush, then the durable move over the
// target. Fails with "无法写入更新文件" or "无法保存更新文件"; a folder that cannot be created
// fails with the file-system error.
void writeFileReplacing(Files& files, const std::filesystem::path& path, std::string_view bytes);

}  // namespace quorvel
