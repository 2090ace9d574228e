#pragma once
// FakeFiles: the Files seam over the real file system, every access recorded; with an
// OperationBudget it stops the world after any operation, as a killed process or a power cut would.

#include "platform/files.hpp"

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::testing {

// What a killed process does: nothing more. Raised by every operation after the budget is spent.
struct WorldStopped : std::runtime_error {
    WorldStopped() : std::runtime_error("the world stopped") {}
};

// Counts file-system and registry operations; with a limit, refuses every one after that many.
struct OperationBudget {
    std::optional<int> limit;
    int used = 0;
    // True when the operation may run; counts it.
    bool allow() {
        if (limit && used >= *limit) return false;
        ++used;
        return true;
    }
    void spend() {
        if (!allow()) throw WorldStopped();
    }
};

// The real file system (LocalFiles) in counted, recorded operations. A whole write refused by the
// budget leaves half of its bytes, as a process killed while writing would. It also remembers which
// written bytes have not been flushed, so that a test can cut the power: see cutPower.
class FakeFiles final : public Files {
public:
    FakeFiles() = default;
    explicit FakeFiles(OperationBudget& budget) : budget_(&budget) {}

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
    // Refused by the budget, it removes every other file below `path` (in path order) first, as a
    // removal killed half-way leaves a folder; a folder below the read-only folder cannot be removed.
    void removeAll(const std::filesystem::path& path) override;

    // What a power cut leaves: every byte written (wholly or appended) and not flushed since reads
    // back as a zero, and the file keeps its size, as NTFS keeps a file's size, which is metadata,
    // but not its unflushed data. A flush covers what was written before it; a move or rename
    // carries the file's unflushed bytes to its new name, and survives the cut itself. Returns the
    // number of bytes zeroed.
    std::uintmax_t cutPower();

    // "<operation> <path>" for every call, in order, the path in generic form (a move names both).
    std::vector<std::string> accesses;
    // Called with the operation's name and (first) path before it runs; may throw to fail it.
    std::function<void(const std::string& operation, const std::filesystem::path& path)> onAccess;
    std::vector<std::filesystem::path> written;  // targets of writeWhole, in order
    // A folder without write permission: nothing can be created, written or moved into it (or
    // below it), as the platform refuses it; reading stays possible.
    std::optional<std::filesystem::path> readOnlyFolder;

private:
    // Records the call and runs onAccess; false when the budget refuses it.
    bool begin(const std::string& operation, const std::filesystem::path& path,
               const std::filesystem::path* to = nullptr);
    // begin, throwing WorldStopped when the budget refuses the call.
    void enter(const std::string& operation, const std::filesystem::path& path,
               const std::filesystem::path* to = nullptr);
    bool refused(const std::filesystem::path& path) const;
    void carryUnflushed(const std::filesystem::path& from, const std::filesystem::path& to);

    OperationBudget* budget_ = nullptr;
    // The offset from which each file's bytes are not yet on disk.
    std::map<std::filesystem::path, std::uintmax_t> unflushedFrom_;
    LocalFiles real_;
};

}  // namespace quorvel::testing
