#include "support/fake_install.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "platform/sha256.hpp"

#include <iterator>

namespace quorvel::testing {
namespace {

}  // namespace

InstallWorld::InstallWorld()
    : system{locations, folders, files, registry,
             processes, locks,   clock, {transport, ticks, HttpHost{L"update.test", 443}}} {
    registry.beforeEachWrite = [this] { budget.spend(); };
    locations.module = dir / "download" / "TXQNativeConnector.exe";
    folders.folder = dir / "local";
    std::filesystem::create_directories(*folders.folder);
    writeFile(locations.module, fakeImage(70'000, 'r'));
    transport.status = 404;
    transport.onStep = [this](HttpStep step) {
        if (step != HttpStep::openRequest) return;
        requested.push_back(transport.path);
        const auto answer = answers.find(transport.path);
        transport.status = answer == answers.end() ? 404 : answer->second.first;
        transport.body = answer == answers.end() ? std::string() : answer->second.second;
    };
}

void InstallWorld::serve(const std::wstring& path, std::uint32_t status, std::string body) {
    answers[path] = {status, std::move(body)};
}

std::vector<std::string> InstallWorld::logLines() const {
    std::vector<std::string> lines;
    const std::filesystem::path log = root() / kUpdateLogName;
    if (!std::filesystem::exists(log)) return lines;
    const std::string text = readFile(log);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "(no CR LF)");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string fakeImage(std::size_t size, char seed) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 31 + static_cast<unsigned char>(seed)) & 0xFF);
    image[0] = 'M';
    image[1] = 'Z';
    return image;
}

Release releaseOf(std::uint64_t build, const std::string& image) {
    return Release{build, image.size(), sha256Hex(image)};
}

}  // namespace quorvel::testing
