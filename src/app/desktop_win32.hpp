#pragma once

#include "app/desktop.hpp"

namespace quorvel {

class Win32Desktop final : public Desktop {
public:
    void showError(const std::wstring& text) override;
    void showInformation(const std::wstring& text) override;
};

}  // namespace quorvel
