#include "support/process_memory.hpp"

#include <sys/resource.h>

namespace quorvel::testing {

std::uint64_t peakMemoryBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // Linux counts in KiB
}

}  // namespace quorvel::testing
