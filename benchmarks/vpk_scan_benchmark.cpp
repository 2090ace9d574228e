// The VPK tree scan against the floor of any scan of the same bytes: one memchr pass that counts
// the zero bytes. Prints the ratio of the two medians after the runs.
#include "game/vpk_directory.hpp"
#include "support/vpk_builder.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr std::size_t kTreeBytes = std::size_t{64} << 20;
constexpr double kTarget = 3.0;

struct Fixture {
    std::size_t entries = 0;
    std::string tree = quorvel::testing::generateVpkTree(kTreeBytes, "brellowick", 1, &entries);
};

const Fixture& fixture() {
    static const Fixture instance;
    return instance;
}

std::size_t countZeroBytes(const std::string& bytes) {
    std::size_t count = 0;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        const void* zero = std::memchr(at, 0, static_cast<std::size_t>(end - at));
        if (zero == nullptr) break;
        ++count;
        at = static_cast<const char*>(zero) + 1;
    }
    return count;
}

void memchrZeroCount(benchmark::State& state) {
    const std::string& tree = fixture().tree;
    for (auto _ : state) benchmark::DoNotOptimize(countZeroBytes(tree));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.size()));
}

void scanVpkTree(benchmark::State& state) {
    const std::string& tree = fixture().tree;
    for (auto _ : state) {
        quorvel::ArchiveIndices indices = quorvel::scanVpkTree(tree, "brellowick");
        benchmark::DoNotOptimize(indices.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree.size()));
    state.counters["entries"] = static_cast<double>(fixture().entries);
}

// Keeps the median time of each benchmark for the ratio.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    fixture();  // generated once, outside the timings
    for (const auto& [name, function] :
         {std::pair{"memchr_zero_count_64MiB", &memchrZeroCount}, std::pair{"scan_vpk_tree_64MiB", &scanVpkTree}}) {
        benchmark::RegisterBenchmark(name, function)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto baseline = reporter.medians.find("memchr_zero_count_64MiB");
    const auto scan = reporter.medians.find("scan_vpk_tree_64MiB");
    if (baseline == reporter.medians.end() || scan == reporter.medians.end() || baseline->second <= 0) return 0;
    const double ratio = scan->second / baseline->second;
    std::printf("vpk scan / memchr pass over the same %.2f MiB (%zu entries): %.2fx (target at most %.1fx)\n",
                static_cast<double>(fixture().tree.size()) / (1 << 20), fixture().entries, ratio, kTarget);
    return 0;
}
