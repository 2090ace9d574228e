#pragma once
// peakMemoryBytes: the most memory this process has held at once. Implementations:
// process_memory_posix.cpp (getrusage), process_memory_win32.cpp (the peak working set).

#include <cstdint>

namespace quorvel::testing {

// The peak resident memory of this process so far, in bytes (under Wine it can dip by a few pages).
std::uint64_t peakMemoryBytes();

}  // namespace quorvel::testing
