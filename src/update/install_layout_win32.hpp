#pragma once

#include "update/install_layout.hpp"

namespace quorvel {

class Win32ProgramLocations final : public ProgramLocations {
public:
    std::filesystem::path modulePath() const override;
};

}  // namespace quorvel
