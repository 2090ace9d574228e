#pragma once

#include "update/program_locations.hpp"

namespace quorvel {

class Win32ProgramLocations final : public ProgramLocations {
public:
    std::filesystem::path modulePath() const override;
};

}  // namespace quorvel
