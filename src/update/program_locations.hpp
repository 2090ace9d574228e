#pragma once
// ProgramLocations seam: Win32ProgramLocations (program_locations_win32.cpp), fake FakeLocations (support/fakes.hpp).

#include <filesystem>

namespace quorvel {

// Where the program itself lives.
class ProgramLocations {
public:
    virtual ~ProgramLocations() = default;
    // Full path of the running executable; fails with "无法获取工具路径".
    virtual std::filesystem::path modulePath() const = 0;
};

}  // namespace quorvel
