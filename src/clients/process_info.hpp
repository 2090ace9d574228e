#pragma once
// Reading one process: executable, creation time and launch arguments.

#include "outside/process_table.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// One inspected process. (pid, creationTime) names one process instance: a reused pid has
// another creation time.
struct DotaProcess {
    std::uint32_t pid = 0;
    std::uint64_t creationTime = 0;       // FILETIME ticks, compared only for equality
    std::wstring imagePath;               // full Win32 path of the executable
    std::vector<std::wstring> arguments;  // split command line; element 0 is the program name

    bool operator==(const DotaProcess&) const = default;
};

inline constexpr const char* kProcessAccessDenied = "无法检查 Dota 进程，请使用相同的用户权限运行";
inline constexpr const char* kProcessChanged = "Dota 进程已变化";
inline constexpr const char* kCommandLineQueryMissing = "系统不支持进程参数检查";
inline constexpr const char* kCommandLineUnreadable = "无法读取 Dota 启动参数";
inline constexpr const char* kCommandLineUnconfirmed = "无法确认 Dota 启动参数";
inline constexpr const char* kCommandLineRangeInvalid = "进程参数范围无效";

// Opens `pid`, reads it and closes it again; fails with the first failed check's message (in
// the order of the constants above, then the split's). No partial record, no handle left open.
DotaProcess readProcessInfo(ProcessTable& processes, std::uint32_t pid);

}  // namespace quorvel
