#pragma once

#include "app/desktop.hpp"
#include "common/error.hpp"
#include "support/fake_clocks.hpp"
#include "update/program_locations.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::testing {

struct FakeLocations final : ProgramLocations {
    std::filesystem::path module;
    bool fails = false;
    std::filesystem::path modulePath() const override {
        check(!fails, "无法获取工具路径");
        return module;
    }
};

struct RecordingDesktop final : Desktop {
    std::vector<std::wstring> errors;
    std::vector<std::wstring> informations;
    void showError(const std::wstring& text) override { errors.push_back(text); }
    void showInformation(const std::wstring& text) override { informations.push_back(text); }
};

}  // namespace quorvel::testing
