#include "support/process_memory.hpp"

#include <windows.h>
#include <psapi.h>

namespace quorvel::testing {

std::uint64_t peakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

}  // namespace quorvel::testing
