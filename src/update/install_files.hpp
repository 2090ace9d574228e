#pragma once
// InstallFiles seam: the file operations of installing and updating, one call per operation.
// Implementation: LocalInstallFiles (std::filesystem, flushFileToDisk and moveFileDurably, both
// builds); fake: testing::StoppableFiles (support/fake_install.hpp), which stops the world after
// any operation, as a killed process or a power cut would.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class InstallFiles {
public:
    virtual ~InstallFiles() = default;
    // Whether anything exists at `path`; a file-system error other than a missing file propagates.
    virtual bool exists(const std::filesystem::path& path) = 0;
    // The size of the file at `path`, nothing when it is absent; other errors propagate.
    virtual std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) = 0;
    // readExecutableFile: a whole file of 1 byte to 8 MiB.
    virtual std::string readExecutable(const std::filesystem::path& path) = 0;
    // A whole file of at most `maxBytes`, read without ever holding more than that; fails with
    // the file-system error when it cannot be read, and with file_too_large when it holds more.
    virtual std::string readAll(const std::filesystem::path& path, std::size_t maxBytes) = 0;
    // The folder and all missing ancestors.
    virtual void createDirectories(const std::filesystem::path& folder) = 0;
    // Creates or truncates `path` and writes `bytes` in binary; fails with "无法写入更新文件".
    virtual void writeWhole(const std::filesystem::path& path, std::string_view bytes) = 0;
    // Returns once the bytes written to `path` are on disk (flushFileToDisk); fails with
    // "无法写入更新文件". Bytes not flushed may read back as zeros after a power cut.
    virtual void flush(const std::filesystem::path& path) = 0;
    // Moves `from` over `to` and returns once the move is on disk; false when it fails. The move
    // does not flush the bytes of `from`.
    virtual bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Renames `from` to `to`, replacing it; a file-system error propagates.
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Appends `bytes` in binary, creating the file; a failed write is not reported.
    virtual void append(const std::filesystem::path& path, std::string_view bytes) = 0;
};

// The real file system.
class LocalInstallFiles final : public InstallFiles {
public:
    bool exists(const std::filesystem::path& path) override;
    std::optional<std::uintmax_t> sizeIfPresent(const std::filesystem::path& path) override;
    std::string readExecutable(const std::filesystem::path& path) override;
    std::string readAll(const std::filesystem::path& path, std::size_t maxBytes) override;
    void createDirectories(const std::filesystem::path& folder) override;
    void writeWhole(const std::filesystem::path& path, std::string_view bytes) override;
    void flush(const std::filesystem::path& path) override;
    bool moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void append(const std::filesystem::path& path, std::string_view bytes) override;
};

// writeFileReplacing over `files`: the parent folder, the ".part" twin, its flush, then the durable
// move, so that neither a killed process nor a power cut leaves `path` other than old or new.
void writeFileReplacing(InstallFiles& files, const std::filesystem::path& path, std::string_view bytes);

}  // namespace quorvel
