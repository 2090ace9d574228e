#include "update/prepare_launcher.hpp"

#include "support/fake_install.hpp"
#include "support/message_of.hpp"
#include "support/process_memory.hpp"
#include "update/activation.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::messageOf;

constexpr std::uint64_t kRunning = 2026092001;
constexpr std::uint64_t kNewer = 2026092002;

struct PrepareLauncher : ::testing::Test {
    testing::InstallWorld world;
    const std::string running = testing::readFile(world.locations.module);
    const std::string newer = testing::fakeImage(90'000, 'u');
    std::vector<std::wstring> shown;
    const ProgressCallback progress = [this](const std::wstring& text) { shown.push_back(text); };

    void publish(const Release& release, const std::string& image) {
        world.serve(kUpdateManifestPath, 200, releaseToJson(release).dump());
        world.serve(releaseDownloadPath(release), 200, image);
    }
    std::filesystem::path prepare(bool checking) { return prepareLauncher(world.system, progress, checking); }
    std::wstring command() { return world.registry.values[kProtocolCommandKey][L""]; }
    std::wstring commandFor(std::uint64_t build) { return protocolCommand(world.versionExe(build)); }
    Release active() { return parseRelease(nlohmann::json::parse(testing::readFile(world.root() / "active.json"))); }
    std::vector<std::string> events() {
        std::vector<std::string> found;
        for (const std::string& line : world.logLines()) found.push_back(nlohmann::json::parse(line).at("event"));
        return found;
    }
    void installNewerBuild(const std::string& image) {
        testing::writeFile(world.versionExe(kNewer), image);
        testing::writeFile(world.root() / "active.json", releaseToJson(testing::releaseOf(kNewer, newer)).dump(2));
    }
};

TEST_F(PrepareLauncher, FirstStartInstallsRegistersAndIsUpToDate) {
    publish(testing::releaseOf(kRunning, running), running);
    EXPECT_EQ(prepare(true), world.versionExe(kRunning));
    EXPECT_EQ(testing::readFile(world.versionExe(kRunning)), running);
    EXPECT_EQ(command(), commandFor(kRunning));
    EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
    EXPECT_EQ(events(), std::vector<std::string>{"up_to_date"});
    EXPECT_EQ(shown, std::vector<std::wstring>{kCheckingForUpdate});
    EXPECT_EQ(world.requested, std::vector<std::wstring>{kUpdateManifestPath});  // nothing downloaded
    ASSERT_EQ(world.processes.starts.size(), 1u);
    EXPECT_EQ(world.processes.starts[0].program, world.versionExe(kRunning));
    EXPECT_EQ(world.locks.events, (std::vector<std::wstring>{std::wstring(L"create ") + kInstallLockName, L"wait 10000",
                                                             L"release", L"close"}));
}

TEST_F(PrepareLauncher, WithoutCheckingNothingIsFetchedOrLoggedAndEachRunReactivates) {
    EXPECT_EQ(prepare(false), world.versionExe(kRunning));
    world.registry.values.clear();
    EXPECT_EQ(prepare(false), world.versionExe(kRunning));
    EXPECT_EQ(command(), commandFor(kRunning));
    EXPECT_TRUE(world.requested.empty());
    EXPECT_FALSE(std::filesystem::exists(world.root() / "update.log"));
    EXPECT_TRUE(shown.empty());
}

TEST_F(PrepareLauncher, AdoptsANewerHealthyActiveRelease) {
    installNewerBuild(newer);
    EXPECT_EQ(prepare(false), world.versionExe(kNewer));
    EXPECT_EQ(command(), commandFor(kNewer));
    EXPECT_EQ(active().build, kNewer);
    // The running build is not even copied when a newer one serves.
    EXPECT_FALSE(std::filesystem::exists(world.versionExe(kRunning)));
}

TEST_F(PrepareLauncher, FallsBackToTheRunningBuildWhenTheActiveReleaseCannotServe) {
    const std::function<void()> arrangements[] = {
        [&] { installNewerBuild(testing::fakeImage(90'000, 'd')); },  // damaged
        [&] {
            testing::writeFile(world.root() / "active.json", releaseToJson(testing::releaseOf(kNewer, newer)).dump());
        },
        [&] {  // unhealthy
            installNewerBuild(newer);
            world.processes.script = [&](const ProgramStart& start) {
                return testing::ChildScript{.exitCode = start.program == world.versionExe(kNewer) ? 1u : 0u};
            };
        },
        [&] { testing::writeFile(world.root() / "active.json", "{not json"); },
        [&] {  // valid, but older than the running build
            testing::writeFile(world.versionExe(2026091900), newer);
            testing::writeFile(world.root() / "active.json",
                               releaseToJson(testing::releaseOf(2026091900, newer)).dump(2));
        },
    };
    for (const auto& arrange : arrangements) {
        std::filesystem::remove_all(world.root());
        world.processes.script = nullptr;
        arrange();
        EXPECT_EQ(prepare(false), world.versionExe(kRunning));
        EXPECT_EQ(command(), commandFor(kRunning));
        EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
        EXPECT_FALSE(std::filesystem::exists(world.root() / "update.log"));
    }
}

TEST_F(PrepareLauncher, AnActiveJsonOfAGibibyteIsNotReadAndIsReplaced) {
    const std::uint64_t peakBefore = testing::peakMemoryBytes();
    testing::writeSparseFile(world.root() / "active.json", std::uintmax_t{1} << 30);
    EXPECT_EQ(prepare(false), world.versionExe(kRunning));
    EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
    // Wine's peak can dip by a few pages, so growth is counted only upwards.
    const std::uint64_t peakAfter = testing::peakMemoryBytes();
    EXPECT_LT(peakAfter > peakBefore ? peakAfter - peakBefore : 0, std::uint64_t{64} << 20);
}

TEST_F(PrepareLauncher, InstallsANewerReleaseFromTheManifest) {
    const Release release = testing::releaseOf(kNewer, newer);
    publish(release, newer);
    EXPECT_EQ(prepare(true), world.versionExe(kNewer));
    EXPECT_EQ(testing::readFile(world.versionExe(kNewer)), newer);
    EXPECT_EQ(command(), commandFor(kNewer));
    EXPECT_EQ(active(), release);
    EXPECT_EQ(world.requested, (std::vector<std::wstring>{kUpdateManifestPath, releaseDownloadPath(release)}));
    EXPECT_EQ(shown, (std::vector<std::wstring>{kCheckingForUpdate, kDownloadingUpdate}));
    ASSERT_EQ(world.logLines().size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(world.logLines()[0]).at("build"), kRunning);
    EXPECT_EQ(events(), std::vector<std::string>{"update_activated"});

    // The next start adopts it and finds the manifest up to date.
    shown.clear();
    EXPECT_EQ(prepare(true), world.versionExe(kNewer));
    EXPECT_EQ(events(), (std::vector<std::string>{"update_activated", "up_to_date"}));
}

TEST_F(PrepareLauncher, AFailedUpdateCheckIsLoggedShownAndLeavesTheCurrentRelease) {
    const Release release = testing::releaseOf(kNewer, newer);
    std::string damaged = newer;
    damaged[7] = 'x';
    const struct {
        std::function<void()> arrange;
        std::string event;
    } cases[] = {
        {[] {}, "update_skipped: 更新服务返回异常"},
        {[&] { world.serve(kUpdateManifestPath, 200, "{\"schema\":1"); },
         "update_skipped: [json.exception.parse_error"},
        {[&] { publish(release, damaged); }, "update_skipped: 新版文件校验失败，继续使用原版"},
        {[&] { publish(release, newer + "tail"); }, "update_skipped: 更新响应过大"},
        {[&] {
             publish(release, newer);
             world.processes.script = [&](const ProgramStart& start) {
                 return testing::ChildScript{.ends = start.program != world.versionExe(kNewer)};
             };
         },
         "update_skipped: 新版助手健康检查超时"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(world.root());
        world.answers.clear();
        world.processes.script = nullptr;
        shown.clear();
        c.arrange();
        EXPECT_EQ(prepare(true), world.versionExe(kRunning));
        ASSERT_EQ(events().size(), 1u);
        EXPECT_EQ(events()[0].substr(0, c.event.size()), c.event);
        EXPECT_EQ(shown.back(), kUpdateUnavailable);
        EXPECT_EQ(command(), commandFor(kRunning));
        EXPECT_EQ(active().build, kRunning);
    }
}

// The parser's message quotes the text it failed on; the log grows by about a kilobyte per click,
// not by the manifest.
TEST_F(PrepareLauncher, AManifestThatIsNotJsonAddsABoundedLineAtEachClick) {
    world.serve(kUpdateManifestPath, 200, "\"" + std::string(16'000, 'x'));
    for (int click = 0; click < 3; ++click) prepare(true);
    ASSERT_EQ(events().size(), 3u);
    EXPECT_EQ(events()[2].rfind("update_skipped: [json.exception.parse_error", 0), 0u);
    EXPECT_EQ(events()[2].size(), kMaxLoggedEventBytes);
    EXPECT_LT(std::filesystem::file_size(world.root() / "update.log"), 3u * 1'200u);
}

// The platform refuses every write into `versions`, as for a folder without write permission.
TEST_F(PrepareLauncher, AVersionsFolderWithoutWritePermissionLosesNothing) {
    const std::filesystem::path versions = world.root() / "versions";
    std::filesystem::create_directories(versions);
    world.files.readOnlyFolder = versions;
    // A first start cannot install: the failure is raised before anything is registered.
    EXPECT_THROW(prepare(false), std::filesystem::filesystem_error);
    EXPECT_TRUE(world.registry.values.empty());
    EXPECT_FALSE(std::filesystem::exists(world.root() / "active.json"));

    // An installed build stays in use when the newer one cannot be staged beside it.
    world.files.readOnlyFolder.reset();
    prepare(false);
    world.files.readOnlyFolder = versions;
    publish(testing::releaseOf(kNewer, newer), newer);
    EXPECT_EQ(prepare(true), world.versionExe(kRunning));
    ASSERT_EQ(events().size(), 1u);
    EXPECT_EQ(events()[0].rfind("update_skipped: ", 0), 0u);
    EXPECT_EQ(shown.back(), kUpdateUnavailable);
    EXPECT_EQ(command(), commandFor(kRunning));
    EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
    EXPECT_EQ(testing::readFile(world.versionExe(kRunning)), running);
    EXPECT_FALSE(std::filesystem::exists(world.versionExe(kNewer)));
}

// The log is opened by name; a folder in its place stops the update check's logging, and the
// failure of logging that failure is raised to the caller once the install itself is done.
TEST_F(PrepareLauncher, AnUpdateLogThatIsAFolderIsRaisedAfterTheInstallIsDone) {
    const std::filesystem::path log = world.root() / "update.log";
    testing::writeFile(log / "kept.txt", "kept");
    publish(testing::releaseOf(kRunning, running), running);
    EXPECT_THROW(prepare(true), std::filesystem::filesystem_error);
    EXPECT_EQ(command(), commandFor(kRunning));
    EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
    EXPECT_EQ(testing::readFile(log / "kept.txt"), "kept");
    EXPECT_FALSE(world.locks.held);
    // Without the update check nothing is logged, and the start goes ahead.
    EXPECT_EQ(prepare(false), world.versionExe(kRunning));
}

TEST_F(PrepareLauncher, TheInstallLockIsWaitedForAndAlwaysGivenBack) {
    world.locks.createFails = true;
    EXPECT_EQ(messageOf([&] { prepare(true); }), "无法创建更新锁");
    world.locks.createFails = false;

    for (const testing::LockState refused : {testing::LockState::heldElsewhere, testing::LockState::waitFails}) {
        world.locks.events.clear();
        world.locks.state = refused;
        EXPECT_EQ(messageOf([&] { prepare(true); }), "另一个助手正在更新，请稍后重试");
        EXPECT_EQ(world.locks.events,
                  (std::vector<std::wstring>{std::wstring(L"create ") + kInstallLockName, L"wait 10000", L"close"}));
    }
    EXPECT_FALSE(std::filesystem::exists(world.root()));
    EXPECT_TRUE(world.requested.empty());

    // A lock its owner left behind is taken at once.
    world.locks.state = testing::LockState::abandoned;
    EXPECT_EQ(prepare(false), world.versionExe(kRunning));
    EXPECT_FALSE(world.locks.held);

    // A failure of the install itself is raised, after the lock is given back.
    world.locks.state = testing::LockState::free;
    world.locks.events.clear();
    world.registry.refusedKeys.insert(kProtocolKey);
    EXPECT_EQ(messageOf([&] { prepare(true); }), "无法注册启动助手");
    EXPECT_EQ(world.locks.events.back(), L"close");
    EXPECT_FALSE(world.locks.held);
    EXPECT_TRUE(world.requested.empty());
}

// Stops the world after each file-system or registry operation of a run that installs a newer
// build, then runs again normally: the second run must always end with a sound install. The world
// stops either as a killed process does (every byte written stays) or by a power cut, after which
// every byte not flushed reads back as a zero (FakeFiles::cutPower).
TEST_F(PrepareLauncher, AnInstallStoppedAfterAnyOperationIsRepairedByTheNextRun) {
    const Release release = testing::releaseOf(kNewer, newer);
    publish(release, newer);
    prepare(true);
    const int operations = world.budget.used;
    ASSERT_GT(operations, 20);

    std::uintmax_t zeroedByCuts = 0;
    for (const bool powerCut : {false, true}) {
        for (int stop = 0; stop <= operations; ++stop) {
            SCOPED_TRACE((powerCut ? "power cut after operation " : "killed after operation ") +
                         std::to_string(stop));
            testing::InstallWorld fresh;
            testing::writeFile(fresh.locations.module, running);
            fresh.serve(kUpdateManifestPath, 200, releaseToJson(release).dump());
            fresh.serve(releaseDownloadPath(release), 200, newer);
            // Healthy means: the program file is one of the two intact builds.
            fresh.processes.script = [&](const ProgramStart& start) {
                const std::string bytes =
                    std::filesystem::exists(start.program) ? testing::readFile(start.program) : "";
                return testing::ChildScript{.exitCode = bytes == running || bytes == newer ? 0u : 1u};
            };

            fresh.budget.limit = stop;
            try {
                prepareLauncher(
                    fresh.system, [](const std::wstring&) {}, true);
            } catch (const std::exception&) {
                // The stopped run may end any way at all.
            }
            if (powerCut) zeroedByCuts += fresh.files.cutPower();
            fresh.budget.limit.reset();
            std::filesystem::path selected;
            try {
                selected = prepareLauncher(
                    fresh.system, [](const std::wstring&) {}, true);
            } catch (const std::exception& failure) {
                ADD_FAILURE() << "the next run failed: " << failure.what();
                continue;
            }

            const Release now = parseRelease(nlohmann::json::parse(testing::readFile(fresh.root() / "active.json")));
            EXPECT_EQ(now, release);
            EXPECT_EQ(selected, fresh.versionExe(now.build));
            EXPECT_EQ(fresh.registry.values[kProtocolCommandKey][L""], protocolCommand(fresh.versionExe(now.build)));
            EXPECT_NO_THROW(now.verify(testing::readFile(fresh.versionExe(now.build))));
            for (const auto& entry : std::filesystem::recursive_directory_iterator(fresh.root())) {
                if (!entry.is_regular_file() || entry.path().extension() == ".part") continue;
                const std::string bytes = testing::readFile(entry.path());
                if (entry.path().filename() == kVersionExecutableName) {
                    EXPECT_TRUE(bytes == running || bytes == newer) << entry.path();
                } else if (entry.path().filename() == "update.log") {
                    // The log is not flushed: a cut leaves its last line as zeros, which the next
                    // line follows.
                    for (std::string line : fresh.logLines()) {
                        line.erase(0, line.find_first_not_of('\0'));
                        EXPECT_NO_THROW(nlohmann::json::parse(line)) << line;
                    }
                } else {
                    EXPECT_EQ(entry.path().filename(), "active.json");
                }
            }
        }
    }
    // The cuts did find unflushed bytes (the ".part" files and the log), so the model was at work.
    EXPECT_GT(zeroedByCuts, 0u);
}

}  // namespace
}  // namespace quorvel
