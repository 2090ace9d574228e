// release_manifest BUILD EXE: prints the update manifest that publishes EXE as build BUILD, written
// exactly as the product writes active.json, after reading it back as the updater does.
#include "common/error.hpp"
#include "platform/files.hpp"
#include "update/executable_file.hpp"
#include "update/release.hpp"

#include <charconv>
#include <cstdint>
#include <exception>
#include <iostream>
#include <string_view>

namespace {

// A build number as the manifest writes it: decimal digits, no sign, no leading zero.
std::uint64_t parseBuild(std::string_view text) {
    std::uint64_t build = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), build);
    quorvel::check(!text.empty() && text[0] != '0' && error == std::errc() && end == text.data() + text.size(),
                   "build number must be decimal digits without a leading zero: " + std::string(text));
    return build;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: release_manifest BUILD EXE\n";
        return 2;
    }
    try {
        const std::uint64_t build = parseBuild(argv[1]);
        quorvel::LocalFiles files;
        const quorvel::Release release = quorvel::publishRelease(build, quorvel::readExecutableFile(files, argv[2]));
        std::cout << quorvel::releaseFileText(release);
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "release_manifest: " << failure.what() << "\n";
        return 1;
    }
}
