#pragma once

#include "app/desktop.hpp"
#include "common/error.hpp"
#include "support/fake_clocks.hpp"
#include "support/fake_known_folders.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::testing {

struct RecordingDesktop final : Desktop {
    std::vector<std::wstring> errors;
    std::vector<std::wstring> informations;
    void showError(const std::wstring& text) override { errors.push_back(text); }
    void showInformation(const std::wstring& text) override { informations.push_back(text); }
};

}  // namespace quorvel::testing
