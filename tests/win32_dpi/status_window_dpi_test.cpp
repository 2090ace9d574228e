// The Status window at the display DPIs a player may have. Wine reads the DPI
// (HKCU\Control Panel\Desktop\LogPixels) once, when a process starts, so each DPI is shown by a
// process of its own; these tests run in a Wine prefix of their own, as every program started in
// the prefix meanwhile takes the DPI they set.
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {
namespace {

// A value in the prefix's HKCU, set for the object's lifetime; the previous state (a value, or
// none) comes back at the end.
class PrefixValue {
public:
    PrefixValue(std::wstring key, std::wstring name, DWORD type, std::vector<BYTE> data)
        : key_(std::move(key)), name_(std::move(name)) {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY, &previousType_, nullptr,
                         &size) == ERROR_SUCCESS) {
            previous_.emplace(size);
            if (RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY, nullptr, previous_->data(),
                             &size) != ERROR_SUCCESS) {
                previous_.reset();
            }
        }
        applied_ = set(type, data);
    }
    ~PrefixValue() {
        if (previous_) {
            set(previousType_, *previous_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
        }
    }
    PrefixValue(const PrefixValue&) = delete;
    PrefixValue& operator=(const PrefixValue&) = delete;

    bool applied() const { return applied_; }

private:
    bool set(DWORD type, const std::vector<BYTE>& data) {
        return RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), type, data.data(),
                               static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    }

    std::wstring key_, name_;
    DWORD previousType_ = 0;
    std::optional<std::vector<BYTE>> previous_;
    bool applied_ = false;
};

std::vector<BYTE> dwordData(DWORD value) {
    std::vector<BYTE> data(sizeof(value));
    std::memcpy(data.data(), &value, sizeof(value));
    return data;
}

std::vector<BYTE> stringData(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

// The display DPI that programs started in the prefix from now on take.
PrefixValue prefixDpi(DWORD dpi) {
    return {L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, dwordData(dpi)};
}

struct Look {
    long dpi = 0, width = 0, height = 0, left = 0, top = 0, controlWidth = 0, controlHeight = 0, fontHeight = 0;
    bool operator==(const Look&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Look& look) {
    return out << look.dpi << " DPI: window " << look.width << " x " << look.height << ", text control at "
               << look.left << ", " << look.top << " of " << look.controlWidth << " x " << look.controlHeight
               << ", font height " << look.fontHeight;
}

TEST(StatusWindowDpi, WindowControlAndFontScaleWithTheDisplayDpi) {
    if (!testing::haveDisplay()) GTEST_SKIP() << "windows need an X display under Wine";
    // At 96 DPI the measures the window has always had; MulDiv rounds halves away from zero.
    const Look expected[] = {
        {96, 610, 260, 24, 28, 550, 150, -18},
        {120, 763, 325, 30, 35, 688, 188, -23},
        {144, 915, 390, 36, 42, 825, 225, -27},
        {192, 1220, 520, 48, 56, 1100, 300, -36},
    };
    const std::filesystem::path probe = testing::buildFolder() / "probes" / "status_window_probe.exe";
    // Wine takes the screen to be as large as its display settings in the prefix say, which can
    // lag behind the X display (at 1024 x 768, which bounds a window's width to 1036 and would
    // clip the 192-DPI window): the probe runs on a virtual desktop of a fixed size instead.
    const PrefixValue desktop(L"Software\\Wine\\AppDefaults\\status_window_probe.exe\\Explorer", L"Desktop", REG_SZ,
                              stringData(L"QuorvelDpi"));
    const PrefixValue desktopSize(L"Software\\Wine\\Explorer\\Desktops", L"QuorvelDpi", REG_SZ,
                                  stringData(L"1280x1024"));
    ASSERT_TRUE(desktop.applied() && desktopSize.applied());
    testing::TempDir dir;
    for (const Look& want : expected) {
        SCOPED_TRACE(want.dpi);
        const std::filesystem::path out = dir / ("look-" + std::to_string(want.dpi) + ".txt");
        const PrefixValue dpi = prefixDpi(static_cast<DWORD>(want.dpi));
        ASSERT_TRUE(dpi.applied());
        const testing::ChildOutcome outcome = testing::runChild(probe, L"\"" + out.wstring() + L"\"", dir.path());
        ASSERT_FALSE(outcome.timedOut);
        ASSERT_EQ(outcome.exitCode, 0u);
        Look seen;
        std::ifstream(out) >> seen.dpi >> seen.width >> seen.height >> seen.left >> seen.top >> seen.controlWidth >>
            seen.controlHeight >> seen.fontHeight;
        EXPECT_EQ(seen, want);
    }
}

}  // namespace
}  // namespace quorvel
