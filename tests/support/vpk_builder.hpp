#pragma once

// Builders of VPK directory files for fixtures and benchmarks. Header-only so that the benchmark
// programs can use them without the test libraries.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::testing {

struct VpkEntry {
    std::uint16_t archiveIndex = 0x7FFF;
    std::uint32_t length = 0;
    std::string preload;
    std::uint16_t terminator = 0xFFFF;
    std::uint32_t crc = 0;
    std::uint32_t offset = 0;
};

inline void appendU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

inline void appendU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Entry record (18 bytes) followed by its preload data.
inline void appendEntry(std::string& out, const VpkEntry& entry) {
    appendU32(out, entry.crc);
    appendU16(out, static_cast<std::uint16_t>(entry.preload.size()));
    appendU16(out, entry.archiveIndex);
    appendU32(out, entry.offset);
    appendU32(out, entry.length);
    appendU16(out, entry.terminator);
    out += entry.preload;
}

// A tree built from files added in any order; files of one extension and path are grouped, in
// the order in which extensions and paths first appear.
class VpkTreeBuilder {
public:
    VpkTreeBuilder& add(std::string extension, std::string path, std::string name, VpkEntry entry = {}) {
        Extension* ext = find(extensions_, extension);
        if (ext == nullptr) ext = &extensions_.emplace_back(Extension{std::move(extension), {}});
        Path* folder = find(ext->paths, path);
        if (folder == nullptr) folder = &ext->paths.emplace_back(Path{std::move(path), {}});
        folder->files.push_back(File{std::move(name), std::move(entry)});
        return *this;
    }

    std::string tree() const {
        std::string out;
        for (const Extension& ext : extensions_) {
            appendString(out, ext.name);
            for (const Path& path : ext.paths) {
                appendString(out, path.name);
                for (const File& file : path.files) {
                    appendString(out, file.name);
                    appendEntry(out, file.entry);
                }
                out.push_back('\0');
            }
            out.push_back('\0');
        }
        out.push_back('\0');
        return out;
    }

private:
    struct File {
        std::string name;
        VpkEntry entry;
    };
    struct Path {
        std::string name;
        std::vector<File> files;
    };
    struct Extension {
        std::string name;
        std::vector<Path> paths;
    };

    template <typename T>
    static T* find(std::vector<T>& items, const std::string& name) {
        for (T& item : items) {
            if (item.name == name) return &item;
        }
        return nullptr;
    }
    static void appendString(std::string& out, std::string_view text) {
        out += text;
        out.push_back('\0');
    }

    std::vector<Extension> extensions_;
};

// A whole directory file: header (version 2 with `extraHeader` as its 16 further bytes, padded
// or cut to 16) followed by the tree. `treeSize` defaults to the tree's length.
inline std::string vpkDirectoryFile(std::uint32_t version, std::string_view tree, std::string_view extraHeader = {},
                                    std::int64_t treeSize = -1, std::uint32_t signature = 0x55AA1234) {
    std::string out;
    appendU32(out, signature);
    appendU32(out, version);
    appendU32(out, treeSize < 0 ? static_cast<std::uint32_t>(tree.size()) : static_cast<std::uint32_t>(treeSize));
    if (version == 2) {
        std::string extra(extraHeader.substr(0, 16));
        extra.resize(16, '\0');
        out += extra;
    }
    out += tree;
    return out;
}

// A tree of about `targetBytes` (never more) shaped like a real game package: several
// extensions, nested folders, file names of 12 to 60 characters, a few bytes of preload now and
// then, volumes 0 to 199, about one entry per 55 bytes. The map `vpk` / `maps` / `mapName` is the
// last entry. `entries`, when given, receives the number of entries.
inline std::string generateVpkTree(std::size_t targetBytes, std::string_view mapName, std::uint32_t seed = 1,
                                   std::size_t* entries = nullptr) {
    static constexpr std::string_view kExtensions[] = {"vmdl_c", "vtex_c", "vmat_c", "vsnd_c", "vpcf_c", "txt"};
    std::mt19937 random(seed);
    const auto below = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    const auto appendName = [&](std::string& out, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) out.push_back("abcdefghijklmnopqrstuvwxyz0123456789_"[below(37)]);
    };

    // Room kept back for the map's own extension, path, entry and the final zero bytes.
    const std::size_t reserve = 3 * 4 + mapName.size() + 1 + 18 + 4;
    const std::size_t budget = targetBytes > reserve ? targetBytes - reserve : 0;
    std::string out;
    out.reserve(targetBytes);
    std::size_t extension = 0;
    std::size_t count = 1;
    while (out.size() + 64 < budget) {
        out += kExtensions[extension++ % std::size(kExtensions)];
        out.push_back('\0');
        for (std::uint32_t folders = 1 + below(200); folders > 0 && out.size() + 160 < budget; --folders) {
            out += "models/heroes/";
            appendName(out, 4 + below(12));
            out.push_back('\0');
            for (std::uint32_t files = 1 + below(120); files > 0 && out.size() + 110 < budget; --files) {
                appendName(out, 12 + below(49));
                out.push_back('\0');
                VpkEntry entry;
                entry.crc = static_cast<std::uint32_t>(random());
                entry.offset = static_cast<std::uint32_t>(random());
                entry.length = 1 + below(1 << 20);
                entry.archiveIndex = below(16) == 0 ? 0x7FFF : static_cast<std::uint16_t>(below(200));
                if (below(8) == 0) entry.preload.assign(below(24), '\x5A');
                appendEntry(out, entry);
                ++count;
            }
            out.push_back('\0');
        }
        out.push_back('\0');
    }
    out += "vpk";
    out.push_back('\0');
    out += "maps";
    out.push_back('\0');
    out += mapName;
    out.push_back('\0');
    appendEntry(out, VpkEntry{});
    out.append(3, '\0');
    if (entries != nullptr) *entries = count;
    return out;
}

}  // namespace quorvel::testing
