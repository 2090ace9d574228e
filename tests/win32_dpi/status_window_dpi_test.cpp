// The Status window at the display DPIs a player may have. Wine reads the DPI
// (HKCU\Control Panel\Desktop\LogPixels) once, when a process starts, so each DPI is shown by a
// process of its own; these tests run in a Wine prefix of their own, as every program started in
// the prefix meanwhile takes the DPI they set.
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace quorvel {
namespace {

constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
constexpr const wchar_t* kLogPixels = L"LogPixels";

// The prefix's display DPI set to a value for the object's lifetime; the previous state (a value,
// or none) comes back at the end.
class PrefixDpi {
public:
    explicit PrefixDpi(DWORD dpi) {
        DWORD value = 0, size = sizeof(value);
        if (RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
            ERROR_SUCCESS) {
            previous_ = value;
        }
        set(dpi);
    }
    ~PrefixDpi() {
        if (previous_) {
            set(*previous_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
        }
    }
    PrefixDpi(const PrefixDpi&) = delete;
    PrefixDpi& operator=(const PrefixDpi&) = delete;

    bool applied() const { return applied_; }

private:
    void set(DWORD dpi) {
        applied_ = RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi, sizeof(dpi)) ==
                   ERROR_SUCCESS;
    }

    std::optional<DWORD> previous_;
    bool applied_ = false;
};

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
    testing::TempDir dir;
    for (const Look& want : expected) {
        SCOPED_TRACE(want.dpi);
        const std::filesystem::path out = dir / ("look-" + std::to_string(want.dpi) + ".txt");
        const PrefixDpi dpi(static_cast<DWORD>(want.dpi));
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
