// Join links built to break out of the quoted %1 of the registered txqjoin open command, started
// as the shell starts a link through the prefix's real registration.
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"
#include "support/prefix_install_state_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <thread>

namespace quorvel {
namespace {

constexpr const char* kLinkInvalid = "连接链接无效，请使用大厅生成的链接";
constexpr const char* kOneLinkOnly = "只接受一个大厅连接链接";
constexpr const char* kJoinBusy = "另一个连接任务正在执行，请查看原助手窗口";

const std::wstring kPrefix = L"txqjoin://enter/?ticket=";
const std::wstring kValid = kPrefix + std::wstring(43, L'a');

// The shell starts a link's handler by putting the link, as the browser handed it over, in place
// of %1 in the registered command, with no escaping of its own, and starting that command line.
// Browsers percent-encode quotes, spaces and controls, so the raw text used here is the harder
// case. Only the template's %1 is replaced: a %1 inside the link stays as it is.
std::wstring shellCommandLine(const std::wstring& command, const std::wstring& link) {
    std::wstring line = command;
    const std::size_t placeholder = line.find(L"%1");
    return line.replace(placeholder, 2, link);
}

// Every file below `folder` with its size and last write, to show that nothing was written.
std::map<std::wstring, std::string> snapshot(const std::filesystem::path& folder) {
    std::map<std::wstring, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string state = entry.is_directory() ? "folder" : std::to_string(entry.file_size());
        state += " " + std::to_string(entry.last_write_time().time_since_epoch().count());
        files[entry.path().lexically_relative(folder).wstring()] = state;
    }
    return files;
}

struct Case {
    std::wstring link;
    const char* message;
};

// The split of each resulting command line follows CommandLineToArgvW: inside quotes a
// backslash before a quote escapes it, two backslashes before a quote give one and the quote
// counts, "" gives a quote and ends the quoted stretch, and only space and tab separate.
std::vector<Case> craftedLinks() {
    std::wstring quotesAndOptions = L"txqjoin://";
    while (quotesAndOptions.size() < 4096) quotesAndOptions += L"\" --install-only \"";
    return {
        {kPrefix + L"\"", kLinkInvalid},
        {kValid + L"\"", kLinkInvalid},
        {kValid + L"\\\"", kLinkInvalid},
        {kValid + L"\\\\\"", kLinkInvalid},
        {kValid + L"\\", kLinkInvalid},
        {kValid + L"\\\\\\\\", kLinkInvalid},
        {kPrefix + std::wstring(20, L'a') + L" " + std::wstring(23, L'a'), kLinkInvalid},
        {kValid + L" ", kLinkInvalid},
        {kValid + L"\t--install-only", kLinkInvalid},
        {kValid + L"\r\n--install-only", kLinkInvalid},
        {kValid + L"\n", kLinkInvalid},
        {kValid + L"%22%20--install-only", kLinkInvalid},
        {kValid + L"%00", kLinkInvalid},
        {kValid + L"%0A--self-test", kLinkInvalid},
        {kPrefix + L"%1%1", kLinkInvalid},
        {kPrefix + std::wstring(43, L'\uFF41'), kLinkInvalid},
        {kPrefix + std::wstring(4096, L'a'), kLinkInvalid},
        {L"txqjoin://x\" --install-only", kOneLinkOnly},
        {L"txqjoin://x\" --self-test \"", kOneLinkOnly},
        {kValid + L"\" --install-only", kOneLinkOnly},
        {kValid + L"\" \"--health-check", kOneLinkOnly},
        {kValid + L"\\\\\" --inspect", kOneLinkOnly},
        {kValid + L"\"\t--update-only", kOneLinkOnly},
        {L"txqjoin:\" \"", kOneLinkOnly},
        {quotesAndOptions, kOneLinkOnly},
        // A quote inside the ticket ends the quoted stretch and the next quote opens another, so
        // the split drops both: the program gets the plain link and joins with the ticket it
        // spells, as for the link without the quote; no other mode, no other argument.
        {kPrefix + std::wstring(20, L'a') + L"\"" + std::wstring(23, L'a'), kJoinBusy},
    };
}

class CraftedLinkTest : public ::testing::Test {
protected:
    testing::OutsideWorldLock lock;
    testing::PrefixInstallState state;
    testing::TempDir dir;
};

TEST_F(CraftedLinkTest, NoLinkReachesAnotherModeOrASecondArgument) {
    // Installed and registered for real, as by a first start after a download.
    const std::filesystem::path downloaded = dir / "Downloads" / "TXQNativeConnector.exe";
    std::filesystem::create_directories(downloaded.parent_path());
    std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", downloaded);
    const testing::ChildOutcome installed = testing::runChild(downloaded, L"--install-only", dir.path(), 60'000);
    ASSERT_FALSE(installed.timedOut);
    ASSERT_EQ(installed.exitCode, 0u);
    const std::optional<std::wstring> command = testing::readUserString(kProtocolCommandKey, nullptr);
    ASSERT_TRUE(command.has_value());
    ASSERT_TRUE(command->ends_with(L"TXQNativeConnector.exe\" \"%1\"")) << toNarrow(*command);
    const auto before = snapshot(state.root());

    // The join mode takes this lock before it does anything else (the window, the install, the
    // first lobby request); held here, a start that reached the join mode would end with the
    // busy message instead of the one expected.
    const ScopedKernelHandle joinLock(CreateMutexW(nullptr, TRUE, L"Local\\TXQWebEntry"));
    ASSERT_TRUE(joinLock);

    // A child that showed a box ends two seconds after the box was answered (bare Xvfb has no
    // window manager), so the starts run side by side, a few at a time.
    const std::vector<Case> cases = craftedLinks();
    std::vector<testing::ChildOutcome> outcomes(cases.size());
    std::vector<std::string> failures(cases.size());
    constexpr std::size_t kSideBySide = 7;
    for (std::size_t first = 0; first < cases.size(); first += kSideBySide) {
        std::vector<std::thread> starts;
        for (std::size_t i = first; i < std::min(cases.size(), first + kSideBySide); ++i) {
            starts.emplace_back([&, i] {
                try {
                    outcomes[i] = testing::runCommandLine(shellCommandLine(*command, cases[i].link), dir.path());
                } catch (const std::exception& e) {
                    failures[i] = e.what();
                }
            });
        }
        for (std::thread& running : starts) running.join();
    }

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(toNarrow(cases[i].link.substr(0, 80)));
        ASSERT_EQ(failures[i], "");
        ASSERT_FALSE(outcomes[i].timedOut);
        // 1 is the exe's own failure; a crash ends with an exception code instead.
        EXPECT_EQ(outcomes[i].exitCode, 1u);
        // Without a display Wine shows no box and the text cannot be seen.
        if (!testing::haveDisplay()) continue;
        ASSERT_EQ(outcomes[i].boxes.size(), 1u);
        EXPECT_EQ(outcomes[i].boxes[0].caption, L"Quorvel");
        EXPECT_EQ(toNarrow(outcomes[i].boxes[0].text), cases[i].message);
    }
    EXPECT_EQ(snapshot(state.root()), before);
    EXPECT_EQ(testing::readUserString(kProtocolCommandKey, nullptr), command);
    // The trap works: the plain link reaches the join mode and finds the lock taken.
    const testing::ChildOutcome plain = testing::runCommandLine(shellCommandLine(*command, kValid), dir.path());
    ASSERT_FALSE(plain.timedOut);
    EXPECT_EQ(plain.exitCode, 1u);
    if (testing::haveDisplay()) {
        ASSERT_EQ(plain.boxes.size(), 1u);
        EXPECT_EQ(toNarrow(plain.boxes[0].text), kJoinBusy);
    }
}

}  // namespace
}  // namespace quorvel
