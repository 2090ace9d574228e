#pragma once
// Desktop seam: Win32Desktop (desktop_win32.cpp), fake RecordingDesktop (support/fakes.hpp).

#include <string>

namespace quorvel {

// The message boxes the program shows (caption "Quorvel", no owner window).
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void showError(const std::wstring& text) = 0;        // error icon
    virtual void showInformation(const std::wstring& text) = 0;  // OK button, no icon
};

}  // namespace quorvel
